#include "rom_tree.h"

#include "host_folder_records.h"
#include "host_names.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace platform::fs {
namespace {

// Bounds for a folder that is no ROM image (a link back up the tree, a whole disk given as
// the ROM): what lies deeper or beyond is left out.
constexpr int kMaxDepth = 32;
constexpr size_t kMaxEntries = 100'000;

}  // namespace

RomTree::RomTree(const std::string& folder) {
    if (folder.empty()) return;
    Entry root;
    root.path = folder;
    if (::stat(folder.c_str(), &root.st) != 0 || !root.IsFolder()) return;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    entries_.push_back(std::move(root));
    byKey_.emplace(std::string(), 0);
    ReadFolder(0, std::string(), fd, 0);
    ::close(fd);
}

const RomTree::Entry* RomTree::Find(const std::string& key) const {
    const auto it = byKey_.find(key);
    return it == byKey_.end() ? nullptr : &entries_[it->second];
}

void RomTree::ReadFolder(uint32_t folder, const std::string& key, int fd, int depth) {
    std::vector<char> records;
    ReadFolderRecords(fd, records);  // what was read before a failure still counts
    ForEachRecord(records, [&](const struct dirent64& record) {
        if (entries_.size() >= kMaxEntries || std::strcmp(record.d_name, ".") == 0 ||
            std::strcmp(record.d_name, "..") == 0) {
            return;
        }
        auto name = PlainCeNameOf(record.d_name);
        if (!name) return;
        std::string childKey = key + '\\';
        AppendFoldedUtf8(childKey, *name);
        if (byKey_.contains(childKey)) return;  // another spelling of a name: the first stands
        Entry entry;
        entry.path = entries_[folder].path + '/' + record.d_name;
        if (::fstatat(fd, record.d_name, &entry.st, 0) != 0) return;
        entry.name = std::move(*name);
        const auto index = static_cast<uint32_t>(entries_.size());
        const bool isFolder = entry.IsFolder();
        entries_.push_back(std::move(entry));
        entries_[folder].children.push_back(index);
        byKey_.emplace(childKey, index);
        if (!isFolder || depth + 1 >= kMaxDepth) return;
        const int child = ::openat(fd, record.d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (child < 0) return;
        ReadFolder(index, childKey, child, depth + 1);
        ::close(child);
    });
}

}  // namespace platform::fs
