// CE path syntax: one root, no drive letters, "\" (or "/") between names, doubled separators
// collapse. A path with its terminator fits in MAX_PATH (260) characters, and a name holds at
// most 255, whatever store it lands on.
#pragma once

#include <platform/file_backend.h>

namespace platform::fs {

enum class PathUse {
    Lookup,   // an entry that should exist
    Create,   // a name about to be created
    Pattern,  // a listing pattern: the last name may hold * and ?
};

constexpr size_t kMaxPathChars = 259;
constexpr size_t kMaxNameChars = 255;

// 0, or: 87 no path, 3 an empty path, 206 a path or a name too long, 161 a name of dots only, 123 a character no
// name may hold.
[[nodiscard]] DWORD ParseCePath(const char16_t* text, PathUse use, PathParts& parts);

// CE's listing match: "*.*" matches every name, * any run of characters, ? exactly one,
// letters without regard to case.
bool MatchesPattern(std::u16string_view name, std::u16string_view pattern);

}  // namespace platform::fs
