// The simulated handheld's launcher: boots the device from its state folder and runs the main
// job. Until the backup program runs here, the job installs the package's setup library and
// shows the PC Card detection entries before and after.
#include "handheld_state.h"

#include <platform/installer.h>
#include <platform/text.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string ReadString(HKEY key, LPCWSTR name) {
    WCHAR text[128] = {};
    DWORD bytes = sizeof(text) - sizeof(WCHAR);
    if (RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &bytes) !=
        ERROR_SUCCESS) {
        return "(none)";
    }
    return platform::ToUtf8(text);
}

void PrintDetectEntries(const char* heading) {
    std::printf("%s\n", heading);
    HKEY detect;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\PCMCIA\\Detect", 0, 0, &detect) != 0) {
        std::printf("  (no Drivers\\PCMCIA\\Detect key)\n");
        return;
    }
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD chars = 256;
        if (RegEnumKeyEx(detect, index, name, &chars, nullptr, nullptr, nullptr, nullptr) != 0) break;
        HKEY entry;
        if (RegOpenKeyEx(detect, name, 0, 0, &entry) != 0) continue;
        std::printf("  %-4s Dll=%-14s Entry=%s\n", platform::ToUtf8(name).c_str(),
                    ReadString(entry, u"Dll").c_str(), ReadString(entry, u"Entry").c_str());
        RegCloseKey(entry);
    }
    RegCloseKey(detect);
}

int Usage() {
    std::fprintf(stderr, "usage: handheld [--state FOLDER]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string state = "handheld-state";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--state") == 0 && i + 1 < argc) {
            state = argv[++i];
        } else {
            return Usage();
        }
    }
    const auto boot = sim::BootHandheld(state);
    if (!boot.ok) {
        std::fprintf(stderr, "handheld: %s\n", boot.message.c_str());
        return 1;
    }
    std::printf("Simulated handheld booted from %s%s\n", state.c_str(),
                boot.firstRun ? " (new device)" : "");
    PrintDetectEntries("PC Card detection entries before installation:");
    const auto outcome = platform::RunSetupLibrary(u"QVSETUP.DLL", platform::SetupAction::Install);
    if (!outcome.loaded) {
        std::fprintf(stderr, "handheld: %s\n", outcome.error.c_str());
        return 1;
    }
    std::printf("Installer: QVSETUP.DLL Install_Init answered %u (%s)\n", outcome.initCode,
                outcome.proceeded ? "continue" : "cancel");
    PrintDetectEntries("PC Card detection entries after installation:");
    return outcome.proceeded ? 0 : 1;
}
