#include <cewchar.h>
#include <platform/text.h>

size_t wcslen(const WCHAR* text) {
    const WCHAR* end = text;
    while (*end) ++end;
    return static_cast<size_t>(end - text);
}

WCHAR* wcscpy(WCHAR* destination, const WCHAR* source) {
    WCHAR* out = destination;
    while ((*out++ = *source++) != 0) {
    }
    return destination;
}

// As the C runtime: copies at most count characters and pads with zeros; no terminator is
// added when the source is count characters or longer.
WCHAR* wcsncpy(WCHAR* destination, const WCHAR* source, size_t count) {
    size_t i = 0;
    for (; i < count && source[i]; ++i) destination[i] = source[i];
    for (; i < count; ++i) destination[i] = 0;
    return destination;
}

WCHAR* wcscat(WCHAR* destination, const WCHAR* source) {
    wcscpy(destination + wcslen(destination), source);
    return destination;
}

int wcsncmp(const WCHAR* first, const WCHAR* second, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (first[i] != second[i]) return first[i] < second[i] ? -1 : 1;
        if (first[i] == 0) return 0;
    }
    return 0;
}

int wcscmp(const WCHAR* first, const WCHAR* second) {
    return wcsncmp(first, second, static_cast<size_t>(-1));
}

int _wcsnicmp(const WCHAR* first, const WCHAR* second, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const WCHAR a = platform::FoldCase(first[i]), b = platform::FoldCase(second[i]);
        if (a != b) return a < b ? -1 : 1;
        if (a == 0) return 0;
    }
    return 0;
}

int _wcsicmp(const WCHAR* first, const WCHAR* second) {
    return _wcsnicmp(first, second, static_cast<size_t>(-1));
}

const WCHAR* wcschr(const WCHAR* text, WCHAR character) {
    for (;; ++text) {
        if (*text == character) return text;
        if (*text == 0) return nullptr;
    }
}

WCHAR* wcschr(WCHAR* text, WCHAR character) {
    return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(text), character));
}

const WCHAR* wcsrchr(const WCHAR* text, WCHAR character) {
    const WCHAR* found = nullptr;
    for (;; ++text) {
        if (*text == character) found = text;
        if (*text == 0) return found;
    }
}

WCHAR* wcsrchr(WCHAR* text, WCHAR character) {
    return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(text), character));
}

const WCHAR* wcsstr(const WCHAR* text, const WCHAR* part) {
    const size_t n = wcslen(part);
    for (; *text; ++text) {
        if (wcsncmp(text, part, n) == 0) return text;
    }
    return n == 0 ? text : nullptr;
}

namespace {

int DigitValue(WCHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 99;
}

bool IsSpace(WCHAR c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

}  // namespace

// As the C runtime: leading blanks, an optional sign, then digits of the base; saturates at
// the largest value (unsigned long is 32 bits on the target, so results are clamped to it).
unsigned long wcstoul(const WCHAR* text, WCHAR** end, int base) {
    const WCHAR* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
    if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') &&
        DigitValue(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = p[0] == u'0' ? 8 : 10;
    }
    const WCHAR* digits = p;
    uint64_t value = 0;
    bool overflow = false;
    for (; DigitValue(*p) < base; ++p) {
        value = value * base + DigitValue(*p);
        if (value > 0xFFFFFFFFull) {
            overflow = true;
            value = 0xFFFFFFFFull;
        }
    }
    if (end) *end = const_cast<WCHAR*>(p == digits ? text : p);
    if (overflow) return 0xFFFFFFFFul;
    const auto result = static_cast<uint32_t>(value);
    return negative ? static_cast<uint32_t>(0u - result) : result;
}

long _wtol(const WCHAR* text) {
    const WCHAR* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
    uint32_t value = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) value = value * 10 + (*p - u'0');
    return static_cast<int32_t>(negative ? 0u - value : value);
}

WCHAR towupper(WCHAR character) { return platform::UpperCase(character); }
WCHAR towlower(WCHAR character) { return platform::FoldCase(character); }
