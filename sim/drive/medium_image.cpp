#include "medium_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "task_file.h"

namespace sim {
namespace {

bool InRange(uint64_t offset, size_t length, uint32_t blocks) {
    const uint64_t size = uint64_t{blocks} * ata::kBlockSize;
    return offset <= size && length <= size - offset;
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
    : fd_(fd), blocks_(blocks), path_(std::move(path)) {}

MediumImage::~MediumImage() { ::close(fd_); }

bool MediumImage::Read(uint64_t offset, std::span<uint8_t> bytes) const {
    if (!InRange(offset, bytes.size(), blocks_)) return false;
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
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

}  // namespace sim
