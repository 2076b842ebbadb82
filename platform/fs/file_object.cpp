#include "file_object.h"

#include "layer.h"

namespace platform::fs {

FileObject::FileObject(std::shared_ptr<FileBackend> backend, std::unique_ptr<FileData> data,
                       std::unique_ptr<ShareLease> lease, DWORD access)
    : backend_(std::move(backend)), data_(std::move(data)), lease_(std::move(lease)),
      access_(access) {}

BOOL FileObject::Read(void* buffer, DWORD count, DWORD& done) {
    done = 0;
    if (!Allows(GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
    std::lock_guard lock(mutex_);
    if (DWORD error = data_->Read(position_, buffer, count, done); error != 0) return Fail(error);
    position_ += done;
    return TRUE;
}

BOOL FileObject::Write(const void* buffer, DWORD count, DWORD& done) {
    done = 0;
    if (!Allows(GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    std::lock_guard lock(mutex_);
    if (count == 0) return TRUE;
    if (DWORD error = data_->Write(position_, buffer, count); error != 0) return Fail(error);
    position_ += count;
    done = count;
    const FileTimeTicks now = Now();
    (void)data_->SetTimes({std::nullopt, now, now});
    return TRUE;
}

DWORD FileObject::Seek(LONG distance, LONG* distanceHigh, DWORD method) {
    int64_t move = distance;
    if (distanceHigh != nullptr) {
        move = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                    static_cast<uint32_t>(distance));
    }
    std::lock_guard lock(mutex_);
    int64_t base = 0;
    switch (method) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = static_cast<int64_t>(position_); break;
    case FILE_END: base = static_cast<int64_t>(data_->Size()); break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_SET_FILE_POINTER;
    }
    const int64_t target = base + move;
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    position_ = static_cast<uint64_t>(target);
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(position_ >> 32);
    // A low half that reads as the failure value is told apart by a last error of 0.
    if (static_cast<DWORD>(position_) == INVALID_SET_FILE_POINTER) SetLastError(0);
    return static_cast<DWORD>(position_);
}

BOOL FileObject::SetEnd() {
    if (!Allows(GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    std::lock_guard lock(mutex_);
    if (DWORD error = data_->Resize(position_); error != 0) return Fail(error);
    const FileTimeTicks now = Now();
    (void)data_->SetTimes({std::nullopt, now, now});
    return TRUE;
}

BOOL FileObject::SetTimes(const FileTimes& times) {
    if (!Allows(GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    if (DWORD error = data_->SetTimes(times); error != 0) return Fail(error);
    return TRUE;
}

DWORD FileObject::Close() {
    lease_.reset();
    return 0;
}

}  // namespace platform::fs
