#include "block_disk.h"

#include <cedevice.h>
#include <winbase.h>
#include <winerror.h>

namespace platform::fat {
namespace {

// At most this many sectors per request: an odd count never makes a total that is a multiple
// of 64 KiB, which the drive's byte-count limit cannot express.
constexpr uint64_t kMaxRequestSectors = 1023;

DWORD MapFailure(DWORD code, DWORD error) {
    switch (error) {
    case ERROR_WRITE_PROTECT: return ERROR_WRITE_PROTECT;
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY:
    case ERROR_INVALID_HANDLE:  // the device was deregistered: the card is gone
        return ERROR_NOT_READY;
    default: return code == DISK_IOCTL_WRITE ? ERROR_WRITE_FAULT : ERROR_READ_FAULT;
    }
}

}  // namespace

BlockDisk::~BlockDisk() { Detach(); }

void BlockDisk::Detach() {
    if (device_ != nullptr && device_ != INVALID_HANDLE_VALUE) CloseHandle(device_);
    device_ = nullptr;
}

DWORD BlockDisk::GetInfo(DiskInfo& info) {
    if (device_ == nullptr) return ERROR_NOT_READY;
    info = {};
    if (!DeviceIoControl(device_, DISK_IOCTL_GETINFO, &info, sizeof info, nullptr, 0, nullptr,
                         nullptr)) {
        return MapFailure(DISK_IOCTL_READ, GetLastError());
    }
    return 0;
}

DWORD BlockDisk::Read(uint64_t sector, uint64_t count, uint8_t* buffer) {
    return Transfer(DISK_IOCTL_READ, sector, count, buffer);
}

DWORD BlockDisk::ReadWithTail(uint64_t sector, uint64_t count, uint8_t* buffer, uint8_t* tail) {
    return Transfer(DISK_IOCTL_READ, sector, count, buffer, tail);
}

DWORD BlockDisk::Write(uint64_t sector, uint64_t count, const uint8_t* buffer) {
    if (writeProtected_) return ERROR_WRITE_PROTECT;
    return Guarded(Transfer(DISK_IOCTL_WRITE, sector, count, const_cast<uint8_t*>(buffer)));
}

DWORD BlockDisk::WriteWithTail(uint64_t sector, uint64_t count, const uint8_t* buffer,
                               const uint8_t* tail) {
    if (writeProtected_) return ERROR_WRITE_PROTECT;
    return Guarded(Transfer(DISK_IOCTL_WRITE, sector, count, const_cast<uint8_t*>(buffer),
                            const_cast<uint8_t*>(tail)));
}

DWORD BlockDisk::Guarded(DWORD error) {
    if (error == ERROR_WRITE_PROTECT) writeProtected_ = true;
    return error;
}

DWORD BlockDisk::Transfer(DWORD code, uint64_t sector, uint64_t count, uint8_t* buffer,
                          uint8_t* tail) {
    uint64_t left = count + (tail != nullptr ? 1 : 0);
    while (left > 0) {
        if (device_ == nullptr) return ERROR_NOT_READY;
        if (sector > UINT32_MAX) return code == DISK_IOCTL_WRITE ? ERROR_WRITE_FAULT
                                                                 : ERROR_READ_FAULT;
        uint64_t take = left < kMaxRequestSectors ? left : kMaxRequestSectors;
        if ((take * sectorBytes_) % 65536 == 0) --take;
        const uint64_t fromBuffer = take < count ? take : count;
        DiskRequestWith<2> request;
        request.startSector = static_cast<DWORD>(sector);
        request.sectorCount = static_cast<DWORD>(take);
        request.segmentCount = 0;
        if (fromBuffer > 0) {
            request.segments[request.segmentCount++] = {buffer,
                                                        static_cast<DWORD>(fromBuffer * sectorBytes_)};
        }
        if (take > fromBuffer) request.segments[request.segmentCount++] = {tail, sectorBytes_};
        if (!DeviceIoControl(device_, code, request.request(), sizeof request, nullptr, 0, nullptr,
                             nullptr)) {
            const DWORD error = request.status != 0 ? request.status : GetLastError();
            return MapFailure(code, error);
        }
        sector += take;
        left -= take;
        count -= fromBuffer;
        buffer += fromBuffer * sectorBytes_;
    }
    return 0;
}

}  // namespace platform::fat
