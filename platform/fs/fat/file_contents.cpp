// The contents of FAT files: bytes moved between callers and clusters in as few block requests
// as the chain's runs allow, growth and truncation in the order that keeps the medium sound,
// and the staged file's commit.
#include "entry_fields.h"
#include "fat_volume.h"

#include <algorithm>
#include <cstring>

namespace platform::fat {

DWORD FatVolume::MoveDiskBytes(uint64_t address, uint64_t count, uint8_t* buffer, bool write,
                                bool restPastEnd) {
    const uint32_t sectorBytes = layout_.bytesPerSector;
    std::vector<uint8_t> scratch;
    while (count > 0) {
        const uint64_t sector = address / sectorBytes;
        const uint32_t head = static_cast<uint32_t>(address % sectorBytes);
        uint64_t moved = 0;
        if (head == 0 && count >= sectorBytes) {
            const uint64_t whole = count / sectorBytes;
            const uint64_t rest = count - whole * sectorBytes;
            DWORD error = 0;
            if (rest == 0) {
                error = write ? disk_.Write(sector, whole, buffer) : disk_.Read(sector, whole, buffer);
            } else if (!write) {
                // The last, partial sector rides in the same request.
                scratch.resize(sectorBytes);
                error = disk_.ReadWithTail(sector, whole, buffer, scratch.data());
                if (error == 0) std::memcpy(buffer + whole * sectorBytes, scratch.data(), rest);
            } else {
                if (restPastEnd) {
                    scratch.assign(sectorBytes, 0);
                } else {
                    scratch.resize(sectorBytes);
                    error = disk_.Read(sector + whole, 1, scratch.data());
                }
                if (error == 0) {
                    std::memcpy(scratch.data(), buffer + whole * sectorBytes, rest);
                    error = disk_.WriteWithTail(sector, whole, buffer, scratch.data());
                }
            }
            if (error != 0) return error;
            moved = count;
        } else {
            // A part of a sector: read it whole, and for a write put it back changed. A write
            // that ends the file's bytes in this sector has nothing to keep after it, so a file's
            // last sector costs no read.
            moved = std::min<uint64_t>(count, sectorBytes - head);
            if (write && head == 0 && restPastEnd && moved == count) {
                scratch.assign(sectorBytes, 0);
            } else {
                scratch.resize(sectorBytes);
                if (DWORD error = disk_.Read(sector, 1, scratch.data()); error != 0) return error;
            }
            if (write) {
                std::memcpy(scratch.data() + head, buffer, moved);
                if (DWORD error = disk_.Write(sector, 1, scratch.data()); error != 0) return error;
            } else {
                std::memcpy(buffer, scratch.data() + head, moved);
            }
        }
        address += moved;
        buffer += moved;
        count -= moved;
    }
    return 0;
}

DWORD FatVolume::MoveFileBytes(FileNode& node, uint64_t offset, uint64_t count, uint8_t* buffer,
                               bool write) {
    const uint32_t clusterBytes = layout_.ClusterBytes();
    while (count > 0) {
        uint32_t cluster = 0;
        uint64_t contiguous = 0;
        if (!RunAt(node.runs, offset / clusterBytes, cluster, contiguous)) return kCorrupt;
        const uint64_t within = offset % clusterBytes;
        const uint64_t take = std::min(count, contiguous * clusterBytes - within);
        const uint64_t address = layout_.ClusterSector(cluster) * layout_.bytesPerSector + within;
        // node.size is still the size before this write.
        const bool restPastEnd = offset + take >= node.size;
        if (DWORD error = MoveDiskBytes(address, take, buffer, write, restPastEnd); error != 0) return error;
        offset += take;
        buffer += take;
        count -= take;
    }
    return 0;
}

DWORD FatVolume::ZeroFill(FileNode& node, uint64_t offset, uint64_t count) {
    static const std::vector<uint8_t> zeros(64 * 1024, 0);
    while (count > 0) {
        const uint64_t take = std::min<uint64_t>(count, zeros.size());
        if (DWORD error = MoveFileBytes(node, offset, take, const_cast<uint8_t*>(zeros.data()), true);
            error != 0) {
            return error;
        }
        offset += take;
        count -= take;
    }
    return 0;
}

void FatVolume::Rollback(FileNode& node, uint64_t keepClusters, uint32_t firstCluster) {
    fat_.Truncate(node.runs, keepClusters);
    TrimRuns(node.runs, keepClusters);
    node.firstCluster = firstCluster;
}

// Writes the node's chain and then its entry; on failure memory goes back to what the medium
// holds, and the changed sectors stay marked so the next flush rewrites them.
DWORD FatVolume::StoreNode(FileNode& node, uint64_t oldClusters, uint32_t oldFirst,
                           uint32_t oldSize) {
    uint8_t* e = node.folder->Slot(node.slot);
    uint8_t before[32];
    std::memcpy(before, e, 32);
    auto undo = [&](DWORD error) {
        std::memcpy(e, before, 32);
        node.folder->MarkDirty(node.slot);
        node.size = oldSize;
        Rollback(node, oldClusters, oldFirst);
        return error;
    };
    if (DWORD error = fat_.Flush(disk_); error != 0) return undo(error);
    if (oldFirst == node.firstCluster && oldSize == node.size) return 0;
    SetEntryCluster(e, node.firstCluster, layout_.type);
    Store32(e + DIR_FileSize, node.size);
    node.folder->MarkDirty(node.slot);
    if (DWORD error = FlushFolder(*node.folder); error != 0) return undo(error);
    return 0;
}

DWORD FatVolume::WriteRange(FileNode& node, uint64_t offset, const uint8_t* data, uint64_t count) {
    const uint64_t end = offset + count;
    if (end > kMaxFileBytes) return ERROR_DISK_FULL;
    const uint64_t oldSize = node.size;
    const uint64_t have = RunsClusters(node.runs);
    const uint64_t need = CeilDiv(std::max(end, oldSize), layout_.ClusterBytes());
    const uint32_t oldFirst = node.firstCluster;
    if (need > have) {
        const uint32_t tail = node.runs.empty() ? 0 : node.runs.back().first + node.runs.back().count - 1;
        ClusterRuns added;
        if (DWORD error = fat_.Extend(tail, static_cast<uint32_t>(need - have), added); error != 0) {
            return error;
        }
        AppendRuns(node.runs, added);
        if (oldFirst == 0) node.firstCluster = added.front().first;
    }
    // Bytes between the old end and the write were never written: they read as zeros.
    DWORD error = offset > oldSize ? ZeroFill(node, oldSize, offset - oldSize) : 0;
    if (error == 0) {
        error = data != nullptr ? MoveFileBytes(node, offset, count, const_cast<uint8_t*>(data), true)
                                : ZeroFill(node, offset, count);
    }
    if (error != 0) {
        Rollback(node, have, oldFirst);
        return error;
    }
    node.size = static_cast<uint32_t>(std::max(end, oldSize));
    // A staged file's chain reaches the FAT when it is committed.
    return node.folder ? StoreNode(node, have, oldFirst, static_cast<uint32_t>(oldSize)) : 0;
}

DWORD FatVolume::ReadFile(FileNode& node, uint64_t offset, void* buffer, DWORD count, DWORD& done) {
    std::lock_guard lock(mutex_);
    done = 0;
    if (DWORD error = Usable(false); error != 0) return error;
    if (offset >= node.size) return 0;
    const uint64_t take = std::min<uint64_t>(count, node.size - offset);
    if (DWORD error = MoveFileBytes(node, offset, take, static_cast<uint8_t*>(buffer), false);
        error != 0) {
        return error;
    }
    done = static_cast<DWORD>(take);
    return 0;
}

DWORD FatVolume::WriteFile(FileNode& node, uint64_t offset, const void* buffer, DWORD count) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    if (count == 0) return 0;
    return WriteRange(node, offset, static_cast<const uint8_t*>(buffer), count);
}

