// FAT images as the PC makes them: mkfs.fat over an image file, unpartitioned or as the first
// partition behind an MBR whose entry is written here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "pc_tools.h"

namespace fat_interop {

struct ImageKind {
    const char* name;
    uint64_t kib;
    const char* mkfsOptions;
    uint32_t partitionStart;  // in 512-byte sectors; 0 = no MBR
};

inline constexpr ImageKind kFloppy12{"FAT12 floppy", 1440, "", 0};
inline constexpr ImageKind kMedium16{"FAT16 drive medium", 40960, "", 0};
inline constexpr ImageKind kVolume32{"FAT32", 65536, "-F 32", 0};
inline constexpr ImageKind kPartitioned16{"FAT16 behind an MBR", 40960, "", 2048};

inline void PrintTo(const ImageKind& kind, std::ostream* out) { *out << kind.name; }

// A classic MBR with one partition entry from `start` to the end of the disk.
inline void WriteMbr(const std::filesystem::path& image, uint32_t start, uint32_t sectors) {
    uint8_t mbr[512] = {};
    uint8_t* entry = mbr + 446;
    entry[0] = 0x00;                           // not active
    entry[1] = 0xFE, entry[2] = 0xFF, entry[3] = 0xFF;  // CHS beyond reach: LBA only
    entry[4] = 0x0E;                           // FAT16, LBA
    entry[5] = 0xFE, entry[6] = 0xFF, entry[7] = 0xFF;
    for (int i = 0; i < 4; ++i) {
        entry[8 + i] = static_cast<uint8_t>(start >> (8 * i));
        entry[12 + i] = static_cast<uint8_t>(sectors >> (8 * i));
    }
    mbr[510] = 0x55, mbr[511] = 0xAA;
    std::fstream out(image, std::ios::binary | std::ios::in | std::ios::out);
    out.write(reinterpret_cast<const char*>(mbr), sizeof mbr);
}

// Makes the image; returns the mtools drive argument for it (with the partition's offset).
inline std::string MakeImage(const ImageKind& kind, const std::filesystem::path& image) {
    MakeSparseImage(image, kind.kib * 1024);
    std::string command = std::string("mkfs.fat ") + kind.mkfsOptions + " " + Quoted(image.string());
    if (kind.partitionStart != 0) {
        const uint64_t blocks = kind.kib - kind.partitionStart / 2;
        command = std::string("mkfs.fat ") + kind.mkfsOptions + " -h " + std::to_string(kind.partitionStart) + " --offset=" +
                  std::to_string(kind.partitionStart) + " " + Quoted(image.string()) + " " + std::to_string(blocks);
    }
    const ToolRun made = RunTool(command);
    EXPECT_EQ(made.exitCode, 0) << made.output;
    if (kind.partitionStart == 0) return Quoted(image.string());
    WriteMbr(image, kind.partitionStart, static_cast<uint32_t>(kind.kib * 2 - kind.partitionStart));
    return Quoted(image.string() + "@@" + std::to_string(uint64_t{kind.partitionStart} * 512));
}

}  // namespace fat_interop
