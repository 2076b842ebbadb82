#include "host_tools.h"

#include <cstdlib>

namespace bench_support {

std::string Quoted(const std::filesystem::path& path) {
    std::string quoted = "'";
    for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool Shell(const std::string& command) {
    const std::string line = "PATH=\"$PATH:/usr/sbin:/sbin\" MTOOLS_SKIP_CHECK=1 " + command + " >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

}  // namespace bench_support
