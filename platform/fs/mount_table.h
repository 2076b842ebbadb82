// Where a CE path lands: the root's backend, or a backend mounted as a folder of the root.
#pragma once

#include <platform/file_backend.h>

#include <memory>
#include <mutex>

namespace platform::fs {

struct Resolved {
    std::shared_ptr<FileBackend> backend;
    PathParts relative;           // the path inside that backend
    std::u16string mountName;     // spelling of the mount point; empty on the root's backend
    bool IsRoot() const { return mountName.empty() && relative.empty(); }
    bool IsMountPoint() const { return !mountName.empty() && relative.empty(); }
};

Resolved Resolve(const PathParts& parts);
// The same taking the parts over, as most callers are done with them.
Resolved Resolve(PathParts&& parts);
// The mount points as the root lists them: folders named as mounted.
std::vector<EntryInfo> MountPointEntries();
bool IsMountName(std::u16string_view name);

// Serialises the layer's checks and changes of names (existence, sharing, attributes), so a
// check and the change it guards see the same state. File contents move outside it.
std::mutex& NamespaceLock();

}  // namespace platform::fs
