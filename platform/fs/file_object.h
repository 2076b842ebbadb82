// An open file: the backend's contents, the file pointer and the sharing lease.
#pragma once

#include "io_handle.h"
#include "share_table.h"

#include <mutex>

namespace platform::fs {

class FileObject final : public IoHandle {
public:
    FileObject(std::shared_ptr<FileBackend> backend, std::unique_ptr<FileData> data,
               std::unique_ptr<ShareLease> lease, DWORD access);

    BOOL Read(void* buffer, DWORD count, DWORD& done) override;
    BOOL Write(const void* buffer, DWORD count, DWORD& done) override;
    DWORD Seek(LONG distance, LONG* distanceHigh, DWORD method) override;
    BOOL SetEnd();
    uint64_t Size() { return data_->Size(); }
    BOOL SetTimes(const FileTimes& times);
    FileData& Data() { return *data_; }
    DWORD Close() override;

private:
    bool Allows(DWORD access) const { return (access_ & access) == access; }

    std::mutex mutex_;  // the file pointer, for handles shared between threads
    std::shared_ptr<FileBackend> backend_;
    std::unique_ptr<FileData> data_;
    std::unique_ptr<ShareLease> lease_;
    DWORD access_;
    uint64_t position_ = 0;
};

}  // namespace platform::fs
