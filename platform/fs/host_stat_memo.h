// The host's answers to stat within one file API step (lookup_step.h). One CE call often looks
// the same host path up several times (a copy finds its destination's folder for its checks
// and again for staging; the check after the data moved and the commit look the destination up
// twice); within a step the first answer serves. Any change the host-folder store makes, on any
// thread, ends every step's answers.
#pragma once

#include "host_anchors.h"

#include <sys/stat.h>

#include <string>

namespace platform::fs {

// stat(2) of path (given to the host through anchors), answered from this thread's step when it
// already asked.
bool StatInStep(const std::string& path, const HostAnchors& anchors, struct stat& st);

// Called for every change the store makes on the host.
void NoteStoreChange();

}  // namespace platform::fs
