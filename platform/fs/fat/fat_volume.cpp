#include "fat_volume.h"

#include "entry_fields.h"
#include "fat_file.h"

#include <cefiles.h>

#include <algorithm>
#include <cstring>

namespace platform::fat {
namespace {

constexpr DWORD kUnrecognized = ERROR_UNRECOGNIZED_MEDIA;
constexpr uint32_t kMaxFolderSlots = 65536;
constexpr size_t kCachedFolders = 256;
constexpr DWORD kRootAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;

}  // namespace

// --- mounting ---

DWORD FatVolume::Open(HANDLE device, std::shared_ptr<FatVolume>& volume, std::string* reason) {
    std::shared_ptr<FatVolume> opened(new FatVolume(device));
    std::string why;
    const DWORD error = opened->Mount(why);
    if (reason != nullptr) *reason = why;
    if (error != 0) return error;
    volume = std::move(opened);
    return 0;
}

DWORD FatVolume::Mount(std::string& reason) {
    DiskInfo info;
    if (DWORD error = disk_.GetInfo(info); error != 0) return error;
    const DWORD sectorBytes = info.bytesPerSector;
    if (sectorBytes < 512 || sectorBytes > 4096 || (sectorBytes & (sectorBytes - 1)) != 0 ||
        info.totalSectors == 0) {
        reason = "the disk reports no usable sector size";
        return kUnrecognized;
    }
    disk_.SetSectorBytes(sectorBytes);
    std::vector<uint8_t> sector(sectorBytes);
    if (DWORD error = disk_.Read(0, 1, sector.data()); error != 0) return error;
    DWORD error = ParseBootSector(sector.data(), 0, info.totalSectors, sectorBytes, layout_, reason);
    uint64_t start = 0;
    if (error != 0 && FindFatPartition(sector.data(), info.totalSectors, start)) {
        if (DWORD readError = disk_.Read(start, 1, sector.data()); readError != 0) return readError;
        error = ParseBootSector(sector.data(), start, info.totalSectors, sectorBytes, layout_, reason);
    }
    if (error != 0) return error;
    return fat_.Load(disk_, layout_);
}

void FatVolume::Detach() {
    std::lock_guard lock(mutex_);
    detached_ = true;
    disk_.Detach();
    walked_.clear();
    folders_.clear();
}

DWORD FatVolume::Usable(bool change) const {
    if (detached_) return ERROR_NOT_READY;
    if (change && disk_.WriteProtected()) return ERROR_WRITE_PROTECT;
    return 0;
}

bool FatVolume::WriteProtected() { return disk_.WriteProtected(); }

uint64_t FatVolume::FreeBytes() {
    std::lock_guard lock(mutex_);
    return uint64_t{fat_.FreeCount()} * layout_.ClusterBytes();
}

// --- folders ---

uint32_t FatVolume::RootCluster() const {
    return layout_.type == FatType::Fat32 ? layout_.rootCluster : 0;
}

DWORD FatVolume::ReadRuns(const ClusterRuns& runs, uint8_t* buffer) {
    for (const auto& run : runs) {
        const uint64_t sectors = uint64_t{run.count} * layout_.sectorsPerCluster;
        if (DWORD error = disk_.Read(layout_.ClusterSector(run.first), sectors, buffer); error != 0) {
            return error;
        }
        buffer += sectors * layout_.bytesPerSector;
    }
    return 0;
}

DWORD FatVolume::LoadFolder(uint32_t cluster, std::shared_ptr<Folder>& folder) {
    if (auto it = folders_.find(cluster); it != folders_.end()) {
        folder = it->second;
        return 0;
    }
    ClusterRuns runs;
    std::vector<uint8_t> bytes;
    if (cluster == 0) {
        bytes.resize(uint64_t{layout_.rootSectors} * layout_.bytesPerSector);
        if (DWORD error = disk_.Read(layout_.rootStart, layout_.rootSectors, bytes.data());
            error != 0) {
            return error;
        }
    } else {
        const uint64_t maxClusters = CeilDiv(uint64_t{kMaxFolderSlots} * 32, layout_.ClusterBytes());
        if (DWORD error = fat_.Chain(cluster, maxClusters, runs); error != 0) return error;
        bytes.resize(RunsClusters(runs) * layout_.ClusterBytes());
        if (DWORD error = ReadRuns(runs, bytes.data()); error != 0) return error;
    }
    if (folders_.size() >= kCachedFolders) {
        // Folders nobody holds open are read again when next needed.
        std::erase_if(folders_, [](const auto& item) { return item.second.use_count() == 1; });
    }
    folder = std::make_shared<Folder>(cluster, std::move(runs), std::move(bytes),
                                      layout_.bytesPerSector);
    folders_[cluster] = folder;
    return 0;
}

DWORD FatVolume::WalkFolder(const PathParts& path, size_t depth, std::shared_ptr<Folder>& folder) {
    if (DWORD error = LoadFolder(RootCluster(), folder); error != 0) return error;
    for (size_t i = 0; i < depth; ++i) {
        // Every part before this one matched the last walk, so this one reaches its folder.
        if (i < walked_.size() && walked_[i].name == path[i]) {
            folder = walked_[i].folder;
            continue;
        }
        walked_.resize(i);
        const FolderEntry* entry = folder->Find(path[i]);
        if (entry == nullptr) return ERROR_PATH_NOT_FOUND;
        const uint8_t* e = folder->Slot(entry->slot);
        if (!(e[DIR_Attr] & kAttrDirectory)) return ERROR_PATH_NOT_FOUND;
        const uint32_t cluster = EntryCluster(e, layout_.type);
        if (!layout_.IsCluster(cluster)) return kCorrupt;
        std::shared_ptr<Folder> child;
        if (DWORD error = LoadFolder(cluster, child); error != 0) return error;
        walked_.push_back({path[i], child});
        folder = std::move(child);
    }
    return 0;
}

DWORD FatVolume::Locate(const PathParts& path, std::shared_ptr<Folder>& parent,
                        const FolderEntry*& entry) {
    if (path.empty()) return ERROR_ACCESS_DENIED;
    if (DWORD error = WalkFolder(path, path.size() - 1, parent); error != 0) return error;
    entry = parent->Find(path.back());
    return entry == nullptr ? ERROR_FILE_NOT_FOUND : 0;
}

EntryInfo FatVolume::InfoOf(Folder& folder, const FolderEntry& entry) {
    const uint8_t* e = folder.Slot(entry.slot);
    const FileTimes times = TimesOf(e);
    EntryInfo info;
    info.name = entry.name;
    info.attributes = e[DIR_Attr] & (kStoredAttributes | kAttrDirectory);
    info.size = (e[DIR_Attr] & kAttrDirectory) ? 0 : Load32(e + DIR_FileSize);
    info.created = *times.created;
    info.accessed = *times.accessed;
    info.written = *times.written;
    return info;
}

// How many clusters the folder must grow by to take the name; 112 when it cannot.
DWORD FatVolume::FolderGrowth(Folder& folder, std::u16string_view name, uint32_t& clusters) {
    ShortName exact;
    const uint32_t slots = (ExactShortName(name, exact) ? 0 : Folder::LongSlotsFor(name)) + 1;
    const uint64_t end = uint64_t{folder.FindFreeRun(slots)} + slots;
    clusters = 0;
    if (end <= folder.SlotCount()) return 0;
    if (folder.IsFixedRoot() || end > kMaxFolderSlots) return ERROR_DISK_FULL;
    clusters = static_cast<uint32_t>(CeilDiv((end - folder.SlotCount()) * 32, layout_.ClusterBytes()));
    return 0;
}

DWORD FatVolume::GrowFolder(Folder& folder, uint32_t clusters) {
    const ClusterRuns& runs = folder.Runs();
    const uint32_t tail = runs.back().first + runs.back().count - 1;
    ClusterRuns added;
    if (DWORD error = fat_.Extend(tail, clusters, added); error != 0) return error;
    // The new clusters are zeroed on the disk before the FAT links them into the folder.
    const std::vector<uint8_t> zeros(layout_.ClusterBytes(), 0);
    for (const auto& run : added) {
        for (uint32_t i = 0; i < run.count; ++i) {
            if (DWORD error = disk_.Write(layout_.ClusterSector(run.first + i),
                                          layout_.sectorsPerCluster, zeros.data());
                error != 0) {
                ClusterRuns all = runs;
                AppendRuns(all, added);
                fat_.Truncate(all, RunsClusters(runs));
                return error;
            }
        }
    }
    for (const auto& run : added) folder.Grow(run, layout_.ClusterBytes());
    return 0;
}

DWORD FatVolume::AddEntry(Folder& folder, std::u16string_view name, uint8_t attributes,
                          uint32_t cluster, uint32_t size, const FileTimes& times,
                          uint32_t otherClusters) {
    if (name.size() > 255) return ERROR_FILENAME_EXCED_RANGE;
    uint32_t growth = 0;
    if (DWORD error = FolderGrowth(folder, name, growth); error != 0) return error;
    if (uint64_t{growth} + otherClusters > fat_.FreeCount()) return ERROR_DISK_FULL;
    ShortName shortName;
    bool longName = !ExactShortName(name, shortName);
    if (longName && !GenerateAlias(name, [&](const ShortName& n) { return folder.ShortNameTaken(n); },
                                   shortName)) {
        return ERROR_DISK_FULL;
    }
    const uint32_t slots = (longName ? Folder::LongSlotsFor(name) : 0) + 1;
    if (growth > 0) {
        if (DWORD error = GrowFolder(folder, growth); error != 0) return error;
    }
    uint8_t e[32] = {};
    std::memcpy(e + DIR_Name, shortName.data(), 11);
    e[DIR_Attr] = attributes;
    SetEntryCluster(e, cluster, layout_.type);
    Store32(e + DIR_FileSize, size);
    ApplyTimes(e, times);
    folder.Insert(folder.FindFreeRun(slots), name, longName, e);
    return 0;
}

DWORD FatVolume::FlushFolder(Folder& folder) {
    const uint32_t perCluster = layout_.sectorsPerCluster;
    for (const auto& [first, count] : folder.DirtyRuns()) {
        for (uint32_t index = first; index < first + count;) {
            uint64_t sector = 0, contiguous = 0;
            if (folder.IsFixedRoot()) {
                sector = layout_.rootStart + index;
                contiguous = first + count - index;
            } else {
                uint32_t cluster = 0;
                uint64_t clusters = 0;
                if (!RunAt(folder.Runs(), index / perCluster, cluster, clusters)) return kCorrupt;
                sector = layout_.ClusterSector(cluster) + index % perCluster;
                contiguous = std::min<uint64_t>(clusters * perCluster - index % perCluster,
                                                first + count - index);
            }
            if (DWORD error = disk_.Write(sector, contiguous, folder.SectorBytes(index)); error != 0) {
                return error;
            }
            index += static_cast<uint32_t>(contiguous);
        }
    }
    folder.ClearDirty();
    return 0;
}

DWORD FatVolume::FlushAll(Folder* folder) {
    if (DWORD error = fat_.Flush(disk_); error != 0) return error;
    return folder != nullptr ? FlushFolder(*folder) : 0;
}

// --- the store's calls ---

DWORD FatVolume::Stat(const PathParts& path, EntryInfo& info) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(false); error != 0) return error;
    if (path.empty()) {
        info = {};
        info.attributes = kRootAttributes;
        return 0;
    }
    std::shared_ptr<Folder> parent;
    const FolderEntry* entry = nullptr;
    if (DWORD error = Locate(path, parent, entry); error != 0) return error;
    info = InfoOf(*parent, *entry);
    return 0;
}

