// The window system's wsprintf for 16-bit characters. Output stops at 1024 characters
// including the terminator, as on the platform.
#include <cewchar.h>

#include <string>

namespace {

constexpr size_t kMaxOutput = 1024;

struct Field {
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

const WCHAR* ParseField(const WCHAR* p, Field& field) {
    for (;; ++p) {
        if (*p == u'-') field.leftAlign = true;
        else if (*p == u'0') field.zeroPad = true;
        else break;
    }
    for (; *p >= u'0' && *p <= u'9'; ++p) field.width = field.width * 10 + (*p - u'0');
    if (*p == u'.') {
        field.precision = 0;
        for (++p; *p >= u'0' && *p <= u'9'; ++p) field.precision = field.precision * 10 + (*p - u'0');
    }
    if (*p == u'l' || *p == u'h') field.size = static_cast<char>(*p++);
    field.conversion = *p;
    return p;
}

void EmitField(Output& out, const Field& field, std::u16string_view body, bool numeric) {
    const int padding = field.width - static_cast<int>(body.size());
    if (padding > 0 && !field.leftAlign) {
        const bool zeros = field.zeroPad && numeric;
        if (zeros && !body.empty() && body[0] == u'-') {
            out.Put(u'-');
            body.remove_prefix(1);
        }
        out.Pad(padding, zeros ? u'0' : u' ');
    }
    for (WCHAR c : body) out.Put(c);
    if (padding > 0 && field.leftAlign) out.Pad(padding, u' ');
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

std::u16string FormatInteger(const Field& field, va_list& args) {
    // Arguments of every integer size are passed as (at least) 32-bit ints.
    uint32_t raw = va_arg(args, unsigned int);
    if (field.size == 'h') raw &= 0xFFFF;
    switch (field.conversion) {
    case u'd':
    case u'i': {
        int32_t value = field.size == 'h' ? static_cast<int16_t>(raw) : static_cast<int32_t>(raw);
        if (value < 0) return u"-" + Digits(0u - static_cast<uint32_t>(value), 10, false);
        return Digits(static_cast<uint32_t>(value), 10, false);
    }
    case u'u': return Digits(raw, 10, false);
    case u'x': return Digits(raw, 16, false);
    default: return Digits(raw, 16, true);
    }
}

std::u16string FormatString(const Field& field, va_list& args) {
    std::u16string text;
    const size_t limit = field.precision < 0 ? static_cast<size_t>(-1) : field.precision;
    if (field.size == 'h') {
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
        Field field;
        p = ParseField(p + 1, field);
        switch (field.conversion) {
        case 0: --p; break;  // a lone '%' at the end
        case u'%': out.Put(u'%'); break;
        case u'c': EmitField(out, field, std::u16string(1, static_cast<WCHAR>(va_arg(args, int))), false); break;
        case u's': EmitField(out, field, FormatString(field, args), false); break;
        case u'd': case u'i': case u'u': case u'x': case u'X':
            EmitField(out, field, FormatInteger(field, args), true);
            break;
        default: out.Put(field.conversion); break;  // unknown: the character itself
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
