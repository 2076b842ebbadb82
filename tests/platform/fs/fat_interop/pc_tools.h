// dosfstools and mtools run on host image files, each with a time limit, their output captured.
// mtools gets MTOOLS_SKIP_CHECK so it takes any image mkfs.fat or the platform wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fat_interop {

struct ToolRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

inline std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline ToolRun RunTool(const std::string& command, int seconds = 120) {
    const std::string line = "PATH=\"$PATH:/usr/sbin:/sbin\" MTOOLS_SKIP_CHECK=1 TZ=UTC LC_ALL=C.UTF-8 timeout -k 5 " +
                             std::to_string(seconds) + " sh -c " + Quoted(command) + " 2>&1";
    ToolRun run;
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) return run;
    char chunk[4096];
    while (size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) run.output.append(chunk, got);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

inline bool HaveTool(const std::string& name) {
    return RunTool("command -v " + name, 10).exitCode == 0;
}

// Skips the test, saying which tool is missing, unless every one of them is installed.
#define SKIP_WITHOUT_TOOLS(...)                                                              \
    for (const char* tool : {__VA_ARGS__})                                                  \
        if (!::fat_interop::HaveTool(tool))                                                  \
            GTEST_SKIP() << tool << " is not installed (scripts/packages.txt: dosfstools, mtools)"

// fsck.fat -n: 0 when the volume is clean.
inline ToolRun CheckVolume(const std::filesystem::path& image) {
    return RunTool("fsck.fat -n " + Quoted(image.string()));
}

// A zero-filled image file of that size that takes no room until written.
inline void MakeSparseImage(const std::filesystem::path& path, uint64_t bytes) {
    std::filesystem::remove(path);
    std::ofstream(path).close();
    std::filesystem::resize_file(path, bytes);
}

inline void WriteHostFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The file's bytes, or its first `limit` bytes.
inline std::vector<uint8_t> ReadHostFile(const std::filesystem::path& path, size_t limit = SIZE_MAX) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes;
    for (std::istreambuf_iterator<char> it(in), end; it != end && bytes.size() < limit; ++it)
        bytes.push_back(static_cast<uint8_t>(*it));
    return bytes;
}

}  // namespace fat_interop
