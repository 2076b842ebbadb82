// LoadLibrary over dlopen. Modules are found by their CE file name in the search folders;
// their entry (CE_MODULE_ENTRY) runs inside dlopen and reports back through a thread-local.
#include <platform/modules.h>
#include <platform/text.h>
#include <winbase.h>

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

namespace fs = std::filesystem;

namespace platform {
namespace {

std::mutex searchMutex;
std::vector<fs::path> searchPath;
thread_local int failedAttaches = 0;

}  // namespace

void SetModuleSearchPath(std::vector<fs::path> folders) {
    std::lock_guard lock(searchMutex);
    searchPath = std::move(folders);
}

std::vector<fs::path> ModuleSearchPath() {
    std::lock_guard lock(searchMutex);
    auto folders = searchPath;
    folders.push_back(RunningProgramFolder());
    return folders;
}

fs::path RunningProgramFolder() {
    std::error_code error;
    auto program = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : program.parent_path();
}

std::optional<fs::path> FindModuleFile(std::u16string_view ceFileName) {
    // The device's folders mean nothing on the host: only the file name counts.
    if (auto cut = ceFileName.find_last_of(u"\\/"); cut != std::u16string_view::npos) {
        ceFileName.remove_prefix(cut + 1);
    }
    if (ceFileName.empty()) return std::nullopt;
    for (const auto& folder : ModuleSearchPath()) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            if (entry.is_regular_file(error) &&
                EqualsIgnoreCase(Utf16(entry.path().filename().string()), ceFileName)) {
                return entry.path();
            }
        }
    }
    return std::nullopt;
}

namespace detail {

void ReportModuleAttach(BOOL ok) {
    if (!ok) ++failedAttaches;
}

HINSTANCE ModuleInstanceOf(const void* addressInModule) {
    Dl_info info{};
    if (dladdr(addressInModule, &info) == 0) return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

}  // namespace detail
}  // namespace platform

HMODULE LoadLibrary(LPCWSTR fileName) {
    if (fileName == nullptr || *fileName == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto file = platform::FindModuleFile(fileName);
    if (!file) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const int failuresBefore = platform::failedAttaches;
    void* module = dlopen(file->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (platform::failedAttaches != failuresBefore) {
        dlclose(module);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return static_cast<HMODULE>(module);
}

BOOL FreeLibrary(HMODULE module) {
    if (module == nullptr || dlclose(module) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCWSTR procName) {
    if (module == nullptr || procName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string name = platform::ToUtf8(procName);
    void* symbol = dlsym(module, name.c_str());
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}