DWORD FatVolume::Exists(const PathParts& path) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(false); error != 0) return error;
    if (path.empty()) return 0;
    std::shared_ptr<Folder> parent;
    const FolderEntry* entry = nullptr;
    return Locate(path, parent, entry);
}

DWORD FatVolume::List(const PathParts& path, std::vector<EntryInfo>& entries) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(false); error != 0) return error;
    std::shared_ptr<Folder> folder;
    if (DWORD error = WalkFolder(path, path.size(), folder); error != 0) return error;
    entries.clear();
    for (const auto& [slot, entry] : folder->Entries()) entries.push_back(InfoOf(*folder, entry));
    return 0;
}

DWORD FatVolume::CreateFolder(const PathParts& path, FileTimeTicks now) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    if (path.empty()) return ERROR_ALREADY_EXISTS;
    std::shared_ptr<Folder> parent;
    if (DWORD error = WalkFolder(path, path.size() - 1, parent); error != 0) return error;
    if (parent->Find(path.back()) != nullptr) return ERROR_ALREADY_EXISTS;
    uint32_t growth = 0;
    if (DWORD error = FolderGrowth(*parent, path.back(), growth); error != 0) return error;
    if (uint64_t{growth} + 1 > fat_.FreeCount()) return ERROR_DISK_FULL;
    ClusterRuns own;
    if (DWORD error = fat_.Extend(0, 1, own); error != 0) return error;
    const uint32_t cluster = own.front().first;
    // The new folder's cluster, with its . and .. entries, is on the disk before anything
    // points to it.
    std::vector<uint8_t> bytes(layout_.ClusterBytes(), 0);
    const FileTimes times{now, now, now};
    const uint32_t parentCluster = parent->Cluster() == RootCluster() ? 0 : parent->Cluster();
    for (int i = 0; i < 2; ++i) {
        uint8_t* e = &bytes[i * 32];
        std::memset(e, ' ', 11);
        std::memset(e, '.', i + 1);
        e[DIR_Attr] = kAttrDirectory;
        const uint32_t target = i == 0 ? cluster : parentCluster;
        SetEntryCluster(e, target, layout_.type);
        ApplyTimes(e, times);
    }
    DWORD error = disk_.Write(layout_.ClusterSector(cluster), layout_.sectorsPerCluster, bytes.data());
    if (error == 0) error = AddEntry(*parent, path.back(), kAttrDirectory, cluster, 0, times, 1);
    if (error == 0) {
        error = FlushAll(parent.get());
        if (error != 0) {
            walked_.clear();
            parent->Erase(parent->Find(path.back())->slot);
        }
    }
    if (error != 0) fat_.Truncate(own, 0);
    return error;
}

