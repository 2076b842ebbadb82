#include "host_names.h"

#include <platform/text.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace platform::fs {
namespace {

constexpr size_t kHashDigits = 16;
constexpr size_t kSuffixBytes = 1 + kHashDigits;  // "|" and the hash

uint64_t Fnv1a64(std::string_view bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    return hash;
}

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// Not empty, not dots only, no character a CE name may not hold.
bool IsRefused(char16_t c) {
    switch (c) {
    case u'\\': case u'/': case u'<': case u'>': case u':':
    case u'"': case u'|': case u'*': case u'?':
        return true;
    default:
        return c < 0x20;
    }
}

bool IsPlainName(std::u16string_view name) {
    if (name.find_first_not_of(u'.') == std::u16string_view::npos) return false;
    for (char16_t c : name) {
        if (IsRefused(c)) return false;
    }
    return true;
}

bool IsAsciiName(std::u16string_view name) {
    return std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 0x80; });
}

}  // namespace

bool AppendPlainHostName(std::string& out, std::u16string_view ceName) {
    // Most names are ASCII: their UTF-16 units are their bytes, and no surrogate is among them.
    if (IsAsciiName(ceName)) {
        if (ceName.size() > kHostNameBytes || !IsPlainName(ceName)) return false;
        out.append(ceName.begin(), ceName.end());
        return true;
    }
    const auto name = PlainHostNameOf(ceName);
    if (!name) return false;
    out += *name;
    return true;
}

void AppendFoldedUtf8(std::string& out, std::u16string_view ceName) {
    if (IsAsciiName(ceName)) {
        // FoldCase of an ASCII letter, without a call per character.
        for (char16_t c : ceName) out += static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c);
        return;
    }
    out += ToUtf8(Folded(ceName));
}

std::string_view Utf8Prefix(std::string_view text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    // Back off continuation bytes so no character is split.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string HostNameOf(std::u16string_view ceName) {
    std::string utf8 = ToUtf8(ceName);
    if (utf8.size() <= kHostNameBytes) return utf8;
    // The hash is of the folded name, so every spelling of a name shortens to the same hash.
    char suffix[kSuffixBytes + 1];
    std::snprintf(suffix, sizeof suffix, "|%016llx",
                  static_cast<unsigned long long>(Fnv1a64(ToUtf8(Folded(ceName)))));
    return std::string(Utf8Prefix(utf8, kHostNameBytes - kSuffixBytes)) + suffix;
}

bool IsShortenedHostName(std::string_view hostName) {
    if (hostName.size() <= kSuffixBytes || hostName[hostName.size() - kSuffixBytes] != '|') {
        return false;
    }
    for (char c : hostName.substr(hostName.size() - kHashDigits)) {
        if (!IsLowerHex(c)) return false;
    }
    return true;
}

std::optional<std::u16string> PlainCeNameOf(std::string_view hostName) {
    // Most names are ASCII, whose characters are their UTF-16 units; a folder's read takes
    // every name there.
    if (std::all_of(hostName.begin(), hostName.end(), [](char c) { return (c & 0x80) == 0; })) {
        std::u16string name(hostName.begin(), hostName.end());
        if (!IsPlainName(name)) return std::nullopt;
        return name;
    }
    auto name = FromUtf8(hostName);
    if (!name || !IsPlainName(*name)) return std::nullopt;
    return name;
}

std::optional<std::string> PlainHostNameOf(std::u16string_view ceName) {
    if (!IsPlainName(ceName)) return std::nullopt;
    // A lone surrogate has no UTF-8 form: it would read back as another character.
    for (size_t i = 0; i < ceName.size(); ++i) {
        const char16_t c = ceName[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < ceName.size() && ceName[i + 1] >= 0xDC00 &&
            ceName[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return std::nullopt;
        }
    }
    std::string utf8 = ToUtf8(ceName);
    if (utf8.size() > kHostNameBytes) return std::nullopt;
    return utf8;
}

}  // namespace platform::fs
