#include "short_names.h"

#include <cstring>

namespace platform::fat {
namespace {

constexpr unsigned kBaseChars = 8;
constexpr unsigned kExtChars = 3;
// Numeric tails tried before the hashed form takes over.
constexpr unsigned kPlainTails = 4;
constexpr unsigned kMaxTail = 999999;

bool ValidShortChar(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return true;
    return std::u16string_view(u"$%'-_@~`!(){}^#&").find(c) != std::u16string_view::npos;
}

// One name character as a short-name byte: upper-cased, or '_' when 8.3 cannot hold it.
uint8_t ShortChar(char16_t c, bool& lossy) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (ValidShortChar(c)) return static_cast<uint8_t>(c);
    lossy = true;
    return '_';
}

struct Basis {
    std::string base, ext;
    bool lossy = false;  // characters replaced, dropped or cut off
};

Basis MakeBasis(std::u16string_view name) {
    Basis basis;
    size_t start = name.find_first_not_of(u'.');
    if (start == std::u16string_view::npos) start = name.size();
    if (start != 0) basis.lossy = true;
    const size_t dot = name.rfind(u'.');
    const size_t baseEnd = dot == std::u16string_view::npos || dot < start ? name.size() : dot;
    for (size_t i = start; i < baseEnd; ++i) {
        if (name[i] == u' ' || name[i] == u'.') {
            basis.lossy = true;
            continue;
        }
        const uint8_t c = ShortChar(name[i], basis.lossy);
        if (basis.base.size() < kBaseChars) {
            basis.base.push_back(static_cast<char>(c));
        } else {
            basis.lossy = true;
        }
    }
    for (size_t i = baseEnd + 1; i < name.size() && baseEnd < name.size(); ++i) {
        if (name[i] == u' ') {
            basis.lossy = true;
            continue;
        }
        const uint8_t c = ShortChar(name[i], basis.lossy);
        if (basis.ext.size() < kExtChars) {
            basis.ext.push_back(static_cast<char>(c));
        } else {
            basis.lossy = true;
        }
    }
    if (basis.base.empty()) {
        basis.base = "_";
        basis.lossy = true;
    }
    return basis;
}

ShortName Compose(const std::string& base, const std::string& ext) {
    ShortName out;
    out.fill(' ');
    std::memcpy(out.data(), base.data(), std::min<size_t>(base.size(), kBaseChars));
    std::memcpy(out.data() + kBaseChars, ext.data(), std::min<size_t>(ext.size(), kExtChars));
    if (out[0] == 0xE5) out[0] = 0x05;
    return out;
}

ShortName WithTail(const std::string& stem, unsigned tail, const std::string& ext) {
    const std::string suffix = "~" + std::to_string(tail);
    return Compose(stem.substr(0, kBaseChars - suffix.size()) + suffix, ext);
}

// Four hex digits from the whole long name, for the hashed alias (LE1A2B~1.TXT).
std::string NameHash(std::u16string_view name) {
    uint32_t hash = 2166136261u;
    for (char16_t c : name) hash = (hash ^ c) * 16777619u;
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 12; shift >= 0; shift -= 4) text.push_back(digits[((hash ^ (hash >> 16)) >> shift) & 0xF]);
    return text;
}

}  // namespace

uint8_t ShortNameChecksum(const ShortName& name) {
    uint8_t sum = 0;
    for (uint8_t c : name) sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + c);
    return sum;
}

std::u16string DisplayShortName(const ShortName& name, uint8_t caseFlags) {
    auto part = [&](unsigned from, unsigned count, bool lower) {
        std::u16string text;
        for (unsigned i = from; i < from + count; ++i) {
            char16_t c = (i == 0 && name[i] == 0x05) ? 0xE5 : name[i];
            if (lower && c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
            text.push_back(c);
        }
        while (!text.empty() && text.back() == u' ') text.pop_back();
        return text;
    };
    std::u16string text = part(0, kBaseChars, caseFlags & 0x08);
    const std::u16string ext = part(kBaseChars, kExtChars, caseFlags & 0x10);
    if (!ext.empty()) text += u"." + ext;
    return text;
}

bool ExactShortName(std::u16string_view name, ShortName& out) {
    const Basis basis = MakeBasis(name);
    if (basis.lossy) return false;
    out = Compose(basis.base, basis.ext);
    return DisplayShortName(out, 0) == name;
}

bool GenerateAlias(std::u16string_view name, const std::function<bool(const ShortName&)>& taken,
                   ShortName& out) {
    const Basis basis = MakeBasis(name);
    if (!basis.lossy) {
        out = Compose(basis.base, basis.ext);
        if (!taken(out)) return true;
    }
    for (unsigned tail = 1; tail <= kPlainTails; ++tail) {
        out = WithTail(basis.base, tail, basis.ext);
        if (!taken(out)) return true;
    }
    const std::string hashed = basis.base.substr(0, 2) + NameHash(name);
    for (unsigned tail = 1; tail <= kMaxTail; ++tail) {
        out = WithTail(hashed, tail, basis.ext);
        if (!taken(out)) return true;
    }
    return false;
}

}  // namespace platform::fat
