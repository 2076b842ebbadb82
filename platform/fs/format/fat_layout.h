// The shape of a fresh FAT volume: FAT type, cluster size and the areas' sizes, chosen for a
// disk the way mkfs.fat (dosfstools 4.2) chooses them, so a volume formatted here looks to any
// PC tool like one that mkfs.fat made on an image of the same size.
#pragma once

#include <cstdint>
#include <optional>

namespace platform::fat_format {

enum class FatType : uint8_t { Fat12 = 12, Fat16 = 16, Fat32 = 32 };
enum class FatTypeChoice : uint8_t { BySize, Fat12, Fat16, Fat32 };

// What the disk-information record tells about the medium. A geometry of 0 heads means the
// device has none (packet media), and the volume gets mkfs.fat's made-up one.
struct DiskShape {
    uint32_t totalSectors = 0;
    uint32_t bytesPerSector = 512;
    uint32_t heads = 0;
    uint32_t sectorsPerTrack = 0;
};

struct FatLayout {
    FatType type = FatType::Fat16;
    uint32_t bytesPerSector = 512;
    uint32_t sectorsPerCluster = 1;
    uint32_t reservedSectors = 1;
    uint32_t fatCount = 2;
    uint32_t rootEntries = 0;  // 0 on FAT32, whose root folder is a cluster chain
    uint32_t fatSectors = 0;
    uint32_t totalSectors = 0;  // the disk's, cut to whole tracks
    uint32_t clusterCount = 0;
    uint8_t media = 0xF8;
    uint8_t driveNumber = 0x80;
    uint16_t heads = 0;
    uint16_t sectorsPerTrack = 0;
    // FAT32 only
    uint32_t rootCluster = 2;
    uint32_t fsInfoSector = 1;
    uint32_t backupBootSector = 6;

    uint32_t RootSectors() const { return (rootEntries * 32 + bytesPerSector - 1) / bytesPerSector; }
    uint32_t FirstRootSector() const { return reservedSectors + fatCount * fatSectors; }
    uint32_t FirstDataSector() const { return FirstRootSector() + RootSectors(); }
};

// The layout for the disk, or nothing when no FAT volume of that type fits on it (too small,
// too large, a sector size that is not a power of two from 512 to 4096).
std::optional<FatLayout> ChooseFatLayout(const DiskShape& disk,
                                         FatTypeChoice choice = FatTypeChoice::BySize);

}  // namespace platform::fat_format
