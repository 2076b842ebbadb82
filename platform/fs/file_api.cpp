// CreateFile and the calls on an open file.
#include "../devices/device_manager.h"
#include "ce_path.h"
#include "file_object.h"
#include "layer.h"

#include <platform/clock.h>

namespace fs = platform::fs;

namespace platform::fs {
namespace {

bool WantsChange(DWORD access, DWORD disposition) {
    return (access & GENERIC_WRITE) || disposition == CREATE_ALWAYS ||
           disposition == TRUNCATE_EXISTING;
}

struct OpenRequest {
    DWORD access;
    DWORD share;
    DWORD disposition;
    DWORD attributes;
};

// A new file is marked for archiving, as one changed since the last backup.
DWORD NewFileAttributes(const OpenRequest& request) {
    return (request.attributes & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
}

// Opens an entry that exists. On success the last error tells an open-always or create-always
// caller that the file was there (183).
HANDLE OpenExisting(const Resolved& where, const EntryInfo& info, const OpenRequest& request) {
    if (info.IsFolder()) return FailHandle(ERROR_ACCESS_DENIED);
    if (request.disposition == CREATE_NEW) return FailHandle(ERROR_FILE_EXISTS);
    if (WantsChange(request.access, request.disposition)) {
        if (where.backend->WriteProtected()) return FailHandle(ERROR_WRITE_PROTECT);
        if (IsProtected(info)) return FailHandle(ERROR_ACCESS_DENIED);
    }
    // A query-only open (access 0) stays out of sharing, unless it empties the file: that is a
    // write, refused while another open does not share writing.
    const bool truncates = request.disposition == CREATE_ALWAYS;
    std::unique_ptr<ShareLease> lease;
    if (request.access != 0 || truncates) {
        const DWORD access = request.access != 0 ? request.access : GENERIC_WRITE;
        if (DWORD error = AcquireShare(where, access, request.share, lease); error != 0) {
            return FailHandle(error);
        }
    }
    std::unique_ptr<FileData> data;
    if (DWORD error = where.backend->OpenFile(where.relative, data); error != 0) {
        return FailHandle(error);
    }
    if (request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING) {
        if (DWORD error = data->Resize(0); error != 0) return FailHandle(error);
        const FileTimeTicks now = Now();
        (void)data->SetTimes({std::nullopt, now, now});
    }
    // Creating over a file makes it anew: the old attributes give way to those asked for.
    if (request.disposition == CREATE_ALWAYS) {
        if (DWORD error = where.backend->SetAttributes(where.relative, NewFileAttributes(request));
            error != 0) {
            return FailHandle(error);
        }
    }
    if (request.access == 0) lease.reset();
    HANDLE handle = RegisterHandle(std::make_shared<FileObject>(
        where.backend, std::move(data), std::move(lease), request.access));
    const bool existedMatters =
        request.disposition == OPEN_ALWAYS || request.disposition == CREATE_ALWAYS;
    SetLastError(existedMatters ? ERROR_ALREADY_EXISTS : 0);
    return handle;
}

HANDLE CreateNew(const Resolved& where, const OpenRequest& request) {
    if (request.disposition == OPEN_EXISTING || request.disposition == TRUNCATE_EXISTING) {
        return FailHandle(ERROR_FILE_NOT_FOUND);
    }
    if (where.backend->WriteProtected()) return FailHandle(ERROR_WRITE_PROTECT);
    std::unique_ptr<ShareLease> lease;
    if (request.access != 0) {
        if (DWORD error = AcquireShare(where, request.access, request.share, lease); error != 0) {
            return FailHandle(error);
        }
    }
    std::unique_ptr<FileData> data;
    if (DWORD error =
            where.backend->CreateFile(where.relative, NewFileAttributes(request), Now(), data);
        error != 0) {
        return FailHandle(error);
    }
    HANDLE handle = RegisterHandle(std::make_shared<FileObject>(
        where.backend, std::move(data), std::move(lease), request.access));
    SetLastError(0);
    return handle;
}

HANDLE OpenFileByPath(const char16_t* name, const OpenRequest& request) {
    PathParts parts;
    if (DWORD error = ParseCePath(name, PathUse::Create, parts); error != 0) {
        return FailHandle(error);
    }
    const Resolved where = Resolve(std::move(parts));
    if (where.IsRoot() || where.IsMountPoint()) return FailHandle(ERROR_ACCESS_DENIED);
    std::lock_guard lock(NamespaceLock());
    EntryInfo info;
    const DWORD found = where.backend->Stat(where.relative, info);
    if (found == 0) return OpenExisting(where, info, request);
    if (found != ERROR_FILE_NOT_FOUND) return FailHandle(found);
    return CreateNew(where, request);
}

std::shared_ptr<FileObject> FileOf(HANDLE handle) {
    auto file = LookupHandleAs<FileObject>(handle);
    if (!file) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

}  // namespace
}  // namespace platform::fs

HANDLE CreateFile(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                  DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
    if (fileName != nullptr && platform::devices::IsDeviceName(fileName)) {
        return platform::devices::OpenDevice(fileName, desiredAccess, shareMode);
    }
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING ||
        (creationDisposition == TRUNCATE_EXISTING && !(desiredAccess & GENERIC_WRITE))) {
        return fs::FailHandle(ERROR_INVALID_PARAMETER);
    }
    const fs::OpenRequest request{desiredAccess & (GENERIC_READ | GENERIC_WRITE),
                                  shareMode & (FILE_SHARE_READ | FILE_SHARE_WRITE),
                                  creationDisposition, flagsAndAttributes};
    return fs::OpenFileByPath(fileName, request);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED) {
    if (bytesRead != nullptr) *bytesRead = 0;
    auto object = platform::LookupHandleAs<fs::IoHandle>(file);
    if (!object) return fs::Fail(ERROR_INVALID_HANDLE);
    if (buffer == nullptr && bytesToRead != 0) return fs::Fail(ERROR_INVALID_PARAMETER);
    DWORD done = 0;
    const BOOL ok = object->Read(buffer, bytesToRead, done);
    if (bytesRead != nullptr) *bytesRead = done;
    return ok;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED) {
    if (bytesWritten != nullptr) *bytesWritten = 0;
    auto object = platform::LookupHandleAs<fs::IoHandle>(file);
    if (!object) return fs::Fail(ERROR_INVALID_HANDLE);
    if (buffer == nullptr && bytesToWrite != 0) return fs::Fail(ERROR_INVALID_PARAMETER);
    DWORD done = 0;
    const BOOL ok = object->Write(buffer, bytesToWrite, done);
    if (bytesWritten != nullptr) *bytesWritten = done;
    return ok;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod) {
    auto object = platform::LookupHandleAs<fs::IoHandle>(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    return object->Seek(distance, distanceHigh, moveMethod);
}

BOOL SetEndOfFile(HANDLE file) {
    auto object = fs::FileOf(file);
    return object ? object->SetEnd() : FALSE;
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    auto object = fs::FileOf(file);
    if (!object) return INVALID_FILE_SIZE;
    const uint64_t size = object->Size();
    if (fileSizeHigh != nullptr) *fileSizeHigh = static_cast<DWORD>(size >> 32);
    // A low half that reads as the failure value is told apart by a last error of 0.
    if (static_cast<DWORD>(size) == INVALID_FILE_SIZE) SetLastError(0);
    return static_cast<DWORD>(size);
}

BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite) {
    auto object = fs::FileOf(file);
    if (!object) return FALSE;
    platform::FileTimeTicks created = 0, accessed = 0, written = 0;
    if (DWORD error = object->Data().GetTimes(created, accessed, written); error != 0) {
        return fs::Fail(error);
    }
    if (creation != nullptr) *creation = platform::ToFileTime(created);
    if (lastAccess != nullptr) *lastAccess = platform::ToFileTime(accessed);
    if (lastWrite != nullptr) *lastWrite = platform::ToFileTime(written);
    return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite) {
    auto object = fs::FileOf(file);
    if (!object) return FALSE;
    platform::FileTimes times;
    if (creation != nullptr) times.created = platform::ToTicks(*creation);
    if (lastAccess != nullptr) times.accessed = platform::ToTicks(*lastAccess);
    if (lastWrite != nullptr) times.written = platform::ToTicks(*lastWrite);
    return object->SetTimes(times);
}
