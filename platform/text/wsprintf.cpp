// The window system's wsprintf for 16-bit characters. Output stops at 1024 characters
// including the terminator, as on the platform.
#include <cewchar.h>

#include <string>

namespace {

constexpr size_t kMaxOutput = 1024;

struct Spec {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1;
    char size = 0;  // 'l', 'h' or 0
    WCHAR conversion = 0;
};

class Output {
public:
    explicit Output(LPWSTR buffer) : buffer_(buffer) {}
    void Put(WCHAR c) {
        if (length_ + 1 < kMaxOutput) buffer_[length_++] = c;
    }
    void Pad(int count, WCHAR c) {
        for (int i = 0; i < count; ++i) Put(c);
    }
    int Finish() {
        buffer_[length_] = 0;
        return static_cast<int>(length_);
    }

private:
    LPWSTR buffer_;
    size_t length_ = 0;
};

const WCHAR* ParseSpec(const WCHAR* p, Spec& spec) {
    for (;; ++p) {
        if (*p == u'-') spec.leftAlign = true;
        else if (*p == u'0') spec.zeroPad = true;
        else break;
    }
    for (; *p >= u'0' && *p <= u'9'; ++p) spec.width = spec.width * 10 + (*p - u'0');
    if (*p == u'.') {
        spec.precision = 0;
        for (++p; *p >= u'0' && *p <= u'9'; ++p) spec.precision = spec.precision * 10 + (*p - u'0');
    }
    if (*p == u'l' || *p == u'h') spec.size = static_cast<char>(*p++);
    spec.conversion = *p;
    return p;
}

void EmitField(Output& out, const Spec& spec, std::u16string_view body, bool numeric) {
    const int padding = spec.width - static_cast<int>(body.size());
    if (padding > 0 && !spec.leftAlign) {
        const bool zeros = spec.zeroPad && numeric;
        if (zeros && !body.empty() && body[0] == u'-') {
            out.Put(u'-');
            body.remove_prefix(1);
        }
        out.Pad(padding, zeros ? u'0' : u' ');
    }
    for (WCHAR c : body) out.Put(c);
    if (padding > 0 && spec.leftAlign) out.Pad(padding, u' ');
}

std::u16string Digits(uint32_t value, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<WCHAR>(digits[value % base]));
        value /= base;
    } while (value != 0);
    return text;
}

std::u16string FormatInteger(const Spec& spec, va_list& args) {
    // Arguments of every integer size are passed as (at least) 32-bit ints.
    uint32_t raw = va_arg(args, unsigned int);
    if (spec.size == 'h') raw &= 0xFFFF;
    switch (spec.conversion) {
    case u'd':
    case u'i': {
        int32_t value = spec.size == 'h' ? static_cast<int16_t>(raw) : static_cast<int32_t>(raw);
        if (value < 0) return u"-" + Digits(0u - static_cast<uint32_t>(value), 10, false);
        return Digits(static_cast<uint32_t>(value), 10, false);
    }
    case u'u': return Digits(raw, 10, false);
    case u'x': return Digits(raw, 16, false);
    default: return Digits(raw, 16, true);
    }
}

std::u16string FormatString(const Spec& spec, va_list& args) {
    std::u16string text;
    const size_t limit = spec.precision < 0 ? static_cast<size_t>(-1) : spec.precision;
    if (spec.size == 'h') {
        const char* s = va_arg(args, const char*);
        if (!s) s = "(null)";
        for (; *s && text.size() < limit; ++s) text += static_cast<unsigned char>(*s);
    } else {
        const WCHAR* s = va_arg(args, const WCHAR*);
        if (!s) s = u"(null)";
        for (; *s && text.size() < limit; ++s) text += *s;
    }
    return text;
}

}  // namespace

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list arguments) {
    Output out(buffer);
    va_list args;
    va_copy(args, arguments);
    for (const WCHAR* p = format; *p; ++p) {
        if (*p != u'%') {
            out.Put(*p);
            continue;
        }
        Spec spec;
        p = ParseSpec(p + 1, spec);
        switch (spec.conversion) {
        case 0: --p; break;  // a lone '%' at the end
        case u'%': out.Put(u'%'); break;
        case u'c': EmitField(out, spec, std::u16string(1, static_cast<WCHAR>(va_arg(args, int))), false); break;
        case u's': EmitField(out, spec, FormatString(spec, args), false); break;
        case u'd': case u'i': case u'u': case u'x': case u'X':
            EmitField(out, spec, FormatInteger(spec, args), true);
            break;
        default: out.Put(spec.conversion); break;  // unknown: the character itself
        }
    }
    va_end(args);
    return out.Finish();
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    const int written = wvsprintfW(buffer, format, args);
    va_end(args);
    return written;
}
