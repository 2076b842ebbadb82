#include "registry_tree.h"

#include <platform/text.h>

#include <algorithm>

namespace platform::registry {

std::shared_ptr<Key> Key::FindSubkey(std::u16string_view subName) const {
    for (const auto& sub : subkeys) {
        if (EqualsIgnoreCase(sub->name, subName)) return sub;
    }
    return nullptr;
}

Value* Key::FindValue(std::u16string_view valueName) {
    for (auto& value : values) {
        if (EqualsIgnoreCase(value.name, valueName)) return &value;
    }
    return nullptr;
}

std::shared_ptr<Key> Key::AddSubkey(std::u16string_view subName) {
    auto sub = std::make_shared<Key>();
    sub->name = std::u16string(subName);
    sub->parent = this;
    subkeys.push_back(sub);
    return sub;
}

void Key::SetValue(Value value) {
    if (Value* existing = FindValue(value.name)) {
        existing->type = value.type;
        existing->data = std::move(value.data);  // the first spelling of the name stays
    } else {
        values.push_back(std::move(value));
    }
}

bool Key::RemoveValue(std::u16string_view valueName) {
    auto it = std::find_if(values.begin(), values.end(), [&](const Value& v) {
        return EqualsIgnoreCase(v.name, valueName);
    });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

namespace {
void MarkDeleted(Key& key) {
    key.deleted = true;
    key.parent = nullptr;
    for (auto& sub : key.subkeys) MarkDeleted(*sub);
}
}  // namespace

void Key::RemoveSubkey(const Key* subkey) {
    auto it = std::find_if(subkeys.begin(), subkeys.end(),
                           [&](const auto& s) { return s.get() == subkey; });
    if (it == subkeys.end()) return;
    MarkDeleted(**it);
    subkeys.erase(it);
}

Tree::Tree() {
    for (size_t i = 0; i < kRoots.size(); ++i) {
        roots_[i] = std::make_shared<Key>();
        roots_[i]->name = std::u16string(kRoots[i].name);
    }
}

std::shared_ptr<Key> Tree::RootNamed(std::u16string_view name) const {
    for (size_t i = 0; i < kRoots.size(); ++i) {
        if (EqualsIgnoreCase(kRoots[i].name, name)) return roots_[i];
    }
    return nullptr;
}

LONG SplitKeyPath(std::u16string_view path, std::vector<std::u16string_view>& names) {
    names.clear();
    if (path.empty()) return ERROR_SUCCESS;
    size_t start = 0;
    for (;;) {
        const size_t cut = path.find(u'\\', start);
        const auto name = path.substr(start, cut == std::u16string_view::npos ? cut : cut - start);
        if (name.empty()) return ERROR_BAD_PATHNAME;
        if (name.size() > kMaxNameChars) return ERROR_INVALID_PARAMETER;
        names.push_back(name);
        if (cut == std::u16string_view::npos) return ERROR_SUCCESS;
        start = cut + 1;
    }
}

}  // namespace platform::registry
