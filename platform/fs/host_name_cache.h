// The CE names of host folders' entries, kept from one read of each folder to the next change.
// A name missing under its own spelling may still be there under another (the host's names are
// case-sensitive, CE's are not) or shortened, which only a read of the whole folder can rule
// out; a restore asks that several times for every file it makes. A kept read is used while the
// folder is the same host folder (device, inode) with the same modification and change times
// (nanoseconds), and the store drops it whenever it changes that folder itself.
//
// The one gap: the host stamps a folder from a clock that advances in ticks (a few ms), so an
// outside process that adds a name in the same tick as the folder's previous change, after the
// store read the folder, leaves both times as they were; while the store keeps that read (it
// then looks names up in the folder from the read, not under their own spelling first), it
// does not see that entry until the folder changes again. Names the store adds itself, and
// names removed by anyone, are never affected. Hosts whose file system stamps a folder changed
// after it was looked at with a fresh fine-grained time (ext4 on the Linux 6.18 kernel of the
// build machine does) close the gap.
#pragma once

#include "host_anchors.h"

#include <sys/stat.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::fs {

class HostNameCache {
public:
    // Folders are read through the store's anchors, which outlive the cache.
    explicit HostNameCache(const HostAnchors& anchors) : anchors_(anchors) {}

    // The CE name of a host entry, or nothing when no CE path can name it.
    using CeNameOf = std::function<std::optional<std::u16string>(std::string_view hostName)>;

    struct Found {
        std::string hostName;  // the first in the folder's order
        bool alone = true;     // whether no other host name in the folder folds the same
    };
    // The entry of folder (stat'd as folderStat just now, before any read) whose CE name folds
    // to folded.
    std::optional<Found> Find(const std::string& folder, const struct stat& folderStat,
                              const std::u16string& folded, const CeNameOf& ceNameOf);
    // Whether the last look-up in folder found nothing: while a folder is being filled, look-ups
    // there keep missing, and one that starts from the kept read saves a stat of the whole path.
    bool LastMissed(const std::string& folder);

    // Called for every change the store makes in folder.
    void Forget(const std::string& folder);
    // The same for a change that added a name: the folder's names are read afresh at the next
    // look-up, and whether the last one missed is kept.
    void Added(const std::string& folder);

private:
    struct Stamp {
        dev_t device = 0;
        ino_t inode = 0;
        struct timespec modified{}, changed{};
        bool operator==(const Stamp& other) const;
    };
    // A folder's entries as the host lists them (dirent64 records). A read is looked in about
    // twice before the folder changes, so the records are kept as they came and compared in
    // place: no name is decoded or copied unless it matches.
    struct Names {
        Stamp stamp;
        std::vector<char> records;
        bool stale = false;  // dropped by Added: read afresh whatever the stamp
        bool lastMissed = false;
        std::u16string missedName;  // the folded name of that miss, in these records
    };
    static Stamp StampOf(const struct stat& st);
    // Called with mutex_ held.
    bool Read(const std::string& folder, Names& names);

    const HostAnchors& anchors_;
    std::mutex mutex_;
    std::unordered_map<std::string, Names> folders_;
    size_t keptBytes_ = 0;
};

}  // namespace platform::fs