DWORD FatVolume::RemoveFolder(const PathParts& path) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    std::shared_ptr<Folder> parent, folder;
    const FolderEntry* entry = nullptr;
    if (DWORD error = Locate(path, parent, entry); error != 0) return error;
    if (!(parent->Slot(entry->slot)[DIR_Attr] & kAttrDirectory)) return ERROR_DIRECTORY;
    if (DWORD error = WalkFolder(path, path.size(), folder); error != 0) return error;
    if (!folder->Entries().empty()) return ERROR_DIR_NOT_EMPTY;
    walked_.clear();
    parent->Erase(entry->slot);
    if (DWORD error = FlushFolder(*parent); error != 0) return error;
    fat_.Truncate(folder->Runs(), 0);
    folders_.erase(folder->Cluster());
    return fat_.Flush(disk_);
}


DWORD FatVolume::NodeFor(const std::shared_ptr<Folder>& folder, const FolderEntry& entry,
                         std::shared_ptr<FileNode>& node) {
    const auto key = std::make_pair(folder.get(), entry.slot);
    if (auto it = nodes_.find(key); it != nodes_.end() && (node = it->second.lock())) return 0;
    const uint8_t* e = folder->Slot(entry.slot);
    auto fresh = std::make_shared<FileNode>();
    fresh->folder = folder;
    fresh->slot = entry.slot;
    fresh->firstCluster = EntryCluster(e, layout_.type);
    fresh->size = Load32(e + DIR_FileSize);
    if (fresh->firstCluster != 0) {
        if (DWORD error = fat_.Chain(fresh->firstCluster, layout_.clusterCount, fresh->runs);
            error != 0) {
            return error;
        }
    }
    // A chain too short for the recorded size would read past its end.
    if (RunsClusters(fresh->runs) < CeilDiv(fresh->size, layout_.ClusterBytes())) return kCorrupt;
    if (nodes_.size() > 1024) std::erase_if(nodes_, [](const auto& item) { return item.second.expired(); });
    nodes_[key] = fresh;
    node = std::move(fresh);
    return 0;
}

