// Host-side view of the programs the handheld runs. Each program runs on its own thread, and
// the threads it creates inherit it: the instance its resources are found under.
#pragma once

#include "../windef.h"

namespace platform {

// The instance of the program the calling thread belongs to; nullptr on host threads.
HINSTANCE CurrentProgramInstance();
void SetCurrentProgramInstance(HINSTANCE instance);

}  // namespace platform
