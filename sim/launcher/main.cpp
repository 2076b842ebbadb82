// The simulated handheld's launcher: boots the device from its state folder, installs the
// package's setup library, offers the card, and runs the backup program headless under a script
// of user actions (by default the demo), printing every window the programs show; or, with
// --window or --terminal, for a person to use.
#include "card_folder_device.h"
#include "drive_card.h"
#include "handheld_state.h"
#include "launcher_script.h"
#include "program_launcher.h"
#include "program_session.h"

#include <platform/installer.h>
#include <platform/text.h>
#include <platform/ui/automation.h>
#include <platform/ui/presenter.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "sim/drive/medium_image.h"

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

// The card's disk as a PC sees it, through mtools, when they are installed.
void ListMediumOnPc(const std::filesystem::path& image) {
    if (std::system("command -v mdir >/dev/null 2>&1") != 0) {
        std::printf("(mtools not installed: no PC listing of %s)\n", image.string().c_str());
        return;
    }
    std::printf("The card's disk as a PC sees it (mdir -/ -i %s ::/):\n", image.string().c_str());
    std::fflush(stdout);
    const std::string command = "MTOOLS_SKIP_CHECK=1 mdir -/ -i '" + image.string() + "' ::/";
    if (std::system(command.c_str()) != 0) std::printf("(mdir could not read the medium)\n");
    std::fflush(stdout);
}

// The handheld's card: the emulated drive with the medium image in the state folder (a blank
// one is made on first run, and formatted when the card first goes in), or a host folder.
std::unique_ptr<sim::Card> MakeCard(const std::filesystem::path& state, bool folderCard) {
    if (folderCard) return std::make_unique<sim::CardFolder>(0, u"Storage", state / "card");
    const auto image = state / "card.img";
    if (!std::filesystem::exists(image) && !sim::CreateBlankImage(image)) return nullptr;
    return std::make_unique<sim::DriveCard>(image);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: handheld [--state FOLDER] [--script FILE] [--window | --terminal] [--folder-card]\n"
                 "  --script FILE  the launcher script to run (default: the demo); with --window,\n"
                 "                 an automation script that runs alongside the person\n"
                 "  --window       Tandel with the card in, in a window, until it ends\n"
                 "  --terminal     Tandel with the card in, in this terminal ('help' lists the actions)\n"
                 "  --folder-card  the card is a host folder (state/card) instead of the emulated drive\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string state = "handheld-state";
    std::string script;
    bool window = false, terminal = false;
    bool folderCard = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--state") == 0 && i + 1 < argc) {
            state = argv[++i];
        } else if (std::strcmp(argv[i], "--script") == 0 && i + 1 < argc) {
            script = argv[++i];
        } else if (std::strcmp(argv[i], "--window") == 0) {
            window = true;
        } else if (std::strcmp(argv[i], "--terminal") == 0) {
            terminal = true;
        } else if (std::strcmp(argv[i], "--folder-card") == 0) {
            folderCard = true;
        } else {
            return Usage();
        }
    }
    if ((window && terminal) || (terminal && !script.empty())) return Usage();
    if (script.empty() && !window && !terminal) script = TANDEL_DEMO_SCRIPT;
    state = std::filesystem::absolute(state).string();
    if (!script.empty()) {
        script = std::filesystem::absolute(script).string();
        // Before anything is created or booted: a mistyped name leaves no state folder behind.
        std::ifstream readable(script);
        if (!readable) {
            std::fprintf(stderr, "handheld: the script %s cannot be read\n", script.c_str());
            return 2;
        }
    }
    const auto boot = sim::BootHandheld(state);
    if (!boot.ok) {
        std::fprintf(stderr, "handheld: %s\n", boot.message.c_str());
        return 1;
    }
    std::printf("Simulated handheld booted from %s%s\n", state.c_str(), boot.firstRun ? " (new device)" : "");
    if (!InstallPackage()) return 1;

    // Snapshots of the scripts land in the state folder.
    std::error_code error;
    std::filesystem::current_path(state, error);
    if (error) {
        std::fprintf(stderr, "handheld: cannot enter %s: %s\n", state.c_str(), error.message().c_str());
        return 1;
    }
    auto card = MakeCard(state, folderCard);
    if (!card) {
        std::fprintf(stderr, "handheld: cannot make the card's medium in %s\n", state.c_str());
        return 1;
    }
    sim::UseHandheldProgramLauncher();
    if (window || terminal) {
        std::string note;
        if (auto inserted = card->Insert(note); !inserted.empty()) {
            std::fprintf(stderr, "handheld: %s\n", inserted.c_str());
            return 1;
        }
        std::fflush(stdout);
        const int result = window ? sim::RunWindowSession(script, std::cout)
                                  : sim::RunTerminalSession(std::cin, std::cout);
        card->Remove();
        return result;
    }
    std::printf("Running the script %s\n", script.c_str());
    std::fflush(stdout);
    const int result = sim::RunLauncherScript(script, *card, std::cout);
    // Taken out in order, so that everything written has reached the medium.
    card->Remove();
    if (!folderCard) ListMediumOnPc(std::filesystem::path(state) / "card.img");
    return result;
}