DWORD FatVolume::CreateFile(const PathParts& path, DWORD attributes, FileTimeTicks now,
                            std::unique_ptr<FileData>& file) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    std::shared_ptr<Folder> parent;
    if (path.empty()) return ERROR_ACCESS_DENIED;
    if (DWORD error = WalkFolder(path, path.size() - 1, parent); error != 0) return error;
    if (parent->Find(path.back()) != nullptr) return ERROR_ALREADY_EXISTS;
    const uint8_t stored = static_cast<uint8_t>(attributes & kStoredAttributes);
    if (DWORD error = AddEntry(*parent, path.back(), stored, 0, 0, {now, now, now}, 0); error != 0) {
        return error;
    }
    const FolderEntry* entry = parent->Find(path.back());
    if (DWORD error = FlushAll(parent.get()); error != 0) {
        parent->Erase(entry->slot);
        return error;
    }
    std::shared_ptr<FileNode> node;
    if (DWORD error = NodeFor(parent, *entry, node); error != 0) return error;
    file = MakeFatFile(shared_from_this(), std::move(node));
    return 0;
}

DWORD FatVolume::OpenFile(const PathParts& path, std::unique_ptr<FileData>& file) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(false); error != 0) return error;
    std::shared_ptr<Folder> parent;
    const FolderEntry* entry = nullptr;
    if (DWORD error = Locate(path, parent, entry); error != 0) return error;
    if (parent->Slot(entry->slot)[DIR_Attr] & kAttrDirectory) return ERROR_ACCESS_DENIED;
    std::shared_ptr<FileNode> node;
    if (DWORD error = NodeFor(parent, *entry, node); error != 0) return error;
    file = MakeFatFile(shared_from_this(), std::move(node));
    return 0;
}

