#include "host_name_cache.h"

#include "host_folder_records.h"
#include "host_names.h"

#include <platform/text.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace platform::fs {
namespace {

// Enough for the folders one tree copy works in at a time; past either bound the reads start
// afresh (a read takes about 40 bytes a name).
constexpr size_t kMaxFolders = 256;
constexpr size_t kMaxBytes = 16 * 1024 * 1024;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

// Whether the host name (a record's NUL-terminated d_name) cannot stand for a CE name that
// folds to folded, told from its ASCII start alone: up to the first byte that is not plain
// ASCII or is the mark of a shortened name, a host name's bytes are its CE name's first
// characters. Most names of a folder differ within a few bytes, so this spares the full check
// (and a strlen) for all but the likely match.
bool DiffersInAsciiStart(const char* host, const std::u16string& folded) {
    for (size_t i = 0;; ++i) {
        const auto c = static_cast<unsigned char>(host[i]);
        if (c == '|' || c >= 0x80) return false;
        if (i == folded.size() || c == 0) return i != folded.size() || c != 0;
        if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != folded[i]) return true;
    }
}

// Whether the host entry stands for a CE name that folds to folded.
bool Matches(std::string_view host, const std::u16string& folded,
             const HostNameCache::CeNameOf& ceNameOf) {
    if (IsAscii(host) && !IsShortenedHostName(host)) {
        // An ASCII name's characters are its UTF-16 units, so it is compared where it lies.
        if (host.size() != folded.size()) return false;
        for (size_t i = 0; i < host.size(); ++i) {
            const char c = host[i];
            if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != folded[i]) return false;
        }
        return ceNameOf(host).has_value();  // still no entry when no CE path can name it
    }
    const auto name = ceNameOf(host);
    return name && Folded(*name) == folded;
}

}  // namespace

bool HostNameCache::Stamp::operator==(const Stamp& other) const {
    return device == other.device && inode == other.inode &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

HostNameCache::Stamp HostNameCache::StampOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_mtim, st.st_ctim};
}

bool HostNameCache::Read(const std::string& folder, Names& names) {
    const HostAt at = anchors_.At(folder);
    const int fd = ::openat(at.folder, at.name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool read = ReadFolderRecords(fd, names.records);
    ::close(fd);
    return read;
}

std::optional<HostNameCache::Found> HostNameCache::Find(const std::string& folder,
                                                        const struct stat& folderStat,
                                                        const std::u16string& folded,
                                                        const CeNameOf& ceNameOf) {
    const Stamp stamp = StampOf(folderStat);
    std::lock_guard lock(mutex_);
    auto it = folders_.find(folder);
    if (it == folders_.end() || it->second.stale || !(it->second.stamp == stamp)) {
        // Read again in place: the folder's entry, its key and its buffer are reused.
        if (it == folders_.end()) {
            if (folders_.size() >= kMaxFolders) {
                folders_.clear();
                keptBytes_ = 0;
            }
            it = folders_.try_emplace(folder).first;
        }
        Names& names = it->second;
        // Bytes are counted as held (capacity): a read redone in place keeps its buffer.
        keptBytes_ -= names.records.capacity();
        // The stamp is from before the read: a change that lands during it makes the next
        // look-up read again.
        names.stamp = stamp;
        names.stale = false;
        names.missedName.clear();  // a miss in the old read says nothing of the new one
        if (!Read(folder, names)) {
            folders_.erase(it);
            return std::nullopt;
        }
        if (keptBytes_ + names.records.capacity() > kMaxBytes) {
            Names kept = std::move(names);
            folders_.clear();
            keptBytes_ = 0;
            it = folders_.emplace(folder, std::move(kept)).first;
        }
        keptBytes_ += it->second.records.capacity();
    }
    Names& names = it->second;
    // A restore asks for the name it is about to add several times before adding it: the
    // same read gives the same answer.
    if (names.lastMissed && names.missedName == folded) return std::nullopt;
    std::optional<Found> found;
    for (size_t at = 0; at < names.records.size();) {
        const auto* entry = reinterpret_cast<const struct dirent64*>(names.records.data() + at);
        at += entry->d_reclen;
        if (DiffersInAsciiStart(entry->d_name, folded) || !Matches(entry->d_name, folded, ceNameOf)) {
            continue;
        }
        if (found) {
            found->alone = false;
            break;
        }
        found = Found{entry->d_name};
    }
    names.lastMissed = !found;
    if (!found) names.missedName = folded;
    return found;
}

bool HostNameCache::LastMissed(const std::string& folder) {
    std::lock_guard lock(mutex_);
    const auto it = folders_.find(folder);
    return it != folders_.end() && it->second.lastMissed;
}

void HostNameCache::Forget(const std::string& folder) {
    std::lock_guard lock(mutex_);
    if (auto it = folders_.find(folder); it != folders_.end()) {
        keptBytes_ -= it->second.records.capacity();
        folders_.erase(it);
    }
}

void HostNameCache::Added(const std::string& folder) {
    std::lock_guard lock(mutex_);
    if (auto it = folders_.find(folder); it != folders_.end()) {
        it->second.records.clear();  // its buffer stays, for the next read
        it->second.stale = true;
    }
}

}  // namespace platform::fs
