#include "reg_text.h"

#include <platform/text.h>

#include <cstdio>

namespace platform::registry {
namespace {

std::string Quoted(std::u16string_view text) {
    std::string out = "\"";
    for (char c : ToUtf8(text)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A REG_SZ value is written as a quoted string only when reading it back gives the same bytes:
// whole UTF-16 units, one terminator at the end, no control characters or lone surrogates.
bool PrintableString(const std::vector<BYTE>& data, std::u16string& text) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    text.clear();
    for (size_t i = 0; i + 2 < data.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) return false;
        text += c;
    }
    return data[data.size() - 2] == 0 && data[data.size() - 1] == 0;
}

std::string HexData(const Value& value, size_t prefixLength) {
    char head[16];
    if (value.type == REG_BINARY) {
        std::snprintf(head, sizeof head, "hex:");
    } else {
        std::snprintf(head, sizeof head, "hex(%x):", static_cast<unsigned>(value.type));
    }
    std::string out = head;
    size_t column = prefixLength + out.size();
    for (size_t i = 0; i < value.data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", value.data[i]);
        out += byte;
        column += 2;
        if (i + 1 == value.data.size()) break;
        out += ',';
        ++column;
        if (column > 75) {  // continuation lines, as the registry editor wraps them
            out += "\\\n  ";
            column = 2;
        }
    }
    return out;
}

std::string ValueLine(const Value& value) {
    std::string line = value.name.empty() ? "@" : Quoted(value.name);
    line += '=';
    std::u16string text;
    if (value.type == REG_SZ && PrintableString(value.data, text)) {
        return line + Quoted(text);
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        char number[16];
        const unsigned dword = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                               (static_cast<unsigned>(value.data[3]) << 24);
        std::snprintf(number, sizeof number, "dword:%08x", dword);
        return line + number;
    }
    return line + HexData(value, line.size());
}

void WriteKey(const Key& key, const std::string& path, std::string& out) {
    out += "[" + path + "]\n";
    for (const auto& value : key.values) out += ValueLine(value) + "\n";
    out += "\n";
    for (const auto& sub : key.subkeys) WriteKey(*sub, path + "\\" + ToUtf8(sub->name), out);
}

}  // namespace

std::string WriteRegText(const Tree& tree) {
    std::string out = "REGEDIT4\n\n";
    for (size_t i = 0; i < kRoots.size(); ++i) {
        const auto root = tree.Root(i);
        const std::string rootName = ToUtf8(kRoots[i].name);
        if (!root->values.empty()) WriteKey(*root, rootName, out);
        else {
            for (const auto& sub : root->subkeys) {
                WriteKey(*sub, rootName + "\\" + ToUtf8(sub->name), out);
            }
        }
    }
    return out;
}

}  // namespace platform::registry
