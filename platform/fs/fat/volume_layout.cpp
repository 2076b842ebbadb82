#include "volume_layout.h"

#include "fat_bytes.h"

#include <winerror.h>

namespace platform::fat {
namespace {

constexpr DWORD kUnrecognized = ERROR_UNRECOGNIZED_MEDIA;
constexpr uint32_t kMaxFat12Clusters = 4084;
constexpr uint32_t kMaxFat16Clusters = 65524;
constexpr uint32_t kMaxFat32Clusters = 0x0FFFFFF5 - 2;

bool PowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

DWORD Refuse(std::string& reason, const char* why) {
    reason = why;
    return kUnrecognized;
}

// Bits per FAT entry of each type, for checking that the FAT can hold every cluster.
uint64_t FatBytesNeeded(FatType type, uint32_t clusters) {
    const uint64_t entries = uint64_t{clusters} + kFirstCluster;
    switch (type) {
    case FatType::Fat12: return (entries * 3 + 1) / 2;
    case FatType::Fat16: return entries * 2;
    default: return entries * 4;
    }
}

}  // namespace

DWORD ParseBootSector(const uint8_t* s, uint64_t volumeStart, uint64_t diskSectors,
                      uint32_t diskSectorBytes, VolumeLayout& l, std::string& reason) {
    l = {};
    l.volumeStart = volumeStart;
    l.bytesPerSector = Load16(s + BPB_BytsPerSec);
    if (!PowerOfTwo(l.bytesPerSector) || l.bytesPerSector < 512 || l.bytesPerSector > 4096) {
        return Refuse(reason, "sector size is not a power of two from 512 to 4096");
    }
    if (l.bytesPerSector != diskSectorBytes) {
        return Refuse(reason, "sector size differs from the disk's");
    }
    l.sectorsPerCluster = s[BPB_SecPerClus];
    if (!PowerOfTwo(l.sectorsPerCluster)) {
        return Refuse(reason, "sectors per cluster is not a power of two");
    }
    const uint32_t reserved = Load16(s + BPB_RsvdSecCnt);
    l.fatCount = s[BPB_NumFATs];
    l.rootEntries = Load16(s + BPB_RootEntCnt);
    const uint32_t total16 = Load16(s + BPB_TotSec16);
    const uint32_t total = total16 != 0 ? total16 : Load32(s + BPB_TotSec32);
    const uint32_t fat16Size = Load16(s + BPB_FATSz16);
    const bool fat32Shape = fat16Size == 0;
    l.sectorsPerFat = fat32Shape ? Load32(s + BPB_FATSz32) : fat16Size;
    if (reserved == 0) return Refuse(reason, "no reserved sectors");
    if (l.fatCount == 0) return Refuse(reason, "no FAT");
    if (l.sectorsPerFat == 0) return Refuse(reason, "FAT of zero sectors");
    if (total == 0) return Refuse(reason, "volume of zero sectors");
    if (volumeStart + total > diskSectors) return Refuse(reason, "volume reaches beyond the disk");
    if (fat32Shape != (l.rootEntries == 0)) {
        return Refuse(reason, "root folder size contradicts the FAT type");
    }
    l.rootSectors = static_cast<uint32_t>(
        (uint64_t{l.rootEntries} * kDirEntryBytes + l.bytesPerSector - 1) / l.bytesPerSector);
    const uint64_t metaSectors = uint64_t{reserved} + uint64_t{l.fatCount} * l.sectorsPerFat +
                                 l.rootSectors;
    if (metaSectors >= total) return Refuse(reason, "FAT or root folder reaches beyond the volume");
    const uint64_t clusters = (total - metaSectors) / l.sectorsPerCluster;
    if (clusters == 0 || clusters > kMaxFat32Clusters) return Refuse(reason, "no usable clusters");
    l.clusterCount = static_cast<uint32_t>(clusters);
    l.type = l.clusterCount <= kMaxFat12Clusters   ? FatType::Fat12
             : l.clusterCount <= kMaxFat16Clusters ? FatType::Fat16
                                                   : FatType::Fat32;
    if ((l.type == FatType::Fat32) != fat32Shape) {
        return Refuse(reason, "cluster count contradicts the FAT type");
    }
    if (FatBytesNeeded(l.type, l.clusterCount) > uint64_t{l.sectorsPerFat} * l.bytesPerSector) {
        return Refuse(reason, "FAT too small for the clusters");
    }
    l.fatStart = volumeStart + reserved;
    l.rootStart = l.fatStart + uint64_t{l.fatCount} * l.sectorsPerFat;
    l.dataStart = l.rootStart + l.rootSectors;
    if (l.type == FatType::Fat32) {
        l.rootCluster = Load32(s + BPB_RootClus);
        if (!l.IsCluster(l.rootCluster)) return Refuse(reason, "root cluster outside the volume");
        const uint32_t fsInfo = Load16(s + BPB_FSInfo);
        if (fsInfo != 0 && fsInfo != 0xFFFF && fsInfo < reserved) l.fsInfoSector = volumeStart + fsInfo;
    }
    return 0;
}

bool FindFatPartition(const uint8_t* s, uint64_t diskSectors, uint64_t& start) {
    if (s[BS_55AA] != 0x55 || s[BS_55AA + 1] != 0xAA) return false;
    for (unsigned i = 0; i < 4; ++i) {
        const uint8_t* entry = s + MBR_Table + i * MBR_EntryBytes;
        switch (entry[PTE_System]) {
        case 0x01: case 0x04: case 0x06: case 0x0B: case 0x0C: case 0x0E: break;
        default: continue;
        }
        const uint32_t first = Load32(entry + PTE_StartLba);
        if (first == 0 || first >= diskSectors) continue;
        start = first;
        return true;
    }
    return false;
}

}  // namespace platform::fat
