#include "medium_image.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "bus_error_guard.h"
#include "task_file.h"

namespace sim {
namespace {

bool InRange(uint64_t offset, size_t length, uint32_t blocks) {
    const uint64_t size = uint64_t{blocks} * ata::kBlockSize;
    return offset <= size && length <= size - offset;
}

constexpr uint64_t kPageSize = 4096;
// A page's first store through the mapping costs a page fault, about eight pwrites on this
// kind of virtual machine: only a page rewritten this often is likely to repay it.
constexpr uint8_t kRewritesBeforeMapping = 4;
// The bookkeeping is a bit a block; a 32-bit process keeps its address space for other things.
constexpr uint64_t kLargestMappedImage =
    sizeof(void*) >= 8 ? uint64_t{4} << 30 : uint64_t{256} << 20;

// Host file systems where storing into a page that already holds data needs no new space (a
// block as large as the page, so no part of it can be a hole).
bool RewritesInPlace(int fd) {
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0) return false;
    return (info.f_type == TMPFS_MAGIC || info.f_type == EXT4_SUPER_MAGIC) &&
           static_cast<uint64_t>(info.f_bsize) >= kPageSize;
}

}  // namespace

bool CreateBlankImage(const std::filesystem::path& path, uint32_t blocks) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool sized = ::ftruncate(fd, static_cast<off_t>(uint64_t{blocks} * ata::kBlockSize)) == 0;
    return ::close(fd) == 0 && sized;
}

std::unique_ptr<MediumImage> MediumImage::Open(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < static_cast<off_t>(ata::kBlockSize)) {
        ::close(fd);
        return nullptr;
    }
    const uint64_t blocks = static_cast<uint64_t>(info.st_size) / ata::kBlockSize;
    return std::unique_ptr<MediumImage>(new MediumImage(
        fd, static_cast<uint32_t>(std::min<uint64_t>(blocks, UINT32_MAX)), path));
}

MediumImage::MediumImage(int fd, uint32_t blocks, std::filesystem::path path)
    : fd_(fd), blocks_(blocks), path_(std::move(path)) {
    MapRewrittenPages();
}

MediumImage::~MediumImage() {
    if (map_ != nullptr) ::munmap(map_, uint64_t{blocks_} * ata::kBlockSize);
    ::close(fd_);
}

void MediumImage::MapRewrittenPages() {
    const uint64_t size = uint64_t{blocks_} * ata::kBlockSize;
    if (size > kLargestMappedImage || !RewritesInPlace(fd_)) return;
    void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (map == MAP_FAILED) return;
    map_ = static_cast<uint8_t*>(map);
    writtenBlocks_.assign(blocks_, false);
    pageRewrites_.assign((size + kPageSize - 1) / kPageSize, 0);
}

bool MediumImage::Mapped(uint64_t offset, size_t length) const {
    if (map_ == nullptr || length == 0) return false;
    for (uint64_t page = offset / kPageSize; page <= (offset + length - 1) / kPageSize; ++page) {
        if (pageRewrites_[page] < kRewritesBeforeMapping) return false;
    }
    return true;
}

// Counts, once a write, the pages where the write rewrote a block written before; the first
// write of a block only marks it, so a file's data, written once, keeps going through pwrite.
void MediumImage::NoteWritten(uint64_t offset, size_t length) {
    if (map_ == nullptr || length == 0) return;
    uint64_t counted = UINT64_MAX;
    const uint64_t last = (offset + length - 1) / ata::kBlockSize;
    for (uint64_t block = offset / ata::kBlockSize; block <= last; ++block) {
        const uint64_t page = block * ata::kBlockSize / kPageSize;
        if (!writtenBlocks_[block]) {
            writtenBlocks_[block] = true;
        } else if (page != counted) {
            counted = page;
            if (pageRewrites_[page] < kRewritesBeforeMapping) ++pageRewrites_[page];
        }
    }
}

bool MediumImage::Read(uint64_t offset, std::span<uint8_t> bytes) const {
    if (!InRange(offset, bytes.size(), blocks_)) return false;
    // A mapped page the file no longer reaches (another program cut it short) reads as the
    // file does now, through pread.
    if (Mapped(offset, bytes.size()) &&
        CopyUnlessBusError(bytes.data(), map_ + offset, bytes.size())) {
        return true;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(fd_, bytes.data() + done, bytes.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) {  // the file shrank under us: what is missing reads as zeros
            std::fill(bytes.begin() + static_cast<ptrdiff_t>(done), bytes.end(), 0);
            return true;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

bool MediumImage::Write(uint64_t offset, std::span<const uint8_t> bytes) {
    if (!InRange(offset, bytes.size(), blocks_)) return false;
    // Likewise a store the mapping cannot take goes through pwrite, which lengthens the file.
    if (Mapped(offset, bytes.size()) &&
        CopyUnlessBusError(map_ + offset, bytes.data(), bytes.size())) {
        return true;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    NoteWritten(offset, bytes.size());
    return true;
}

}  // namespace sim
