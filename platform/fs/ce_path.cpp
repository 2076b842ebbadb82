#include "ce_path.h"

#include <platform/text.h>
#include <winerror.h>

#include <algorithm>

namespace platform::fs {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsWildcard(char16_t c) { return c == u'*' || c == u'?'; }

bool IsForbidden(char16_t c) {
    return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|';
}

DWORD CheckName(std::u16string_view name, bool wildcardsAllowed) {
    if (name.size() > kMaxNameChars) return ERROR_FILENAME_EXCED_RANGE;
    if (name.find_first_not_of(u'.') == std::u16string_view::npos) return ERROR_BAD_PATHNAME;
    for (char16_t c : name) {
        if (IsForbidden(c) || (IsWildcard(c) && !wildcardsAllowed)) return ERROR_INVALID_NAME;
    }
    return 0;
}

}  // namespace

DWORD ParseCePath(const char16_t* text, PathUse use, PathParts& parts) {
    parts.clear();
    if (text == nullptr) return ERROR_INVALID_PARAMETER;
    const std::u16string_view path(text);
    if (path.empty()) return ERROR_PATH_NOT_FOUND;
    if (path.size() > kMaxPathChars) return ERROR_FILENAME_EXCED_RANGE;
    // Sized once: a path's parts would otherwise move each time the list grows.
    parts.reserve(static_cast<size_t>(std::count_if(path.begin(), path.end(), IsSeparator)) + 1);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    // A pattern that ends in a separator names no entry to look for.
    if (use == PathUse::Pattern && IsSeparator(path.back())) return ERROR_FILE_NOT_FOUND;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool wildcards = use == PathUse::Pattern && i + 1 == parts.size();
        if (DWORD error = CheckName(parts[i], wildcards); error != 0) return error;
    }
    return 0;
}

namespace {

bool MatchFrom(std::u16string_view name, std::u16string_view pattern) {
    size_t n = 0, p = 0;
    size_t starAt = std::u16string_view::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::u16string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

}  // namespace

bool MatchesPattern(std::u16string_view name, std::u16string_view pattern) {
    if (pattern == u"*.*") return true;
    return MatchFrom(name, pattern);
}

}  // namespace platform::fs
