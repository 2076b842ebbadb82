// Calls on entries by name: folders, deletion and attributes.
#include "ce_path.h"
#include "layer.h"
#include "share_table.h"

namespace fs = platform::fs;

namespace platform::fs {
namespace {

// Parses and resolves; a failure is left in the last error.
bool Locate(LPCWSTR path, PathUse use, Resolved& where) {
    PathParts parts;
    if (DWORD error = ParseCePath(path, use, parts); error != 0) {
        SetLastError(error);
        return false;
    }
    where = Resolve(std::move(parts));
    return true;
}

}  // namespace
}  // namespace platform::fs

BOOL CreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    fs::Resolved where;
    if (!fs::Locate(path, fs::PathUse::Create, where)) return FALSE;
    if (where.IsRoot() || where.IsMountPoint()) return fs::Fail(ERROR_ALREADY_EXISTS);
    std::lock_guard lock(fs::NamespaceLock());
    const DWORD found = where.backend->Exists(where.relative);
    if (found == 0) return fs::Fail(ERROR_ALREADY_EXISTS);
    if (found != ERROR_FILE_NOT_FOUND) return fs::Fail(found);
    if (where.backend->WriteProtected()) return fs::Fail(ERROR_WRITE_PROTECT);
    if (DWORD error = where.backend->CreateFolder(where.relative, fs::Now()); error != 0) {
        return fs::Fail(error);
    }
    return TRUE;
}

BOOL RemoveDirectory(LPCWSTR path) {
    fs::Resolved where;
    if (!fs::Locate(path, fs::PathUse::Lookup, where)) return FALSE;
    if (where.IsRoot() || where.IsMountPoint()) return fs::Fail(ERROR_ACCESS_DENIED);
    std::lock_guard lock(fs::NamespaceLock());
    platform::EntryInfo info;
    if (DWORD error = where.backend->Stat(where.relative, info); error != 0) return fs::Fail(error);
    if (!info.IsFolder()) return fs::Fail(ERROR_DIRECTORY);
    if (where.backend->WriteProtected()) return fs::Fail(ERROR_WRITE_PROTECT);
    if (fs::IsProtected(info)) return fs::Fail(ERROR_ACCESS_DENIED);
    if (DWORD error = where.backend->RemoveFolder(where.relative); error != 0) {
        return fs::Fail(error);
    }
    return TRUE;
}

BOOL DeleteFile(LPCWSTR path) {
    fs::Resolved where;
    if (!fs::Locate(path, fs::PathUse::Lookup, where)) return FALSE;
    if (where.IsRoot() || where.IsMountPoint()) return fs::Fail(ERROR_ACCESS_DENIED);
    std::lock_guard lock(fs::NamespaceLock());
    platform::EntryInfo info;
    if (DWORD error = where.backend->Stat(where.relative, info); error != 0) return fs::Fail(error);
    if (info.IsFolder()) return fs::Fail(ERROR_ACCESS_DENIED);
    if (where.backend->WriteProtected()) return fs::Fail(ERROR_WRITE_PROTECT);
    if (fs::IsProtected(info)) return fs::Fail(ERROR_ACCESS_DENIED);
    if (fs::IsOpenAnywhere(where)) return fs::Fail(ERROR_SHARING_VIOLATION);
    if (DWORD error = where.backend->DeleteFile(where.relative); error != 0) {
        return fs::Fail(error);
    }
    return TRUE;
}

DWORD GetFileAttributes(LPCWSTR path) {
    fs::Resolved where;
    if (!fs::Locate(path, fs::PathUse::Lookup, where)) return INVALID_FILE_ATTRIBUTES;
    platform::EntryInfo info;
    if (DWORD error = fs::StatResolved(where, info); error != 0) {
        SetLastError(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    return fs::ReportedAttributes(info);
}

BOOL SetFileAttributes(LPCWSTR path, DWORD attributes) {
    fs::Resolved where;
    if (!fs::Locate(path, fs::PathUse::Lookup, where)) return FALSE;
    if (where.IsRoot() || where.IsMountPoint()) return fs::Fail(ERROR_ACCESS_DENIED);
    std::lock_guard lock(fs::NamespaceLock());
    platform::EntryInfo info;
    if (DWORD error = where.backend->Stat(where.relative, info); error != 0) return fs::Fail(error);
    if (where.backend->WriteProtected()) return fs::Fail(ERROR_WRITE_PROTECT);
    if (info.attributes & FILE_ATTRIBUTE_INROM) return fs::Fail(ERROR_ACCESS_DENIED);
    const DWORD kept = info.attributes & FILE_ATTRIBUTE_DIRECTORY;
    const DWORD wanted = (attributes & fs::kSettableAttributes) | kept;
    if (DWORD error = where.backend->SetAttributes(where.relative, wanted); error != 0) {
        return fs::Fail(error);
    }
    return TRUE;
}
