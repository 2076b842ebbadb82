// A FAT12/16/32 volume on a DSK device as a store of the CE name space. The disk is reached
// only through the device's block requests. Folders are held in memory once read; changes are
// written before the call that made them returns: file data first, then the FAT (both copies),
// then the directory entry, so a crash between two writes leaves at most lost clusters; a
// deletion writes the entry before it frees the clusters.
#pragma once

#include "block_disk.h"
#include "fat_table.h"
#include "folder.h"
#include "volume_layout.h"

#include <platform/file_backend.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace platform::fat {

// An open file's place and chain, shared by every handle open on it. A staged file has no
// folder until its commit.
struct FileNode {
    std::shared_ptr<Folder> folder;
    uint32_t slot = 0;
    uint32_t firstCluster = 0;
    uint32_t size = 0;
    ClusterRuns runs;
    FileTimes stagedTimes;
};

class FatVolume final : public FileBackend, public std::enable_shared_from_this<FatVolume> {
public:
    // Reads the volume of an open DSK device and takes the handle. A medium without a sensible
    // FAT volume fails with 1785 and reason says what did not make sense.
    [[nodiscard]] static DWORD Open(HANDLE device, std::shared_ptr<FatVolume>& volume,
                                    std::string* reason = nullptr);
    ~FatVolume() override = default;

    DWORD Stat(const PathParts& path, EntryInfo& info) override;
    DWORD Exists(const PathParts& path) override;
    DWORD List(const PathParts& folder, std::vector<EntryInfo>& entries) override;
    DWORD CreateFolder(const PathParts& path, FileTimeTicks now) override;
    DWORD RemoveFolder(const PathParts& path) override;
    DWORD CreateFile(const PathParts& path, DWORD attributes, FileTimeTicks now,
                     std::unique_ptr<FileData>& file) override;
    DWORD OpenFile(const PathParts& path, std::unique_ptr<FileData>& file) override;
    DWORD DeleteFile(const PathParts& path) override;
    DWORD SetAttributes(const PathParts& path, DWORD attributes) override;
    DWORD SetTimes(const PathParts& path, const FileTimes& times) override;
    DWORD StageFile(const PathParts& target, std::unique_ptr<StagedFile>& staged) override;
    bool WriteProtected() override;

    // Unmounted: the device is closed and every later call, through open handles too, fails
    // with 21.
    void Detach();
    const VolumeLayout& Layout() const { return layout_; }
    uint64_t FreeBytes();

    // The calls of open and staged files, each under the volume's lock.
    [[nodiscard]] DWORD ReadFile(FileNode& node, uint64_t offset, void* buffer, DWORD count,
                                 DWORD& done);
    [[nodiscard]] DWORD WriteFile(FileNode& node, uint64_t offset, const void* buffer, DWORD count);
    [[nodiscard]] DWORD ResizeFile(FileNode& node, uint64_t size);
    uint64_t FileSize(FileNode& node);
    [[nodiscard]] DWORD SetFileTimes(FileNode& node, const FileTimes& times);
    [[nodiscard]] DWORD GetFileTimes(FileNode& node, FileTimes& times);
    [[nodiscard]] DWORD CommitStaged(FileNode& node, const PathParts& target, DWORD attributes,
                                     const FileTimes& times);
    void DropStaged(FileNode& node);

private:
    explicit FatVolume(HANDLE device) : disk_(device) {}
    [[nodiscard]] DWORD Mount(std::string& reason);
    [[nodiscard]] DWORD Usable(bool change) const;

    uint32_t RootCluster() const;
    [[nodiscard]] DWORD LoadFolder(uint32_t cluster, std::shared_ptr<Folder>& folder);
    [[nodiscard]] DWORD WalkFolder(const PathParts& path, size_t depth,
                                   std::shared_ptr<Folder>& folder);
    [[nodiscard]] DWORD Locate(const PathParts& path, std::shared_ptr<Folder>& parent,
                               const FolderEntry*& entry);
    [[nodiscard]] DWORD FolderGrowth(Folder& folder, std::u16string_view name,
                                     uint32_t& clusters);
    [[nodiscard]] DWORD AddEntry(Folder& folder, std::u16string_view name, uint8_t attributes,
                                 uint32_t cluster, uint32_t size, const FileTimes& times,
                                 uint32_t otherClusters);
    [[nodiscard]] DWORD GrowFolder(Folder& folder, uint32_t clusters);
    [[nodiscard]] DWORD FlushFolder(Folder& folder);
    [[nodiscard]] DWORD FlushAll(Folder* folder);
    [[nodiscard]] DWORD NodeFor(const std::shared_ptr<Folder>& folder, const FolderEntry& entry,
                                std::shared_ptr<FileNode>& node);

    [[nodiscard]] DWORD ReadRuns(const ClusterRuns& runs, uint8_t* buffer);
    [[nodiscard]] DWORD MoveFileBytes(FileNode& node, uint64_t offset, uint64_t count,
                                      uint8_t* buffer, bool write);
    // restPastEnd: the bytes after this range, in its last sector, lie past the file's end.
    [[nodiscard]] DWORD MoveDiskBytes(uint64_t address, uint64_t count, uint8_t* buffer,
                                      bool write, bool restPastEnd = false);
    [[nodiscard]] DWORD WriteRange(FileNode& node, uint64_t offset, const uint8_t* data,
                                   uint64_t count);
    [[nodiscard]] DWORD ZeroFill(FileNode& node, uint64_t offset, uint64_t count);
    [[nodiscard]] DWORD StoreNode(FileNode& node, uint64_t oldClusters, uint32_t oldFirst,
                                  uint32_t oldSize);
    void Rollback(FileNode& node, uint64_t keepClusters, uint32_t firstCluster);
    EntryInfo InfoOf(Folder& folder, const FolderEntry& entry);

    std::mutex mutex_;
    BlockDisk disk_;
    VolumeLayout layout_;
    FatTable fat_;
    bool detached_ = false;
    std::unordered_map<uint32_t, std::shared_ptr<Folder>> folders_;
    // The folders of the last path walked, each with the spelling that reached it: a copy of a
    // tree walks the same folders file after file. Dropped whenever a folder's entry goes.
    struct WalkedFolder {
        std::u16string name;
        std::shared_ptr<Folder> folder;
    };
    std::vector<WalkedFolder> walked_;
    std::map<std::pair<const Folder*, uint32_t>, std::weak_ptr<FileNode>> nodes_;
};

}  // namespace platform::fat
