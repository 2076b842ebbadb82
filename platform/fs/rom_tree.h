// The ROM folder of a host-folder store, read once when the store is mounted. ROM does not
// change while the handheld runs, so its entries are found without asking the host: every
// look-up in the store also looks on the ROM's side, and walking that side on the host cost a
// few stats for each path the ROM does not hold. A change made to the folder on the host shows
// at the next mount, as a new ROM shows after a restart.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::fs {

class RomTree {
public:
    struct Entry {
        std::string path;  // on the host
        struct stat st{};
        std::u16string name;             // the CE name: ROM folders hold plain names only
        std::vector<uint32_t> children;  // of a folder, in the host's order
        bool IsFolder() const { return S_ISDIR(st.st_mode); }
    };

    // Reads the tree under folder; empty when folder is empty, missing or not a folder.
    explicit RomTree(const std::string& folder);

    // The entry whose folded key is key ("" the ROM folder itself, "\\windows\\font.ttf" an
    // entry below it, as the store keys paths), or null.
    const Entry* Find(const std::string& key) const;
    const Entry& At(uint32_t index) const { return entries_[index]; }

private:
    struct KeyHash {
        size_t operator()(const std::string& key) const noexcept {
            return std::hash<std::string_view>{}(key);
        }
    };
    void ReadFolder(uint32_t folder, const std::string& key, int fd, int depth);

    std::vector<Entry> entries_;
    std::unordered_map<std::string, uint32_t, KeyHash> byKey_;
};

}  // namespace platform::fs