DWORD FatVolume::ResizeFile(FileNode& node, uint64_t size) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    if (size > kMaxFileBytes) return ERROR_DISK_FULL;
    if (size == node.size) return 0;
    if (size > node.size) return WriteRange(node, node.size, nullptr, size - node.size);
    // Shrinking: the entry stops pointing at the clusters before they are freed.
    const uint64_t keep = CeilDiv(size, layout_.ClusterBytes());
    const uint32_t oldSize = node.size, oldFirst = node.firstCluster;
    node.size = static_cast<uint32_t>(size);
    if (keep == 0) node.firstCluster = 0;
    if (node.folder) {
        uint8_t* e = node.folder->Slot(node.slot);
        SetEntryCluster(e, node.firstCluster, layout_.type);
        Store32(e + DIR_FileSize, node.size);
        node.folder->MarkDirty(node.slot);
        if (DWORD error = FlushFolder(*node.folder); error != 0) {
            node.size = oldSize;
            node.firstCluster = oldFirst;
            SetEntryCluster(e, oldFirst, layout_.type);
            Store32(e + DIR_FileSize, oldSize);
            return error;
        }
    }
    fat_.Truncate(node.runs, keep);
    TrimRuns(node.runs, keep);
    return node.folder ? fat_.Flush(disk_) : 0;
}

