// The application installer's side of a setup library: load it by file name, call its
// Install_/Uninstall_ entry points with the installer's arguments and report whether the
// installation (or removal) goes on.
#pragma once

#include <string>

#include "../windef.h"

namespace platform {

enum class SetupAction { Install, Uninstall };

struct SetupOutcome {
    bool loaded = false;      // library and all four entry points found
    bool proceeded = false;   // the Init entry said continue
    DWORD initCode = 0;       // what the Init entry returned
    DWORD exitCode = 0;       // what the Exit entry returned (when called)
    std::string error;        // why it could not run, when !loaded
};

SetupOutcome RunSetupLibrary(std::u16string_view libraryFileName, SetupAction action,
                             std::u16string_view installDir = u"\\Program Files\\Tandel");

}  // namespace platform
