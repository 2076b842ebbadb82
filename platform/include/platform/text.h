// Text helpers of the host side: UTF-8 <-> UTF-16 and the letter-case folding that the
// platform's case-insensitive names (files, registry keys) use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::string ToUtf8(std::u16string_view text);
// Malformed UTF-8 gives nothing.
std::optional<std::u16string> FromUtf8(std::string_view text);
// For literals and trusted host text: malformed bytes become U+FFFD.
std::u16string Utf16(std::string_view text);

char16_t FoldCaseBeyondAscii(char16_t c);
// Inline for ASCII: every name look-up folds each of its characters.
inline char16_t FoldCase(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    return FoldCaseBeyondAscii(c);
}
char16_t UpperCase(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
int CompareIgnoreCase(std::u16string_view a, std::u16string_view b);
std::u16string Folded(std::u16string_view text);

}  // namespace platform
