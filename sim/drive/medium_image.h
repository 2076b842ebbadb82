// A removable medium: an image file of 512-byte blocks on the host. The drive reads and writes
// it in place, so bytes written through the drive can be checked in the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace sim {

// About 40 MB: 153 cylinders of 16 heads and 32 sectors.
constexpr uint32_t kDefaultMediumBlocks = 153 * 16 * 32;

// Creates (or replaces) a blank image of the given number of blocks; sparse where the host
// allows. False when the file cannot be made.
bool CreateBlankImage(const std::filesystem::path& path, uint32_t blocks = kDefaultMediumBlocks);

class MediumImage {
public:
    // Opens an existing image for reading and writing; null when it cannot be opened or holds
    // less than one block. A size that is not a whole number of blocks loses the tail.
    static std::unique_ptr<MediumImage> Open(const std::filesystem::path& path);
    ~MediumImage();
    MediumImage(const MediumImage&) = delete;
    MediumImage& operator=(const MediumImage&) = delete;

    uint32_t blocks() const { return blocks_; }
    const std::filesystem::path& path() const { return path_; }

    // Byte-addressed so that a data burst need not end on a block boundary. False on a host
    // I/O error or when the range leaves the medium.
    bool Read(uint64_t offset, std::span<uint8_t> bytes) const;
    bool Write(uint64_t offset, std::span<const uint8_t> bytes);

private:
    MediumImage(int fd, uint32_t blocks, std::filesystem::path path);
    int fd_;
    uint32_t blocks_;
    std::filesystem::path path_;
};

}  // namespace sim
