// The platform's disk interface: what a file system sends a DSK block device through
// DeviceIoControl. The disk-information record, the scatter/gather request of block reads and
// writes and the disk control codes.
#pragma once

#include "windef.h"

#include <cstddef>

// --- disk control codes (DeviceIoControl on a DSK device; the input buffer is the record) ---
inline constexpr DWORD DISK_IOCTL_GETINFO = 1;      // fills a DiskInfo
inline constexpr DWORD DISK_IOCTL_READ = 2;         // a DiskRequest
inline constexpr DWORD DISK_IOCTL_WRITE = 3;        // a DiskRequest
inline constexpr DWORD DISK_IOCTL_INITIALIZED = 4;
inline constexpr DWORD DISK_IOCTL_SETINFO = 5;      // takes a DiskInfo
inline constexpr DWORD DISK_IOCTL_FORMAT_MEDIA = 6;

// --- diskFlags ---
inline constexpr DWORD DISK_INFO_FLAG_UNFORMATTED = 0x4;

// The six words of the disk-information record.
struct DiskInfo {
    DWORD totalSectors;
    DWORD bytesPerSector;
    DWORD cylinders;
    DWORD heads;
    DWORD sectorsPerTrack;
    DWORD diskFlags;
};

// The scatter/gather disk request. A request with n segments is laid out with its segments one
// after another from `segments`; DiskRequestWith<n> gives room for them. `status` carries the
// driver's error for the request.
struct DiskSegment {
    PUCHAR buffer;  // an address in the process that issued the request
    DWORD length;   // bytes
};

struct DiskRequest {
    DWORD startSector;
    DWORD sectorCount;   // not read by QVATAPI: the block count comes from the segments
    DWORD segmentCount;
    DWORD status;
    PVOID completion;    // not used by the drive's libraries
    DiskSegment segments[1];
};

// Room for count segments: the same layout with the segment array at its full length.
template <DWORD count>
struct DiskRequestWith {
    DWORD startSector = 0;
    DWORD sectorCount = 0;
    DWORD segmentCount = count;
    DWORD status = 0;
    PVOID completion = nullptr;
    DiskSegment segments[count] = {};

    DiskRequest* request() { return reinterpret_cast<DiskRequest*>(this); }
};

static_assert(sizeof(DiskInfo) == 24);
static_assert(offsetof(DiskRequestWith<3>, segments) == offsetof(DiskRequest, segments) &&
              offsetof(DiskRequestWith<3>, completion) == offsetof(DiskRequest, completion));

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(DiskRequest, startSector) == 0x00);
static_assert(offsetof(DiskRequest, segmentCount) == 0x08);
static_assert(offsetof(DiskRequest, status) == 0x0C);
static_assert(offsetof(DiskRequest, segments) == 0x14);
static_assert(sizeof(DiskSegment) == 8 && offsetof(DiskSegment, length) == 4);
#endif
