#include "mount_table.h"

#include "ce_path.h"

#include <platform/file_system.h>
#include <platform/memory_backend.h>
#include <platform/text.h>
#include <cefiles.h>
#include <winerror.h>

#include <shared_mutex>

namespace platform::fs {
namespace {

struct MountPoint {
    std::u16string name;
    std::shared_ptr<FileBackend> backend;
};

struct MountTable {
    std::shared_mutex mutex;
    std::shared_ptr<FileBackend> root = std::make_shared<MemoryBackend>();
    std::vector<MountPoint> mounts;
};

MountTable& Table() {
    static MountTable* table = new MountTable;  // outlives threads still running at exit
    return *table;
}

}  // namespace

std::mutex& NamespaceLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

Resolved Resolve(PathParts&& parts) {
    auto& table = Table();
    std::shared_lock lock(table.mutex);
    if (!parts.empty()) {
        for (const auto& mount : table.mounts) {
            if (EqualsIgnoreCase(mount.name, parts.front())) {
                parts.erase(parts.begin());
                return {mount.backend, std::move(parts), mount.name};
            }
        }
    }
    return {table.root, std::move(parts), {}};
}

Resolved Resolve(const PathParts& parts) { return Resolve(PathParts(parts)); }

std::vector<EntryInfo> MountPointEntries() {
    auto& table = Table();
    std::vector<MountPoint> mounts;
    {
        std::shared_lock lock(table.mutex);
        mounts = table.mounts;
    }
    std::vector<EntryInfo> entries;
    for (const auto& mount : mounts) {
        EntryInfo info;
        if (mount.backend->Stat({}, info) != 0) info = {};
        info.name = mount.name;
        info.attributes |= FILE_ATTRIBUTE_DIRECTORY;
        entries.push_back(std::move(info));
    }
    return entries;
}

bool IsMountName(std::u16string_view name) {
    auto& table = Table();
    std::shared_lock lock(table.mutex);
    for (const auto& mount : table.mounts) {
        if (EqualsIgnoreCase(mount.name, name)) return true;
    }
    return false;
}

}  // namespace platform::fs

namespace platform {

void MountRoot(std::shared_ptr<FileBackend> backend) {
    auto& table = fs::Table();
    std::unique_lock lock(table.mutex);
    table.root = std::move(backend);
}

std::shared_ptr<FileBackend> RootBackend() {
    auto& table = fs::Table();
    std::shared_lock lock(table.mutex);
    return table.root;
}

DWORD Mount(std::u16string_view name, std::shared_ptr<FileBackend> backend) {
    PathParts parts;
    const std::u16string text(name);
    if (fs::ParseCePath(text.c_str(), fs::PathUse::Create, parts) != 0 || parts.size() != 1 ||
        !backend) {
        return ERROR_INVALID_NAME;
    }
    auto& table = fs::Table();
    std::unique_lock lock(table.mutex);
    for (const auto& mount : table.mounts) {
        if (EqualsIgnoreCase(mount.name, parts.front())) return ERROR_ALREADY_EXISTS;
    }
    table.mounts.push_back({parts.front(), std::move(backend)});
    return 0;
}

DWORD Unmount(std::u16string_view name) {
    auto& table = fs::Table();
    std::unique_lock lock(table.mutex);
    for (auto it = table.mounts.begin(); it != table.mounts.end(); ++it) {
        if (EqualsIgnoreCase(it->name, name)) {
            table.mounts.erase(it);
            return 0;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

void ResetFileSystem() {
    auto& table = fs::Table();
    std::unique_lock lock(table.mutex);
    table.mounts.clear();
    table.root = std::make_shared<MemoryBackend>();
}

}  // namespace platform
