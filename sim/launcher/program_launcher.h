// How the simulated handheld starts its programs for the UI framework (the help viewer): with
// CreateProcess, as any program starts there.
#pragma once

namespace sim {

// Installs the launcher; from then on the framework's help command starts PegHelp.exe.
void UseHandheldProgramLauncher();

}  // namespace sim
