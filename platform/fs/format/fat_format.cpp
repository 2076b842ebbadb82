// The format utility reaches the disk through DeviceIoControl alone: code 1 for the disk's
// shape, code 3 for every write, code 6 to tell the device its medium now holds a volume.
#include "fat_format.h"

#include <cedevice.h>
#include <cefiles.h>
#include <diskio.h>
#include <platform/fat_volume.h>
#include <winbase.h>
#include <winerror.h>

#include <algorithm>

#include "fat_format_records.h"

namespace platform::fat_format {
namespace {

// Requests stay below 64 KiB: the drive protocol cannot carry a multiple of 65536 bytes.
constexpr uint32_t kRequestBytes = 32 * 1024;

DWORD WriteError(DWORD driverError) {
    switch (driverError) {
    case ERROR_WRITE_PROTECT: return ERROR_WRITE_PROTECT;
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY: return ERROR_NOT_READY;
    default: return ERROR_WRITE_FAULT;
    }
}

DWORD ReadError(DWORD driverError) {
    switch (driverError) {
    case ERROR_WRITE_PROTECT: return ERROR_WRITE_PROTECT;
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY: return ERROR_NOT_READY;
    default: return ERROR_READ_FAULT;
    }
}

class DiskWriter {
public:
    DiskWriter(HANDLE device, uint32_t bytesPerSector)
        : device_(device), bps_(bytesPerSector), zeros_(kRequestBytes, 0) {}

    // One sector's bytes (or several whole sectors) at `sector`.
    DWORD Write(uint32_t sector, const Sector& bytes) {
        return Request(sector, const_cast<uint8_t*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    }

    DWORD Zero(uint32_t sector, uint32_t count) {
        const uint32_t perRequest = kRequestBytes / bps_;
        while (count > 0) {
            const uint32_t now = std::min(count, perRequest);
            if (const DWORD error = Request(sector, zeros_.data(), now * bps_)) return error;
            sector += now;
            count -= now;
        }
        return ERROR_SUCCESS;
    }

private:
    DWORD Request(uint32_t sector, uint8_t* buffer, DWORD bytes) {
        DiskRequestWith<1> request;
        request.startSector = sector;
        request.sectorCount = bytes / bps_;
        request.segments[0] = {buffer, bytes};
        if (DeviceIoControl(device_, DISK_IOCTL_WRITE, request.request(), sizeof request, nullptr, 0,
                            nullptr, nullptr))
            return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        return WriteError(error != ERROR_SUCCESS ? error : request.status);
    }

    HANDLE device_;
    uint32_t bps_;
    Sector zeros_;
};

// A volume serial number from the clock, as DOS made one from the date and time.
uint32_t VolumeId() {
    FILETIME now{};
    SYSTEMTIME utc{};
    GetSystemTime(&utc);
    SystemTimeToFileTime(&utc, &now);
    const uint64_t ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    return static_cast<uint32_t>(ticks / 10000) ^ static_cast<uint32_t>(ticks >> 32);
}

FatStamp LocalStamp() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    if (t.wYear < 1980 || t.wYear > 2107) return {};
    return {static_cast<uint16_t>(((t.wYear - 1980) << 9) | (t.wMonth << 5) | t.wDay),
            static_cast<uint16_t>((t.wHour << 11) | (t.wMinute << 5) | (t.wSecond / 2))};
}

// Sector 0 goes first as zeros and last as the new boot sector, so a format cut short leaves
// no volume rather than the old boot sector over half-cleared tables.
DWORD WriteVolume(DiskWriter& disk, const FatLayout& layout, const std::string& label) {
    if (const DWORD error = disk.Zero(0, 1)) return error;
    const Sector firstFat = FirstFatSector(layout);
    for (uint32_t fat = 0; fat < layout.fatCount; ++fat) {
        const uint32_t start = layout.reservedSectors + fat * layout.fatSectors;
        if (const DWORD error = disk.Write(start, firstFat)) return error;
        if (const DWORD error = disk.Zero(start + 1, layout.fatSectors - 1)) return error;
    }
    const uint32_t rootStart = layout.FirstRootSector();
    const uint32_t rootSectors =
        layout.type == FatType::Fat32 ? layout.sectorsPerCluster : layout.RootSectors();
    if (const DWORD error = disk.Write(rootStart, FirstRootSector(layout, label, LocalStamp())))
        return error;
    if (const DWORD error = disk.Zero(rootStart + 1, rootSectors - 1)) return error;

    if (const DWORD error = disk.Zero(1, layout.reservedSectors - 1)) return error;
    const Sector boot = BootSector(layout, label, VolumeId());
    if (layout.type == FatType::Fat32) {
        const Sector info = FsInfoSector(layout);
        if (const DWORD error = disk.Write(layout.fsInfoSector, info)) return error;
        if (layout.backupBootSector != 0) {
            if (const DWORD error = disk.Write(layout.backupBootSector, boot)) return error;
            if (const DWORD error = disk.Write(layout.backupBootSector + layout.fsInfoSector, info))
                return error;
        }
    }
    return disk.Write(0, boot);
}

DWORD ReadShape(HANDLE device, DiskShape& shape) {
    DiskInfo info{};
    if (!DeviceIoControl(device, DISK_IOCTL_GETINFO, &info, sizeof info, nullptr, 0, nullptr, nullptr))
        return ReadError(GetLastError());
    if (info.totalSectors == 0) return ERROR_NOT_READY;  // no medium known
    shape = {info.totalSectors, info.bytesPerSector, info.heads, info.sectorsPerTrack};
    return ERROR_SUCCESS;
}

DWORD FormatOpenDisk(HANDLE device, std::u16string_view label, FatTypeChoice choice) {
    const std::optional<std::string> stored = VolumeLabel(label);
    if (!stored) return ERROR_INVALID_NAME;
    DiskShape shape;
    if (const DWORD error = ReadShape(device, shape)) return error;
    const std::optional<FatLayout> layout = ChooseFatLayout(shape, choice);
    if (!layout) return ERROR_INVALID_PARAMETER;
    DiskWriter disk(device, layout->bytesPerSector);
    if (const DWORD error = WriteVolume(disk, *layout, *stored)) return error;
    // A device that keeps no unformatted flag refuses code 6; the volume is written either way.
    DiskInfo unused{};
    DeviceIoControl(device, DISK_IOCTL_FORMAT_MEDIA, &unused, sizeof unused, nullptr, 0, nullptr, nullptr);
    return ERROR_SUCCESS;
}

}  // namespace

DWORD FormatDisk(std::u16string_view diskDevice, std::u16string_view label, FatTypeChoice choice) {
    const std::u16string name(diskDevice);
    HANDLE device = CreateFile(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return GetLastError();
    const DWORD error = FormatOpenDisk(device, label, choice);
    CloseHandle(device);
    return error;
}

}  // namespace platform::fat_format

namespace platform {

DWORD FormatFatVolume(std::u16string_view diskDevice, std::u16string_view label) {
    // A mounted volume keeps its tables and folders in memory and would write them over the
    // fresh ones.
    if (FatDeviceMounted(diskDevice)) return ERROR_SHARING_VIOLATION;
    return fat_format::FormatDisk(diskDevice, label, fat_format::FatTypeChoice::BySize);
}

}  // namespace platform
