// The registry's in-memory tree: keys keep their subkeys and values in creation order, which
// is the order enumeration and the hive file show. Names compare case-insensitively.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

constexpr size_t kMaxNameChars = 255;
constexpr size_t kMaxValueBytes = 4096;

struct Value {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    std::u16string name;
    Key* parent = nullptr;
    bool deleted = false;
    std::vector<std::shared_ptr<Key>> subkeys;
    std::vector<Value> values;

    std::shared_ptr<Key> FindSubkey(std::u16string_view subName) const;
    Value* FindValue(std::u16string_view valueName);
    std::shared_ptr<Key> AddSubkey(std::u16string_view subName);
    void SetValue(Value value);
    bool RemoveValue(std::u16string_view valueName);
    // Unlinks the subkey and marks it and everything below it deleted.
    void RemoveSubkey(const Key* subkey);
};

struct RootInfo {
    HKEY handle;
    std::u16string_view name;
};
inline const std::array<RootInfo, 4> kRoots{{
    {HKEY_CLASSES_ROOT, u"HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, u"HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, u"HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, u"HKEY_USERS"},
}};

class Tree {
public:
    Tree();
    std::shared_ptr<Key> Root(size_t index) const { return roots_[index]; }
    // Root by its name (case-insensitive); null when unknown.
    std::shared_ptr<Key> RootNamed(std::u16string_view name) const;

private:
    std::array<std::shared_ptr<Key>, kRoots.size()> roots_;
};

// Splits "A\B\C" into its names: 0, ERROR_BAD_PATHNAME for an empty name (a leading, doubled
// or trailing separator), ERROR_INVALID_PARAMETER for a name longer than 255 characters.
LONG SplitKeyPath(std::u16string_view path, std::vector<std::u16string_view>& names);

}  // namespace platform::registry
