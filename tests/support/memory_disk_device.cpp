#include "memory_disk_device.h"

#include <winbase.h>
#include <winerror.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace testing_support {
namespace {

constexpr DWORD_PTR kOpenContext = 1;

bool Matches(RequestKind want, RequestKind kind) {
    return want == RequestKind::Any || want == kind;
}

}  // namespace

MemoryDiskDevice::MemoryDiskDevice(DWORD totalSectors, DWORD bytesPerSector)
    : MemoryDiskDevice(totalSectors, bytesPerSector, -1) {}

MemoryDiskDevice::MemoryDiskDevice(DWORD totalSectors, DWORD bytesPerSector, int fd)
    : totalSectors_(totalSectors), bytesPerSector_(bytesPerSector), fd_(fd) {
    if (fd_ < 0) memory_.assign(uint64_t{totalSectors} * bytesPerSector, 0);
}

std::shared_ptr<MemoryDiskDevice> MemoryDiskDevice::OverImage(const std::filesystem::path& image,
                                                              DWORD bytesPerSector) {
    const int fd = ::open(image.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    const auto sectors = static_cast<DWORD>(size / bytesPerSector);
    return std::shared_ptr<MemoryDiskDevice>(new MemoryDiskDevice(sectors, bytesPerSector, fd));
}

MemoryDiskDevice::~MemoryDiskDevice() {
    if (fd_ >= 0) ::close(fd_);
}

HANDLE MemoryDiskDevice::Register(DWORD index, std::shared_ptr<MemoryDiskDevice> device) {
    return platform::RegisterInProcessDevice(u"DSK", index, std::move(device));
}

void MemoryDiskDevice::InjectFault(const DiskFault& fault) {
    std::lock_guard lock(mutex_);
    faults_.emplace_back(fault, 0);
}

void MemoryDiskDevice::ClearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

void MemoryDiskDevice::SetWriteProtected(bool on) {
    std::lock_guard lock(mutex_);
    writeProtected_ = on;
}

void MemoryDiskDevice::Vanish(DWORD error) {
    std::lock_guard lock(mutex_);
    vanished_ = error;
}

void MemoryDiskDevice::RecordWrites(bool on) {
    std::lock_guard lock(mutex_);
    recording_ = on;
    if (!on) writes_.clear();
}

std::vector<BlockWrite> MemoryDiskDevice::RecordedWrites() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

uint64_t MemoryDiskDevice::Requests(RequestKind kind) const {
    std::lock_guard lock(mutex_);
    switch (kind) {
    case RequestKind::Read: return reads_;
    case RequestKind::Write: return writesDone_;
    default: return reads_ + writesDone_;
    }
}

std::vector<uint8_t> MemoryDiskDevice::Bytes() const {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return memory_;
    std::vector<uint8_t> bytes(uint64_t{totalSectors_} * bytesPerSector_);
    if (::pread(fd_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        bytes.clear();
    }
    return bytes;
}

void MemoryDiskDevice::Poke(uint64_t offset, const void* bytes, size_t count) {
    std::lock_guard lock(mutex_);
    Move(true, offset, static_cast<uint8_t*>(const_cast<void*>(bytes)), count);
}

DWORD_PTR MemoryDiskDevice::Open(DWORD, DWORD) { return kOpenContext; }

BOOL MemoryDiskDevice::Close(DWORD_PTR) { return TRUE; }

BOOL MemoryDiskDevice::IoControl(DWORD_PTR, DWORD code, BYTE* in, DWORD inSize, BYTE*, DWORD,
                                 DWORD*) {
    DWORD error = 0;
    if (in == nullptr) {
        error = ERROR_INVALID_PARAMETER;
    } else if (code == DISK_IOCTL_GETINFO) {
        std::lock_guard lock(mutex_);
        if (vanished_ != 0) {
            error = vanished_;
        } else if (inSize < sizeof(DiskInfo)) {
            error = ERROR_INVALID_PARAMETER;
        } else {
            const DiskInfo info{totalSectors_, bytesPerSector_, 0, 0, 0, 0};
            std::memcpy(in, &info, sizeof info);
        }
    } else if (code == DISK_IOCTL_READ || code == DISK_IOCTL_WRITE) {
        auto* request = reinterpret_cast<DiskRequest*>(in);
        error = Transfer(code, *request);
        request->status = error;
    } else {
        error = ERROR_INVALID_PARAMETER;
    }
    if (error == 0) return TRUE;
    SetLastError(error);
    return FALSE;
}

// The limits the drive's library keeps: whole blocks within the disk, even segment lengths, a
// total that is not a multiple of 64 KiB and fewer than 65536 blocks.
DWORD MemoryDiskDevice::CheckRequest(const DiskRequest& request, uint64_t& bytes) const {
    bytes = 0;
    for (DWORD i = 0; i < request.segmentCount; ++i) {
        const DiskSegment& segment = request.segments[i];
        if (segment.buffer == nullptr || segment.length % 2 != 0) return ERROR_INVALID_PARAMETER;
        bytes += segment.length;
    }
    const uint64_t blocks = bytes / bytesPerSector_;
    if (bytes == 0 || bytes % bytesPerSector_ != 0 || bytes % 65536 == 0 || blocks >= 65536 ||
        request.startSector + blocks > totalSectors_) {
        return ERROR_INVALID_PARAMETER;
    }
    return 0;
}

std::optional<DWORD> MemoryDiskDevice::TakeFault(RequestKind kind) {
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        auto& [fault, seen] = *it;
        if (!Matches(fault.kind, kind)) continue;
        if (++seen < fault.nth) continue;
        const DWORD error = fault.error;
        if (fault.span == FaultSpan::ThatRequest) faults_.erase(it);
        return error;
    }
    return std::nullopt;
}

DWORD MemoryDiskDevice::Transfer(DWORD code, DiskRequest& request) {
    std::lock_guard lock(mutex_);
    const RequestKind kind = code == DISK_IOCTL_READ ? RequestKind::Read : RequestKind::Write;
    if (vanished_ != 0) return vanished_;
    uint64_t bytes = 0;
    if (DWORD error = CheckRequest(request, bytes); error != 0) return error;
    if (auto fault = TakeFault(kind)) return *fault;
    if (kind == RequestKind::Write && writeProtected_) return ERROR_WRITE_PROTECT;
    uint64_t offset = uint64_t{request.startSector} * bytesPerSector_;
    BlockWrite record{request.startSector, {}};
    for (DWORD i = 0; i < request.segmentCount; ++i) {
        const DiskSegment& segment = request.segments[i];
        Move(kind == RequestKind::Write, offset, segment.buffer, segment.length);
        if (recording_ && kind == RequestKind::Write) {
            record.bytes.insert(record.bytes.end(), segment.buffer,
                                segment.buffer + segment.length);
        }
        offset += segment.length;
    }
    if (kind == RequestKind::Read) {
        ++reads_;
    } else {
        ++writesDone_;
        if (recording_) writes_.push_back(std::move(record));
    }
    return 0;
}

void MemoryDiskDevice::Move(bool toDisk, uint64_t offset, uint8_t* buffer, size_t count) {
    if (fd_ < 0) {
        if (toDisk) {
            std::memcpy(memory_.data() + offset, buffer, count);
        } else {
            std::memcpy(buffer, memory_.data() + offset, count);
        }
        return;
    }
    const ssize_t moved = toDisk ? ::pwrite(fd_, buffer, count, static_cast<off_t>(offset))
                                 : ::pread(fd_, buffer, count, static_cast<off_t>(offset));
    if (moved != static_cast<ssize_t>(count) && !toDisk) std::memset(buffer, 0, count);
}

}  // namespace testing_support