uint64_t FatVolume::FileSize(FileNode& node) {
    std::lock_guard lock(mutex_);
    return node.size;
}

DWORD FatVolume::SetFileTimes(FileNode& node, const FileTimes& times) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    if (!node.folder) {
        if (times.created) node.stagedTimes.created = times.created;
        if (times.accessed) node.stagedTimes.accessed = times.accessed;
        if (times.written) node.stagedTimes.written = times.written;
        return 0;
    }
    uint8_t* e = node.folder->Slot(node.slot);
    uint8_t before[32];
    std::memcpy(before, e, 32);
    ApplyTimes(e, times);
    if (std::memcmp(before, e, 32) == 0) return 0;
    node.folder->MarkDirty(node.slot);
    return FlushFolder(*node.folder);
}

DWORD FatVolume::GetFileTimes(FileNode& node, FileTimes& times) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(false); error != 0) return error;
    times = node.folder ? TimesOf(node.folder->Slot(node.slot)) : node.stagedTimes;
    return 0;
}

DWORD FatVolume::CommitStaged(FileNode& node, const PathParts& target, DWORD attributes,
                              const FileTimes& times) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    std::shared_ptr<Folder> parent;
    if (DWORD error = WalkFolder(target, target.size() - 1, parent); error != 0) return error;
    const uint8_t stored = static_cast<uint8_t>(attributes & kStoredAttributes);
    // The copy's clusters are linked in the FAT before any entry points to them.
    if (DWORD error = fat_.Flush(disk_); error != 0) return error;
    const FolderEntry* existing = parent->Find(target.back());
    if (existing == nullptr) {
        if (DWORD error = AddEntry(*parent, target.back(), stored, node.firstCluster, node.size,
                                   times, 0);
            error != 0) {
            return error;
        }
        const uint32_t slot = parent->Find(target.back())->slot;
        if (DWORD error = FlushAll(parent.get()); error != 0) {
            parent->Erase(slot);
            return error;
        }
        return 0;
    }
    uint8_t* e = parent->Slot(existing->slot);
    if (e[DIR_Attr] & kAttrDirectory) return ERROR_ACCESS_DENIED;
    std::shared_ptr<FileNode> old;
    const bool oldChainSound = NodeFor(parent, *existing, old) == 0;
    // One directory sector written switches the name from the old contents to the new.
    uint8_t before[32];
    std::memcpy(before, e, 32);
    e[DIR_Attr] = stored;
    SetEntryCluster(e, node.firstCluster, layout_.type);
    Store32(e + DIR_FileSize, node.size);
    ApplyTimes(e, times);
    parent->MarkDirty(existing->slot);
    if (DWORD error = FlushFolder(*parent); error != 0) {
        std::memcpy(e, before, 32);
        return error;
    }
    nodes_.erase(std::make_pair(parent.get(), existing->slot));
    if (oldChainSound) {
        fat_.Truncate(old->runs, 0);
        old->runs.clear();
        (void)fat_.Flush(disk_);  // the copy stands; a failure here leaves lost clusters only
    }
    return 0;
}

void FatVolume::DropStaged(FileNode& node) {
    std::lock_guard lock(mutex_);
    if (detached_ || node.runs.empty()) return;
    fat_.Truncate(node.runs, 0);
    node.runs.clear();
    (void)fat_.Flush(disk_);
}

}  // namespace platform::fat
