#include "program_launcher.h"

#include <ui_framework/application.h>

namespace sim {

void UseHandheldProgramLauncher() {
    ui::SetProgramLauncher([](const WCHAR* program, const WCHAR* commandLine) {
        PROCESS_INFORMATION started{};
        if (!CreateProcess(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &started)) {
            return false;
        }
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        return true;
    });
}

}  // namespace sim
