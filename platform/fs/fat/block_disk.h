// A DSK device as the FAT volume sees it: whole sectors read and written through
// DeviceIoControl with the scatter/gather disk request, split into requests the drive can carry,
// and the device's failures turned into the file system's errors.
#pragma once

#include <diskio.h>

#include <atomic>
#include <cstdint>

namespace platform::fat {

class BlockDisk {
public:
    explicit BlockDisk(HANDLE device) : device_(device) {}
    ~BlockDisk();
    BlockDisk(const BlockDisk&) = delete;
    BlockDisk& operator=(const BlockDisk&) = delete;

    [[nodiscard]] DWORD GetInfo(DiskInfo& info);
    void SetSectorBytes(DWORD bytes) { sectorBytes_ = bytes; }
    DWORD SectorBytes() const { return sectorBytes_; }

    [[nodiscard]] DWORD Read(uint64_t sector, uint64_t count, uint8_t* buffer);
    [[nodiscard]] DWORD Write(uint64_t sector, uint64_t count, const uint8_t* buffer);
    // count sectors at buffer and then one more at tail (a range's last, partial sector), in
    // the same request where the drive can carry both.
    [[nodiscard]] DWORD ReadWithTail(uint64_t sector, uint64_t count, uint8_t* buffer,
                                     uint8_t* tail);
    [[nodiscard]] DWORD WriteWithTail(uint64_t sector, uint64_t count, const uint8_t* buffer,
                                      const uint8_t* tail);

    // Once the medium has refused a write as protected, every change fails with 19 at once.
    bool WriteProtected() const { return writeProtected_; }
    // Closes the device; later requests fail with 21 (the volume was unmounted).
    void Detach();

private:
    [[nodiscard]] DWORD Guarded(DWORD error);
    [[nodiscard]] DWORD Transfer(DWORD code, uint64_t sector, uint64_t count, uint8_t* buffer,
                                 uint8_t* tail = nullptr);

    HANDLE device_;
    DWORD sectorBytes_ = 512;
    std::atomic<bool> writeProtected_{false};
};

}  // namespace platform::fat
