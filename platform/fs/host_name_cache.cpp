#include "host_name_cache.h"

#include <platform/text.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace platform::fs {
namespace {

// Enough for the folders one tree copy works in at a time; past it the reads start afresh.
constexpr size_t kMaxFolders = 256;
constexpr size_t kReadBytes = 32 * 1024;

}  // namespace

bool HostNameCache::Stamp::operator==(const Stamp& other) const {
    return device == other.device && inode == other.inode &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

HostNameCache::Stamp HostNameCache::StampOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_mtim, st.st_ctim};
}

bool HostNameCache::Read(const std::string& folder, const CeNameOf& ceNameOf, Names& names) {
    // getdents64 straight: opendir would stat the folder once more.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    names.byFolded.clear();
    const auto buffer = std::make_unique_for_overwrite<char[]>(kReadBytes);
    ssize_t got;
    while ((got = ::getdents64(fd, buffer.get(), kReadBytes)) > 0) {
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer.get() + at);
            at += entry->d_reclen;
            if (auto name = ceNameOf(entry->d_name)) {
                const auto [it, fresh] =
                    names.byFolded.try_emplace(Folded(*name), Found{entry->d_name});
                if (!fresh) it->second.alone = false;
            }
        }
    }
    ::close(fd);
    return got == 0;
}

std::optional<HostNameCache::Found> HostNameCache::Find(const std::string& folder,
                                               const struct stat& folderStat,
                                               const std::u16string& folded,
                                               const CeNameOf& ceNameOf) {
    const Stamp stamp = StampOf(folderStat);
    std::lock_guard lock(mutex_);
    auto it = folders_.find(folder);
    if (it == folders_.end() || !(it->second.stamp == stamp)) {
        Names names;
        // The stamp is from before the read: a change that lands during it makes the next
        // look-up read again.
        names.stamp = stamp;
        if (!Read(folder, ceNameOf, names)) {
            if (it != folders_.end()) folders_.erase(it);
            return std::nullopt;
        }
        if (it == folders_.end()) {
            if (folders_.size() >= kMaxFolders) folders_.clear();
            it = folders_.emplace(folder, std::move(names)).first;
        } else {
            it->second = std::move(names);
        }
    }
    auto found = it->second.byFolded.find(folded);
    if (found == it->second.byFolded.end()) return std::nullopt;
    return found->second;
}

bool HostNameCache::Holds(const std::string& folder) {
    std::lock_guard lock(mutex_);
    return folders_.count(folder) != 0;
}

void HostNameCache::Forget(const std::string& folder) {
    std::lock_guard lock(mutex_);
    folders_.erase(folder);
}

}  // namespace platform::fs
