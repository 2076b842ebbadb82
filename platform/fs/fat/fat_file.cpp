#include "fat_file.h"

namespace platform::fat {
namespace {

class FatFile final : public FileData {
public:
    FatFile(std::shared_ptr<FatVolume> volume, std::shared_ptr<FileNode> node)
        : volume_(std::move(volume)), node_(std::move(node)) {}

    DWORD Read(uint64_t offset, void* buffer, DWORD count, DWORD& done) override {
        return volume_->ReadFile(*node_, offset, buffer, count, done);
    }
    DWORD Write(uint64_t offset, const void* buffer, DWORD count) override {
        return volume_->WriteFile(*node_, offset, buffer, count);
    }
    DWORD Resize(uint64_t size) override { return volume_->ResizeFile(*node_, size); }
    uint64_t Size() override { return volume_->FileSize(*node_); }
    DWORD SetTimes(const FileTimes& times) override { return volume_->SetFileTimes(*node_, times); }
    DWORD GetTimes(FileTimeTicks& created, FileTimeTicks& accessed,
                   FileTimeTicks& written) override {
        FileTimes times;
        if (DWORD error = volume_->GetFileTimes(*node_, times); error != 0) return error;
        created = times.created.value_or(0);
        accessed = times.accessed.value_or(0);
        written = times.written.value_or(0);
        return 0;
    }

    FileNode& Node() { return *node_; }

private:
    std::shared_ptr<FatVolume> volume_;
    std::shared_ptr<FileNode> node_;
};

// Its clusters belong to no entry until the commit; dropped uncommitted, it frees them.
class StagedFatFile final : public StagedFile {
public:
    StagedFatFile(std::shared_ptr<FatVolume> volume, PathParts target)
        : volume_(volume), target_(std::move(target)), node_(std::make_shared<FileNode>()),
          data_(std::move(volume), node_) {}
    ~StagedFatFile() override {
        if (!committed_) volume_->DropStaged(*node_);
    }

    FileData& Data() override { return data_; }
    DWORD Commit(DWORD attributes, const FileTimes& times) override {
        const DWORD error = volume_->CommitStaged(*node_, target_, attributes, times);
        committed_ = error == 0;
        return error;
    }

private:
    std::shared_ptr<FatVolume> volume_;
    PathParts target_;
    std::shared_ptr<FileNode> node_;
    FatFile data_;
    bool committed_ = false;
};

}  // namespace

std::unique_ptr<FileData> MakeFatFile(std::shared_ptr<FatVolume> volume,
                                      std::shared_ptr<FileNode> node) {
    return std::make_unique<FatFile>(std::move(volume), std::move(node));
}

std::unique_ptr<StagedFile> MakeStagedFatFile(std::shared_ptr<FatVolume> volume,
                                              PathParts target) {
    return std::make_unique<StagedFatFile>(std::move(volume), std::move(target));
}

}  // namespace platform::fat
