#include "handheld_state.h"

#include "default_registry.h"
#include "help_file.h"

#include <platform/file_system.h>
#include <platform/host_folder_backend.h>
#include <platform/registry_hive.h>
#include <windows.h>

#include <fstream>
#include <string_view>
#include <utility>

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

// The files a new handheld keeps in ROM, in the overlay folder rom/ of the state folder: they
// appear in \Windows with the in-ROM attribute and are never backed up.
std::string CreateRomFiles(const fs::path& romFolder) {
    std::error_code error;
    fs::create_directories(romFolder / "Windows", error);
    if (error) return "cannot create " + romFolder.string() + ": " + error.message();
    const std::pair<const char*, const char*> files[] = {
        {"system.dll", "the platform's core library\n"},
        {"shell.exe", "the platform's shell\n"},
        {"ui font.ttf", "the platform's user-interface font\n"},
    };
    for (const auto& [name, text] : files) {
        const fs::path path = romFolder / "Windows" / name;
        if (fs::exists(path, error)) continue;
        std::ofstream(path, std::ios::binary) << text;
    }
    return "";
}

// A device tree for a new handheld: documents in nested folders with long names, a read-only
// file, and the backup program's own file, which a restore never writes back.
std::string CreateDefaultStore() {
    const char16_t* folders[] = {
        u"\\My Documents", u"\\Windows", u"\\Temp",
        u"\\My Documents\\Correspondence with the allotment society",
        u"\\My Documents\\Correspondence with the allotment society\\Spring season planning",
        u"\\My Documents\\Recipes copied from the old kitchen notebook",
        u"\\My Documents\\Recipes copied from the old kitchen notebook\\Soups and stews for winter",
    };
    for (const char16_t* folder : folders) {
        if (!CreateDirectory(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return "cannot create a folder of the store (error " + std::to_string(GetLastError()) + ")";
        }
    }
    const std::pair<const char16_t*, const char*> files[] = {
        {u"\\My Documents\\Shopping.txt", "Bread\nMilk\nBatteries\n"},
        {u"\\My Documents\\Meeting notes.txt", "Quarterly review on Monday.\n"},
        {u"\\My Documents\\Correspondence with the allotment society\\Spring season planning\\"
         u"Letter about the shared water supply.txt",
         "Dear committee,\nThe tap by plot 14 has been dripping since March.\n"},
        {u"\\My Documents\\Recipes copied from the old kitchen notebook\\Soups and stews for winter\\"
         u"Barley and root vegetable soup.txt",
         "Barley, carrots, parsnips, one onion; simmer for an hour.\n"},
        {u"\\Windows\\Tandel.exe", "the backup program's file\n"},
    };
    for (const auto& [path, text] : files) {
        if (auto error = WriteStoreFile(path, text); !error.empty()) return error;
    }
    const char16_t readOnly[] = u"\\My Documents\\Emergency phone numbers.txt";
    if (auto error = WriteStoreFile(readOnly, "Doctor 555 0100\nPlumber 555 0199\n"); !error.empty()) return error;
    if (!SetFileAttributes(readOnly, FILE_ATTRIBUTE_READONLY)) {
        return "cannot make a file read-only (error " + std::to_string(GetLastError()) + ")";
    }
    return "";
}

std::string MountStore(const fs::path& stateFolder, bool firstRun) {
    if (auto error = CreateRomFiles(stateFolder / "rom"); !error.empty()) return error;
    platform::MountRoot(std::make_shared<platform::HostFolderBackend>(
        platform::HostFolderOptions{stateFolder / "store", {}, stateFolder / "rom"}));
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
