#include "script_lexer.h"

namespace platform::ui::automation::detail {

std::optional<std::vector<std::string>> SplitScriptLine(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string word;
            bool closed = false;
            for (++i; i < line.size(); ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    word.push_back(line[++i]);
                } else if (line[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    word.push_back(line[i]);
                }
            }
            if (!closed) return std::nullopt;
            words.push_back(word);
        } else {
            const size_t end = line.find_first_of(" \t\r", i);
            words.push_back(line.substr(i, end == std::string::npos ? std::string::npos : end - i));
            i = end == std::string::npos ? line.size() : end;
        }
    }
    return words;
}

}  // namespace platform::ui::automation::detail
