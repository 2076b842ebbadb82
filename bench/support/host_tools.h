// Running the PC's FAT tools (mkfs.fat, fsck.fat, mtools) from a benchmark.
#pragma once

#include <filesystem>
#include <string>

namespace bench_support {

// The path in single quotes for the shell.
std::string Quoted(const std::filesystem::path& path);

// Runs a command line quietly, with the sbin folders on the path and mtools' geometry check
// off; true when it exits with 0.
bool Shell(const std::string& command);

}  // namespace bench_support
