// The application installer's calls into a package's setup library: Init before the files are
// placed, Exit after; a cancel from Init stops the installation (or removal) there.
#include <ce_setup.h>
#include <platform/installer.h>
#include <platform/text.h>
#include <windows.h>

#include <string>

namespace platform {
namespace {

struct SetupEntries {
    pfnINSTALL_INIT installInit = nullptr;
    pfnINSTALL_EXIT installExit = nullptr;
    pfnUNINSTALL_INIT uninstallInit = nullptr;
    pfnUNINSTALL_EXIT uninstallExit = nullptr;

    bool Complete() const { return installInit && installExit && uninstallInit && uninstallExit; }
};

template <class Entry>
Entry Resolve(HMODULE module, LPCWSTR name) {
    return reinterpret_cast<Entry>(GetProcAddress(module, name));
}

}  // namespace

SetupOutcome RunSetupLibrary(std::u16string_view libraryFileName, SetupAction action,
                             std::u16string_view installDir) {
    SetupOutcome outcome;
    const std::u16string fileName(libraryFileName);
    HMODULE module = LoadLibrary(fileName.c_str());
    if (module == nullptr) {
        outcome.error = "cannot load " + ToUtf8(libraryFileName) + " (error " +
                        std::to_string(GetLastError()) + ")";
        return outcome;
    }
    SetupEntries entries{Resolve<pfnINSTALL_INIT>(module, u"Install_Init"),
                         Resolve<pfnINSTALL_EXIT>(module, u"Install_Exit"),
                         Resolve<pfnUNINSTALL_INIT>(module, u"Uninstall_Init"),
                         Resolve<pfnUNINSTALL_EXIT>(module, u"Uninstall_Exit")};
    if (!entries.Complete()) {
        outcome.error = ToUtf8(libraryFileName) + " lacks a setup entry point";
        FreeLibrary(module);
        return outcome;
    }
    outcome.loaded = true;
    const std::u16string folder(installDir);
    if (action == SetupAction::Install) {
        outcome.initCode = entries.installInit(nullptr, TRUE, FALSE, folder.c_str());
        outcome.proceeded = outcome.initCode == codeINSTALL_INIT_CONTINUE;
        if (outcome.proceeded) {
            outcome.exitCode = entries.installExit(nullptr, folder.c_str(), 0, 0, 0, 0, 0);
        }
    } else {
        outcome.initCode = entries.uninstallInit(nullptr, folder.c_str());
        outcome.proceeded = outcome.initCode == codeUNINSTALL_INIT_CONTINUE;
        if (outcome.proceeded) outcome.exitCode = entries.uninstallExit(nullptr);
    }
    FreeLibrary(module);
    return outcome;
}

}  // namespace platform
