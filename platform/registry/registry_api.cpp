#include "registry_state.h"

#include <cstring>

namespace platform::registry {
namespace {

using KeyPtr = std::shared_ptr<Key>;

std::u16string_view View(LPCWSTR text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

// The key a handle names (a predefined root or an open key), or the error for it.
LONG Resolve(State& state, HKEY handle, KeyPtr& key) {
    for (size_t i = 0; i < kRoots.size(); ++i) {
        if (kRoots[i].handle == handle) {
            key = state.tree.Root(i);
            return ERROR_SUCCESS;
        }
    }
    auto it = state.handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == state.handles.end()) return ERROR_INVALID_HANDLE;
    key = it->second;
    return key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

HKEY NewHandle(State& state, KeyPtr key) {
    const uintptr_t value = state.nextHandle;
    state.nextHandle += 4;
    state.handles.emplace(value, std::move(key));
    return reinterpret_cast<HKEY>(value);
}

LONG Walk(KeyPtr from, std::u16string_view path, KeyPtr& found) {
    std::vector<std::u16string_view> names;
    if (LONG error = SplitKeyPath(path, names); error != ERROR_SUCCESS) return error;
    for (auto name : names) {
        from = from->FindSubkey(name);
        if (!from) return ERROR_FILE_NOT_FOUND;
    }
    found = std::move(from);
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace platform::registry

using namespace platform::registry;

LONG RegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    std::shared_ptr<Key> base, found;
    if (LONG error = Resolve(state, key, base); error != ERROR_SUCCESS) return error;
    if (LONG error = Walk(base, View(subKey), found); error != ERROR_SUCCESS) return error;
    *result = NewHandle(state, found);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyEx(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM,
                    LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    std::shared_ptr<Key> current;
    if (LONG error = Resolve(state, key, current); error != ERROR_SUCCESS) return error;
    std::vector<std::u16string_view> names;
    if (LONG error = SplitKeyPath(View(subKey), names); error != ERROR_SUCCESS) return error;
    bool created = false;
    for (auto name : names) {
        auto next = current->FindSubkey(name);
        if (!next) {
            next = current->AddSubkey(name);
            created = true;
        }
        current = next;
    }
    if (created) WriteThrough(state);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(state, current);
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                     LPDWORD dataBytes) {
    if (data != nullptr && dataBytes == nullptr) return ERROR_INVALID_PARAMETER;
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    std::shared_ptr<Key> base;
    if (LONG error = Resolve(state, key, base); error != ERROR_SUCCESS) return error;
    const Value* value = base->FindValue(View(valueName));
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value->type;
    const auto size = static_cast<DWORD>(value->data.size());
    if (data != nullptr) {
        if (*dataBytes < size) {
            *dataBytes = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(data, value->data.data(), size);
    }
    if (dataBytes) *dataBytes = size;
    return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                   DWORD dataBytes) {
    if ((data == nullptr && dataBytes != 0) || dataBytes > kMaxValueBytes ||
        View(valueName).size() > kMaxNameChars) {
        return ERROR_INVALID_PARAMETER;
    }
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    std::shared_ptr<Key> base;
    if (LONG error = Resolve(state, key, base); error != ERROR_SUCCESS) return error;
    Value value{std::u16string(View(valueName)), type, {}};
    if (dataBytes) value.data.assign(data, data + dataBytes);
    base->SetValue(std::move(value));
    WriteThrough(state);
    return ERROR_SUCCESS;
}

LONG RegDeleteValue(HKEY key, LPCWSTR valueName) {
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    std::shared_ptr<Key> base;
    if (LONG error = Resolve(state, key, base); error != ERROR_SUCCESS) return error;
    if (!base->RemoveValue(View(valueName))) return ERROR_FILE_NOT_FOUND;
    WriteThrough(state);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyEx(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD, LPWSTR className,
                  LPDWORD classChars, PFILETIME lastWriteTime) {
    if (name == nullptr || nameChars == nullptr) return ERROR_INVALID_PARAMETER;
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    std::shared_ptr<Key> base;
    if (LONG error = Resolve(state, key, base); error != ERROR_SUCCESS) return error;
    if (index >= base->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const std::u16string& found = base->subkeys[index]->name;
    if (found.size() + 1 > *nameChars) return ERROR_MORE_DATA;
    std::copy(found.begin(), found.end(), name);
    name[found.size()] = 0;
    *nameChars = static_cast<DWORD>(found.size());
    if (className && classChars && *classChars > 0) *className = 0;
    if (classChars) *classChars = 0;
    if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};  // not kept by this registry
    return ERROR_SUCCESS;
}

// As on CE, the key goes with everything below it.
LONG RegDeleteKey(HKEY key, LPCWSTR subKey) {
    if (View(subKey).empty()) return ERROR_INVALID_PARAMETER;
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    std::shared_ptr<Key> base, found;
    if (LONG error = Resolve(state, key, base); error != ERROR_SUCCESS) return error;
    if (LONG error = Walk(base, View(subKey), found); error != ERROR_SUCCESS) return error;
    found->parent->RemoveSubkey(found.get());
    WriteThrough(state);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    for (const auto& root : kRoots) {
        if (root.handle == key) return ERROR_SUCCESS;
    }
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    return state.handles.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS
                                                                 : ERROR_INVALID_HANDLE;
}