DWORD FatVolume::DeleteFile(const PathParts& path) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    std::shared_ptr<Folder> parent;
    const FolderEntry* entry = nullptr;
    if (DWORD error = Locate(path, parent, entry); error != 0) return error;
    if (parent->Slot(entry->slot)[DIR_Attr] & kAttrDirectory) return ERROR_ACCESS_DENIED;
    std::shared_ptr<FileNode> node;
    // A damaged chain is left alone: freeing it could free another file's clusters.
    if (DWORD error = NodeFor(parent, *entry, node); error != 0) return error;
    const uint32_t slot = entry->slot;
    parent->Erase(slot);
    if (DWORD error = FlushFolder(*parent); error != 0) return error;
    fat_.Truncate(node->runs, 0);
    node->runs.clear();
    nodes_.erase(std::make_pair(parent.get(), slot));
    return fat_.Flush(disk_);
}

DWORD FatVolume::SetAttributes(const PathParts& path, DWORD attributes) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    std::shared_ptr<Folder> parent;
    const FolderEntry* entry = nullptr;
    if (DWORD error = Locate(path, parent, entry); error != 0) return error;
    uint8_t* e = parent->Slot(entry->slot);
    e[DIR_Attr] = static_cast<uint8_t>((attributes & kStoredAttributes) | (e[DIR_Attr] & kAttrDirectory));
    parent->MarkDirty(entry->slot);
    return FlushFolder(*parent);
}

DWORD FatVolume::SetTimes(const PathParts& path, const FileTimes& times) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    if (path.empty()) return 0;
    std::shared_ptr<Folder> parent;
    const FolderEntry* entry = nullptr;
    if (DWORD error = Locate(path, parent, entry); error != 0) return error;
    ApplyTimes(parent->Slot(entry->slot), times);
    parent->MarkDirty(entry->slot);
    return FlushFolder(*parent);
}

DWORD FatVolume::StageFile(const PathParts& target, std::unique_ptr<StagedFile>& staged) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable(true); error != 0) return error;
    if (target.empty()) return ERROR_ACCESS_DENIED;
    std::shared_ptr<Folder> parent;
    if (DWORD error = WalkFolder(target, target.size() - 1, parent); error != 0) return error;
    staged = MakeStagedFatFile(shared_from_this(), target);
    return 0;
}

}  // namespace platform::fat
