// Which module owns which resources, and the CE API's resource functions over them.
#include <platform/programs.h>
#include <platform/ui/resources.h>
#include <winbase.h>
#include <windows.h>

#include <dlfcn.h>
#include <sys/auxv.h>

#include <cstring>
#include <map>
#include <mutex>

namespace platform::ui {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<HINSTANCE, std::shared_ptr<const ResourceFile>> modules;
};

Registry& TheRegistry() {
    static auto* registry = new Registry;
    return *registry;
}

ResourceId IdFrom(LPCWSTR text) {
    if (IS_INTRESOURCE(text)) {
        return ResourceId::Of(static_cast<uint16_t>(reinterpret_cast<ULONG_PTR>(text)));
    }
    // "#101" names the ordinal 101, as the resource functions accept it.
    if (text[0] == u'#') return ResourceId::Of(static_cast<uint16_t>(_wtol(text + 1)));
    std::u16string upper;
    for (const WCHAR* c = text; *c; ++c) upper.push_back(towupper(*c));
    return ResourceId::Named(upper);
}

}  // namespace

Parsed<bool> RegisterModuleResources(HINSTANCE module, std::span<const uint8_t> bytes) {
    auto parsed = ResourceFile::Parse(bytes);
    if (!parsed) return Parsed<bool>::Fail(parsed.error);
    auto& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.modules[module] = std::make_shared<const ResourceFile>(std::move(*parsed.value));
    return Parsed<bool>{true, {}};
}

void UnregisterModuleResources(HINSTANCE module) {
    auto& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.modules.erase(module);
}

std::shared_ptr<const ResourceFile> ModuleResources(HINSTANCE module) {
    if (module == nullptr) module = ProgramInstance();
    auto& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto found = registry.modules.find(module);
    return found == registry.modules.end() ? nullptr : found->second;
}

HINSTANCE ProgramInstance() {
    // A program of the handheld started with CreateProcess is a module of its own.
    if (HINSTANCE program = platform::CurrentProgramInstance()) return program;
    // The object holding the program's entry point is the main program; its base address is
    // the instance handle the module loader gives any module.
    static HINSTANCE instance = [] {
        Dl_info info{};
        const auto entry = reinterpret_cast<void*>(getauxval(AT_ENTRY));
        if (entry && dladdr(entry, &info) != 0) return static_cast<HINSTANCE>(info.dli_fbase);
        return static_cast<HINSTANCE>(nullptr);
    }();
    return instance;
}

// An HRSRC is the entry inside the module's parsed file, which lives as long as the module
// stays registered.
const ResourceEntry* FindEntry(HMODULE module, LPCWSTR name, LPCWSTR type) {
    auto file = ModuleResources(module);
    if (!file) return nullptr;
    return file->Find(IdFrom(type), IdFrom(name));
}

}  // namespace platform::ui

using platform::ui::ResourceEntry;

HMODULE GetModuleHandle(LPCWSTR moduleName) {
    if (moduleName == nullptr) return platform::ui::ProgramInstance();
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

HRSRC FindResource(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (name == nullptr || type == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* entry = platform::ui::FindEntry(module, name, type);
    if (!entry) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(entry));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (!resource) return nullptr;
    auto* entry = reinterpret_cast<ResourceEntry*>(resource);
    return const_cast<uint8_t*>(entry->data.data());
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    if (!resource) return 0;
    return static_cast<DWORD>(reinterpret_cast<ResourceEntry*>(resource)->data.size());
}

LPVOID LockResource(HGLOBAL data) { return data; }

int LoadString(HINSTANCE instance, UINT id, LPWSTR buffer, int maxCount) {
    auto file = platform::ui::ModuleResources(instance);
    if (!file || buffer == nullptr || maxCount <= 0) {
        SetLastError(file ? ERROR_INVALID_PARAMETER : ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    auto text = platform::ui::FindString(*file, id);
    if (!text) {
        buffer[0] = 0;
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    // The string is cut to fit, and always terminated.
    const size_t count = std::min(text.value->size(), static_cast<size_t>(maxCount - 1));
    std::memcpy(buffer, text.value->data(), count * sizeof(WCHAR));
    buffer[count] = 0;
    return static_cast<int>(count);
}
