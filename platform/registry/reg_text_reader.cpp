#include "reg_text.h"

#include <platform/text.h>

namespace platform::registry {
namespace {

struct Line {
    size_t number;     // where the logical line starts
    std::string text;  // continuation lines joined, blanks trimmed
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// Physical lines, with a "\" at the end of a line (hex data) joining the next one.
std::vector<Line> LogicalLines(std::string_view text) {
    std::vector<Line> lines;
    bool joining = false;
    for (size_t number = 1; !text.empty(); ++number) {
        const size_t cut = text.find('\n');
        std::string_view body = Trim(text.substr(0, cut));
        text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
        const bool continues = !body.empty() && body.back() == '\\';
        if (continues) body.remove_suffix(1);
        if (joining) {
            lines.back().text += body;
        } else {
            lines.push_back({number, std::string(body)});
        }
        joining = continues;
    }
    return lines;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted string starting at text[pos] == '"'; leaves pos after the closing quote.
const char* ParseQuoted(std::string_view text, size_t& pos, std::u16string& out) {
    std::string raw;
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            auto decoded = FromUtf8(raw);
            if (!decoded) return "text is not valid UTF-8";
            out = std::move(*decoded);
            return nullptr;
        }
        if (c == '\\') {
            if (++pos >= text.size() || (text[pos] != '\\' && text[pos] != '"')) {
                return "unknown escape in a quoted string (only \\\\ and \\\" are allowed)";
            }
        }
        raw += text[pos];
    }
    return "quoted string is not closed";
}

const char* ParseHexBytes(std::string_view list, std::vector<BYTE>& out) {
    list = Trim(list);
    if (list.empty()) return nullptr;
    while (true) {
        const size_t comma = list.find(',');
        const std::string_view item = Trim(list.substr(0, comma));
        if (item.empty() || item.size() > 2 || HexDigit(item[0]) < 0 ||
            (item.size() == 2 && HexDigit(item[1]) < 0)) {
            return "bad byte in hex data (expected two hex digits between commas)";
        }
        out.push_back(static_cast<BYTE>(item.size() == 1 ? HexDigit(item[0])
                                                         : HexDigit(item[0]) * 16 + HexDigit(item[1])));
        if (comma == std::string_view::npos) return nullptr;
        list.remove_prefix(comma + 1);
    }
}

const char* ParseData(std::string_view text, Value& value) {
    if (text.starts_with('"')) {
        size_t pos = 0;
        std::u16string string;
        if (const char* error = ParseQuoted(text, pos, string)) return error;
        if (!Trim(text.substr(pos)).empty()) return "unexpected text after the string";
        value.type = REG_SZ;
        for (char16_t c : string) {
            value.data.push_back(static_cast<BYTE>(c & 0xFF));
            value.data.push_back(static_cast<BYTE>(c >> 8));
        }
        value.data.insert(value.data.end(), {0, 0});
        return nullptr;
    }
    if (text.starts_with("dword:")) {
        const std::string_view digits = Trim(text.substr(6));
        if (digits.empty() || digits.size() > 8) return "dword needs one to eight hex digits";
        uint32_t number = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0) return "dword needs one to eight hex digits";
            number = number * 16 + HexDigit(c);
        }
        value.type = REG_DWORD;
        value.data = {BYTE(number), BYTE(number >> 8), BYTE(number >> 16), BYTE(number >> 24)};
        return nullptr;
    }
    if (text.starts_with("hex:")) {
        value.type = REG_BINARY;
        return ParseHexBytes(text.substr(4), value.data);
    }
    if (text.starts_with("hex(")) {
        const size_t close = text.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) return "bad hex(type): prefix";
        uint32_t type = 0;
        for (char c : text.substr(4, close - 4)) {
            if (HexDigit(c) < 0) return "bad hex(type): prefix";
            type = type * 16 + HexDigit(c);
        }
        value.type = type;
        return ParseHexBytes(text.substr(close + 2), value.data);
    }
    if (text == "-") return "deleting values is not supported in a hive file";
    return "unknown value data (expected \"string\", dword:, hex: or hex(type):)";
}

class Reader {
public:
    explicit Reader(Tree& tree) : tree_(tree) {}

    const char* Read(const std::string& text) {
        if (text.starts_with('[')) return KeyLine(text);
        if (text.starts_with('"') || text.starts_with('@')) return ValueLine(text);
        return "expected a [key] or a value line";
    }

private:
    const char* KeyLine(std::string_view text) {
        if (!text.ends_with(']')) return "key line does not end with ]";
        std::string_view path = text.substr(1, text.size() - 2);
        if (path.starts_with('-')) return "deleting keys is not supported in a hive file";
        auto decoded = FromUtf8(path);
        if (!decoded) return "text is not valid UTF-8";
        std::u16string_view full = *decoded;
        const size_t cut = full.find(u'\\');
        current_ = tree_.RootNamed(full.substr(0, cut));
        if (!current_) return "unknown root key";
        std::vector<std::u16string_view> names;
        if (cut != std::u16string_view::npos &&
            SplitKeyPath(full.substr(cut + 1), names) != ERROR_SUCCESS) {
            current_ = nullptr;
            return "bad key path (empty name or a name over 255 characters)";
        }
        for (auto name : names) {
            auto next = current_->FindSubkey(name);
            current_ = next ? next : current_->AddSubkey(name);
        }
        return nullptr;
    }

    const char* ValueLine(std::string_view text) {
        if (!current_) return "value line before any [key]";
        Value value;
        size_t pos = 1;
        if (text[0] == '"') {
            pos = 0;
            if (const char* error = ParseQuoted(text, pos, value.name)) return error;
        }
        if (value.name.size() > kMaxNameChars) return "value name over 255 characters";
        const std::string_view rest = Trim(text.substr(pos));
        if (!rest.starts_with('=')) return "expected = after the value name";
        if (const char* error = ParseData(Trim(rest.substr(1)), value)) return error;
        if (value.data.size() > kMaxValueBytes) return "value data over 4096 bytes";
        current_->SetValue(std::move(value));
        return nullptr;
    }

    Tree& tree_;
    std::shared_ptr<Key> current_;
};

HiveResult Fail(size_t line, const std::string& what) {
    return HiveResult{false, line, "line " + std::to_string(line) + ": " + what};
}

}  // namespace

HiveResult ReadRegText(std::string_view text, Tree& tree) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    Reader reader(tree);
    bool sawHeader = false;
    for (const Line& line : LogicalLines(text)) {
        if (line.text.empty() || line.text.starts_with(';')) continue;
        if (!sawHeader) {
            if (line.text != "REGEDIT4" && line.text != "Windows Registry Editor Version 5.00") {
                return Fail(line.number, "the file does not begin with REGEDIT4");
            }
            sawHeader = true;
            continue;
        }
        if (const char* error = reader.Read(line.text)) return Fail(line.number, error);
    }
    if (!sawHeader) return Fail(1, "the file does not begin with REGEDIT4");
    return {};
}

}  // namespace platform::registry
