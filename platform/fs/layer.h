// Helpers the file API's entry points share: attribute rules, the clock, and the CE way of
// failing (last error plus a FALSE or invalid result).
#pragma once

#include "mount_table.h"

#include <cefiles.h>
#include <winbase.h>

namespace platform::fs {

// What SetFileAttributes can change; directory and in-ROM belong to the entry itself.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// The attributes callers see: a file with none set reads as normal (0x80). A mounted card's
// folder carries the temporary bit (0x110), as the handheld shows it.
inline DWORD ReportedAttributes(const EntryInfo& entry) {
    const DWORD bits = entry.attributes & (kSettableAttributes | FILE_ATTRIBUTE_DIRECTORY |
                                           FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_TEMPORARY);
    return bits == 0 ? FILE_ATTRIBUTE_NORMAL : bits;
}

// Read-only and ROM entries refuse every change, whoever the host process runs as.
inline bool IsProtected(const EntryInfo& entry) {
    return (entry.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_INROM)) != 0;
}

// Stat that also answers for the root and for mount points.
[[nodiscard]] DWORD StatResolved(const Resolved& where, EntryInfo& info);

FileTimeTicks Now();

inline BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

inline HANDLE FailHandle(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

}  // namespace platform::fs
