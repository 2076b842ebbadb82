// A removable medium: an image file of 512-byte blocks on the host. The drive reads and writes
// it in place, so bytes written through the drive can be checked in the file.
//
// A file system rewrites a few blocks over and over (its tables, the folder it fills), one host
// call each. A page whose blocks have been rewritten a few times is therefore reached through a
// shared mapping of the image from then on: the same page cache as pread/pwrite, so the file and
// other readers see every byte at once and a crash of the process loses nothing a pwrite keeps.
// Only where rewriting a page that already holds data needs no new space on the host (tmpfs,
// ext4). A page that another program has cut off the file faults (SIGBUS); that copy then goes
// through pread or pwrite as before (bus_error_guard.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

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
    void MapRewrittenPages();
    bool Mapped(uint64_t offset, size_t length) const;
    void NoteWritten(uint64_t offset, size_t length);

    int fd_;
    uint32_t blocks_;
    std::filesystem::path path_;
    uint8_t* map_ = nullptr;            // null: every byte goes through pread/pwrite
    std::vector<bool> writtenBlocks_;   // written through pwrite once
    std::vector<uint8_t> pageRewrites_; // a page is reached through map_ once it has enough
};

}  // namespace sim
