// Where a FAT volume's parts lie on the disk, read from its boot sector (behind an MBR or not)
// and checked for sense before anything else touches the medium.
#pragma once

#include <windef.h>

#include <cstdint>
#include <string>

namespace platform::fat {

enum class FatType { Fat12, Fat16, Fat32 };

inline constexpr uint32_t kFirstCluster = 2;

struct VolumeLayout {
    FatType type = FatType::Fat16;
    uint32_t bytesPerSector = 0;
    uint32_t sectorsPerCluster = 0;
    uint32_t fatCount = 0;
    uint32_t sectorsPerFat = 0;
    uint32_t rootEntries = 0;     // fixed root of FAT12/16
    uint32_t clusterCount = 0;    // data clusters: numbered 2 .. clusterCount + 1
    uint32_t rootCluster = 0;     // FAT32
    // Absolute sector numbers on the disk.
    uint64_t volumeStart = 0;
    uint64_t fatStart = 0;
    uint64_t rootStart = 0;
    uint32_t rootSectors = 0;
    uint64_t dataStart = 0;
    uint64_t fsInfoSector = 0;    // 0 when the volume has none

    uint32_t ClusterBytes() const { return bytesPerSector * sectorsPerCluster; }
    uint32_t LastCluster() const { return clusterCount + 1; }
    bool IsCluster(uint32_t cluster) const {
        return cluster >= kFirstCluster && cluster <= LastCluster();
    }
    uint64_t ClusterSector(uint32_t cluster) const {
        return dataStart + uint64_t{cluster - kFirstCluster} * sectorsPerCluster;
    }
};

// Reads the layout from the boot sector at volumeStart. A layout that does not make sense
// fails with 1785 (unrecognised medium) and says why in reason.
[[nodiscard]] DWORD ParseBootSector(const uint8_t* sector, uint64_t volumeStart,
                                    uint64_t diskSectors, uint32_t diskSectorBytes,
                                    VolumeLayout& layout, std::string& reason);
// The first sector of the first FAT partition of an MBR, or false when sector 0 is no MBR.
bool FindFatPartition(const uint8_t* sector0, uint64_t diskSectors, uint64_t& start);

}  // namespace platform::fat
