// Test helpers for the registry: a fresh hive from REGEDIT4 text, and readers that make
// expectations short.
#pragma once

#include <platform/registry_hive.h>
#include <platform/text.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

inline void LoadHive(std::string_view text) {
    platform::ResetRegistry();
    auto result = platform::ImportRegistryText(text);
    ASSERT_TRUE(result.ok) << result.message;
}

inline std::vector<std::string> SubkeyNames(HKEY root, const char16_t* path) {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyEx(root, path, 0, 0, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD chars = 256;
        if (RegEnumKeyEx(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) != 0) break;
        names.push_back(platform::ToUtf8(name));
    }
    RegCloseKey(key);
    return names;
}

inline std::optional<std::string> StringValue(HKEY root, const char16_t* path,
                                              const char16_t* name) {
    HKEY key;
    if (RegOpenKeyEx(root, path, 0, 0, &key) != ERROR_SUCCESS) return std::nullopt;
    WCHAR text[512] = {};
    DWORD bytes = sizeof(text) - sizeof(WCHAR);
    const LONG result = RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &bytes);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return std::nullopt;
    return platform::ToUtf8(text);
}

}  // namespace testing_support
