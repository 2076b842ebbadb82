// The reference tree of the benchmarks: a seeded, reproducible set of 2,000 files in 101
// folders (about 31.8 MB), sizes spread from 0 to 200 KB with most files small, long names of
// several words. The same seed gives the same names, sizes and bytes on every machine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench_support {

struct TreeFile {
    std::string path;  // relative to the tree's top, '/'-separated
    uint32_t size = 0;
    uint32_t seed = 0;  // of its bytes
};

struct ReferenceTree {
    std::string top;                   // the one top folder; the others lie below it
    std::vector<std::string> folders;  // relative paths, parents before children, top included
    std::vector<TreeFile> files;
    uint64_t totalBytes = 0;
};

inline constexpr uint32_t kReferenceSeed = 31;  // 31.79 MB

ReferenceTree MakeReferenceTree(uint32_t seed = kReferenceSeed);
// The file's bytes (deterministic from its seed).
std::vector<uint8_t> FileBytes(const TreeFile& file);
// Writes the tree under `root` (root/<top>/...); false when a host write failed.
bool WriteHostTree(const ReferenceTree& tree, const std::filesystem::path& root);

// n long names sharing one 40-character prefix, as a folder of numbered photos or reports has.
std::vector<std::string> PrefixedNames(size_t count);

}  // namespace bench_support
