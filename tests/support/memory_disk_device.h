// A DSK block device for tests: answers the disk control codes 1 (get info), 2 (read) and
// 3 (write) over memory or an image file (so mkfs.fat and mtools can work on the same bytes),
// with switches that make it fail the way a drive does: an error on the Nth request, write
// protection, a card that vanished. It can record the block writes it took, in order, so a test
// can rebuild the medium as it stood after any prefix of them.
#pragma once

#include <diskio.h>
#include <platform/devices.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace testing_support {

enum class RequestKind { Any, Read, Write };
enum class FaultSpan { ThatRequest, FromThenOn };

struct DiskFault {
    RequestKind kind = RequestKind::Any;
    uint64_t nth = 1;  // 1 = the next request of that kind after the fault is set
    DWORD error = 29;
    FaultSpan span = FaultSpan::ThatRequest;
};

struct BlockWrite {
    DWORD startSector = 0;
    std::vector<uint8_t> bytes;
};

class MemoryDiskDevice final : public platform::StreamDevice {
public:
    // A zero-filled disk held in memory.
    MemoryDiskDevice(DWORD totalSectors, DWORD bytesPerSector = 512);
    // A disk whose blocks are the bytes of an existing image file; its size sets the sector
    // count. Writes reach the file at once.
    static std::shared_ptr<MemoryDiskDevice> OverImage(const std::filesystem::path& image,
                                                       DWORD bytesPerSector = 512);
    ~MemoryDiskDevice() override;

    // Registers the device as DSK<index>: and returns the handle for DeregisterDevice.
    static HANDLE Register(DWORD index, std::shared_ptr<MemoryDiskDevice> device);

    void InjectFault(const DiskFault& fault);
    void ClearFaults();
    void SetWriteProtected(bool on);
    // Every request then fails with error (20 no device, 21 not ready); 0 brings it back.
    void Vanish(DWORD error = 21);

    void RecordWrites(bool on);
    std::vector<BlockWrite> RecordedWrites() const;
    uint64_t Requests(RequestKind kind = RequestKind::Any) const;

    DWORD TotalSectors() const { return totalSectors_; }
    DWORD BytesPerSector() const { return bytesPerSector_; }
    // The whole medium as it stands, and a way to put bytes on it from outside (a test that
    // plants damage or a formatted image).
    std::vector<uint8_t> Bytes() const;
    void Poke(uint64_t offset, const void* bytes, size_t count);

    DWORD_PTR Open(DWORD access, DWORD shareMode) override;
    BOOL Close(DWORD_PTR open) override;
    BOOL IoControl(DWORD_PTR open, DWORD code, BYTE* in, DWORD inSize, BYTE* out,
                   DWORD outSize, DWORD* actualOut) override;

private:
    MemoryDiskDevice(DWORD totalSectors, DWORD bytesPerSector, int fd);
    DWORD Transfer(DWORD code, DiskRequest& request);
    DWORD CheckRequest(const DiskRequest& request, uint64_t& bytes) const;
    std::optional<DWORD> TakeFault(RequestKind kind);
    void Move(bool toDisk, uint64_t offset, uint8_t* buffer, size_t count);

    mutable std::mutex mutex_;
    const DWORD totalSectors_;
    const DWORD bytesPerSector_;
    const int fd_;  // -1 for a disk in memory
    std::vector<uint8_t> memory_;
    std::vector<std::pair<DiskFault, uint64_t>> faults_;  // with requests of its kind seen so far
    bool writeProtected_ = false;
    DWORD vanished_ = 0;
    bool recording_ = false;
    std::vector<BlockWrite> writes_;
    uint64_t reads_ = 0, writesDone_ = 0;
};

}  // namespace testing_support
