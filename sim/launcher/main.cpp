// The simulated handheld's launcher: boots the device from its state folder, installs the
// package's setup library, offers the card, and runs the backup program under a script of user
// actions (by default the demo), printing every dialog the programs show.
#include "card_folder_device.h"
#include "handheld_state.h"
#include "script_commands.h"

#include <platform/installer.h>
#include <platform/text.h>
#include <platform/ui/automation.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
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

bool InstallPackage() {
    PrintDetectEntries("PC Card detection entries before installation:");
    const auto outcome = platform::RunSetupLibrary(u"QVSETUP.DLL", platform::SetupAction::Install);
    if (!outcome.loaded) {
        std::fprintf(stderr, "handheld: %s\n", outcome.error.c_str());
        return false;
    }
    std::printf("Installer: QVSETUP.DLL Install_Init answered %u (%s)\n", outcome.initCode,
                outcome.proceeded ? "continue" : "cancel");
    PrintDetectEntries("PC Card detection entries after installation:");
    return outcome.proceeded;
}

int Usage() {
    std::fprintf(stderr, "usage: handheld [--state FOLDER] [--script FILE] [--window]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string state = "handheld-state";
    std::string script = TANDEL_DEMO_SCRIPT;
    bool window = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--state") == 0 && i + 1 < argc) {
            state = argv[++i];
        } else if (std::strcmp(argv[i], "--script") == 0 && i + 1 < argc) {
            script = argv[++i];
        } else if (std::strcmp(argv[i], "--window") == 0) {
            window = true;
        } else {
            return Usage();
        }
    }
    if (window) std::printf("(no window presenter in this build: running headless)\n");
    const auto boot = sim::BootHandheld(state);
    if (!boot.ok) {
        std::fprintf(stderr, "handheld: %s\n", boot.message.c_str());
        return 1;
    }
    std::printf("Simulated handheld booted from %s%s\n", state.c_str(), boot.firstRun ? " (new device)" : "");
    if (!InstallPackage()) return 1;

    std::ifstream scriptFile(script);
    if (!scriptFile) {
        std::fprintf(stderr, "handheld: cannot read the script %s\n", script.c_str());
        return 1;
    }
    sim::CardFolder card(0, u"Storage", std::filesystem::path(state) / "card");
    sim::ScriptSession session(card);
    std::printf("Running the script %s\n", script.c_str());
    std::fflush(stdout);
    platform::ui::automation::LogShownDialogs(&std::cout);
    const std::string error = platform::ui::automation::RunScript(scriptFile, std::cout, session.Hooks(state));
    platform::ui::automation::LogShownDialogs(nullptr);
    if (!error.empty()) {
        std::fprintf(stderr, "handheld: script %s, %s\n", script.c_str(), error.c_str());
        std::fflush(nullptr);
        // A program left waiting for input cannot be ended from outside; end the whole device.
        std::_Exit(1);
    }
    return session.Finish() ? 0 : 1;
}
