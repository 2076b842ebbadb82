#include "handheld_state.h"

#include "default_registry.h"
#include "help_file.h"

#include <platform/file_system.h>
#include <platform/host_folder_backend.h>
#include <platform/registry_hive.h>
#include <windows.h>

#include <string_view>

namespace fs = std::filesystem;

namespace sim {
namespace {

// Writes a file of the object store through the file API; "" or why not.
std::string WriteStoreFile(const std::u16string& path, std::string_view bytes) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "cannot create a file (error " + std::to_string(GetLastError()) + ")";
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok ? "" : "cannot write a file (error " + std::to_string(GetLastError()) + ")";
}

// A small device tree for a new handheld.
std::string CreateDefaultStore() {
    for (const char16_t* folder : {u"\\My Documents", u"\\Windows", u"\\Temp"}) {
        if (!CreateDirectory(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return "cannot create a folder of the store (error " + std::to_string(GetLastError()) + ")";
        }
    }
    if (auto error = WriteStoreFile(u"\\My Documents\\Shopping.txt", "Bread\nMilk\nBatteries\n"); !error.empty()) return error;
    return WriteStoreFile(u"\\My Documents\\Meeting notes.txt", "Quarterly review on Monday.\n");
}

std::string MountStore(const fs::path& stateFolder, bool firstRun) {
    platform::MountRoot(std::make_shared<platform::HostFolderBackend>(
        platform::HostFolderOptions{stateFolder / "store", {}, {}}));
    if (firstRun) {
        if (auto error = CreateDefaultStore(); !error.empty()) return error;
    }
    // The help file is the program's: every boot puts the current one in place.
    CreateDirectory(u"\\Windows", nullptr);
    return WriteStoreFile(std::u16string(u"\\Windows\\") + kHelpFileName, TandelHelpText());
}

}  // namespace

BootResult BootHandheld(const fs::path& stateFolder) {
    BootResult result;
    std::error_code error;
    fs::create_directories(stateFolder, error);
    if (error) return {false, false, "cannot create " + stateFolder.string() + ": " + error.message()};
    const fs::path hive = stateFolder / "registry.reg";
    if (!fs::exists(hive)) {
        result.firstRun = true;
        if (auto imported = platform::ImportRegistryText(DefaultRegistryText()); !imported.ok) {
            return {false, true, "default registry: " + imported.message};
        }
        if (auto saved = platform::SaveRegistryFile(hive); !saved.ok) {
            return {false, true, saved.message};
        }
    }
    if (auto bound = platform::BindRegistryFile(hive); !bound.ok) {
        return {false, result.firstRun, bound.message};
    }
    if (auto error = MountStore(stateFolder, result.firstRun); !error.empty()) {
        return {false, result.firstRun, "object store: " + error};
    }
    return result;
}

}  // namespace sim
