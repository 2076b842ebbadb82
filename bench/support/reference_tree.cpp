#include "reference_tree.h"

#include <cmath>
#include <fstream>

namespace bench_support {
namespace {

constexpr int kTopFolders = 10;
constexpr int kSubFoldersEach = 9;  // 1 + 10 + 90 = 101 folders
constexpr int kFiles = 2000;
constexpr double kLargestFile = 200.0 * 1024;

// xorshift32: small, fast, and the same everywhere.
struct Random {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        return state;
    }
    double Unit() { return (Next() >> 8) / double(1u << 24); }
    template <size_t n>
    const char* Pick(const char* const (&words)[n]) { return words[Next() % n]; }
};

const char* const kWords[] = {"Quarterly", "report", "minutes", "of the", "meeting", "Budget", "draft",
                              "final", "Holiday", "pictures", "Customer", "letters", "invoice", "Project",
                              "notes", "summary", "plan", "Contract", "review", "archive", "Weekly",
                              "schedule", "for", "team", "Sales", "figures", "North", "region"};
const char* const kExtensions[] = {".doc", ".txt", ".xls", ".pdf", ".jpg", ".bmp", ".pwd", ".pxl"};

std::string LongName(Random& random, int number, const char* extension) {
    std::string name = random.Pick(kWords);
    for (uint32_t words = 2 + random.Next() % 4; words > 0; --words) name += std::string(" ") + random.Pick(kWords);
    return name + " " + std::to_string(number) + extension;
}

// Log-uniform sizes up to 200 KB with one file in fifty empty: many small files, a few large,
// about 16 KB on average, as a handheld's documents are.
uint32_t FileSize(Random& random) {
    if (random.Next() % 50 == 0) return 0;
    return static_cast<uint32_t>(std::exp(random.Unit() * std::log(kLargestFile)));
}

}  // namespace

ReferenceTree MakeReferenceTree(uint32_t seed) {
    Random random{seed | 1};
    ReferenceTree tree;
    tree.top = "Reference tree";
    tree.folders.push_back(tree.top);
    for (int t = 0; t < kTopFolders; ++t) {
        const std::string top = tree.top + "/" + LongName(random, t, "");
        tree.folders.push_back(top);
        for (int s = 0; s < kSubFoldersEach; ++s) tree.folders.push_back(top + "/" + LongName(random, s, ""));
    }
    for (int i = 0; i < kFiles; ++i) {
        const std::string& folder = tree.folders[i % tree.folders.size()];
        TreeFile file{folder + "/" + LongName(random, i, random.Pick(kExtensions)), FileSize(random), random.Next()};
        tree.totalBytes += file.size;
        tree.files.push_back(std::move(file));
    }
    return tree;
}

std::vector<uint8_t> FileBytes(const TreeFile& file) {
    std::vector<uint8_t> bytes(file.size);
    Random random{file.seed | 1};
    size_t i = 0;
    for (; i + 4 <= bytes.size(); i += 4) {
        const uint32_t word = random.Next();
        bytes[i] = uint8_t(word), bytes[i + 1] = uint8_t(word >> 8), bytes[i + 2] = uint8_t(word >> 16),
        bytes[i + 3] = uint8_t(word >> 24);
    }
    for (; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random.Next());
    return bytes;
}

bool WriteHostTree(const ReferenceTree& tree, const std::filesystem::path& root) {
    std::error_code error;
    for (const std::string& folder : tree.folders) std::filesystem::create_directories(root / folder, error);
    for (const TreeFile& file : tree.files) {
        const std::vector<uint8_t> bytes = FileBytes(file);
        std::ofstream out(root / file.path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    return !error;
}

std::vector<std::string> PrefixedNames(size_t count) {
    const std::string prefix = "Scanned page from the archive of letters ";  // 40 characters and a space
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) names.push_back(prefix.substr(0, 40) + " number " + std::to_string(i) + ".jpg");
    return names;
}

}  // namespace bench_support
