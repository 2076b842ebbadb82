// A store held in memory: the RAM object store of a handheld without a host folder behind it,
// and the backend tests run on. It can be given a capacity (writes beyond it fail with 112, as
// a full store does) and a write-protect switch (every change fails with 19).
#pragma once

#include <memory>

#include "file_backend.h"

namespace platform {

class MemoryBackend final : public FileBackend {
public:
    static constexpr uint64_t kUnlimited = UINT64_MAX;
    explicit MemoryBackend(uint64_t capacityBytes = kUnlimited);
    ~MemoryBackend() override;

    DWORD Stat(const PathParts& path, EntryInfo& info) override;
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

    void SetWriteProtected(bool on);
    uint64_t UsedBytes() const;

    struct Store;

private:
    std::shared_ptr<Store> store_;
};

}  // namespace platform
