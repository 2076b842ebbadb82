// The names a shared library exports, as `nm -D --defined-only` lists them: a CE module must
// export only its entry points.
#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <set>
#include <string>

namespace testing_support {

// Nothing when nm could not be run or failed on the file.
inline std::optional<std::set<std::string>> ExportedSymbols(const std::string& library) {
    FILE* pipe = popen(("nm -D --defined-only '" + library + "'").c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::set<std::string> exported;
    std::array<char, 512> line;
    while (fgets(line.data(), line.size(), pipe)) {
        std::string text(line.data());
        const auto name = text.substr(text.find_last_of(' ') + 1);
        exported.insert(name.substr(0, name.find('\n')));
    }
    if (pclose(pipe) != 0) return std::nullopt;
    return exported;
}

}  // namespace testing_support
