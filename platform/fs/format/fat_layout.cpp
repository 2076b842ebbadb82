// The choice follows dosfstools 4.2's mkfs.fat on an image file: its made-up geometry, its
// floppy table, FAT32 from 512 MiB up, and its search that doubles the cluster size from 4
// sectors until FAT12 or FAT16 can address the disk, with every area aligned to the cluster.
#include "fat_layout.h"

#include <algorithm>

namespace platform::fat_format {
namespace {

constexpr uint32_t kMaxClusters12 = 4084;
// 4085 and 4086 clusters are read as FAT12 by some systems and FAT16 by others.
constexpr uint32_t kMinClusters16 = 4087;
constexpr uint32_t kMaxClusters16 = 65524;
constexpr uint32_t kMinClusters32 = 65525;
constexpr uint32_t kMaxClusters32 = 268435446;
constexpr uint64_t kFat32FromBytes = 512ull * 1024 * 1024;
constexpr uint32_t kUnalignedUpToSectors = 8192;
constexpr uint32_t kLargestClusterSectors = 128;

// What the disk's size alone decides before the cluster search.
struct Defaults {
    uint32_t heads = 0;
    uint32_t sectorsPerTrack = 0;
    uint8_t media = 0xF8;
    uint32_t clusterSectors = 4;
    uint32_t rootEntries = 512;
};

bool IsSectorSize(uint32_t bytes) {
    return bytes >= 512 && bytes <= 4096 && (bytes & (bytes - 1)) == 0;
}

uint32_t CeilDiv(uint64_t value, uint64_t by) { return static_cast<uint32_t>((value + by - 1) / by); }

// The SD card recommendation below 256 MiB (in 512-byte sectors), LBA-assist translation above.
void MadeUpGeometry(uint32_t totalSectors, Defaults& d) {
    if (totalSectors <= 524288) {
        d.heads = totalSectors <= 32768 ? 2 : totalSectors <= 65536 ? 4 : totalSectors <= 262144 ? 8 : 16;
        d.sectorsPerTrack = totalSectors <= 4096 ? 16 : 32;
        return;
    }
    constexpr uint32_t kTrackBlock = 63 * 1024;
    d.heads = totalSectors <= 16 * kTrackBlock   ? 16
              : totalSectors <= 32 * kTrackBlock ? 32
              : totalSectors <= 64 * kTrackBlock ? 64
              : totalSectors <= 128 * kTrackBlock ? 128
                                                  : 255;
    d.sectorsPerTrack = 63;
}

// The classic diskette sizes keep their historical parameters.
void FloppyParameters(uint64_t kib, Defaults& d) {
    struct Floppy { uint64_t kib; uint32_t spt; uint8_t media; uint32_t cluster; uint32_t root; };
    static constexpr Floppy kFloppies[] = {
        {360, 9, 0xFD, 2, 112},   {720, 9, 0xF9, 2, 112},   {1200, 15, 0xF9, 1, 224},
        {1440, 18, 0xF0, 1, 224}, {2880, 36, 0xF0, 2, 224},
    };
    for (const Floppy& f : kFloppies) {
        if (f.kib != kib) continue;
        d.heads = 2;
        d.sectorsPerTrack = f.spt;
        d.media = f.media;
        d.clusterSectors = f.cluster;
        d.rootEntries = f.root;
    }
}

Defaults DefaultsFor(const DiskShape& disk, uint64_t bytes) {
    Defaults d;
    MadeUpGeometry(disk.totalSectors, d);
    if (disk.heads > 0 && disk.sectorsPerTrack > 0) {
        d.heads = std::min<uint32_t>(disk.heads, 0xFFFF);
        d.sectorsPerTrack = std::min<uint32_t>(disk.sectorsPerTrack, 0xFFFF);
    }
    if (bytes % 1024 == 0) FloppyParameters(bytes / 1024, d);
    return d;
}

// The FAT32 cluster sizes of the PC's own format command, by volume size.
uint32_t Fat32ClusterSectors(uint32_t totalSectors) {
    if (totalSectors > 32u * 1024 * 1024 * 2) return 64;
    if (totalSectors > 16u * 1024 * 1024 * 2) return 32;
    if (totalSectors > 8u * 1024 * 1024 * 2) return 16;
    if (totalSectors > 260u * 1024 * 2) return 8;
    return 1;
}

// One candidate: its cluster count (0 when the type cannot address the disk) and FAT length.
struct Candidate {
    uint32_t clusters = 0;
    uint32_t fatSectors = 0;
};

class ClusterSearch {
public:
    ClusterSearch(uint32_t sectors, uint32_t bytesPerSector, uint32_t reserved, uint32_t rootSectors,
                  bool aligned, bool fat32Minimum)
        : sectors_(sectors), bps_(bytesPerSector), reserved_(reserved), rootSectors_(rootSectors),
          aligned_(aligned), fat32Minimum_(fat32Minimum) {}

    uint32_t Align(uint32_t value, uint32_t cluster) const {
        return aligned_ ? (value + cluster - 1) & ~(cluster - 1) : value;
    }

    // Clusters of entryBits-wide entries that fit in `data` sectors beside their FATs; the first
    // estimate shares the bytes between data and FAT, then the aligned FAT length fixes it.
    Candidate Try(FatType type, uint32_t cluster) const {
        const int64_t fat32Data = int64_t{sectors_} - Align(reserved_, cluster);
        const int64_t data = type == FatType::Fat32 ? fat32Data : fat32Data - Align(rootSectors_, cluster);
        if (data <= 0) return {};
        const uint64_t bytes = static_cast<uint64_t>(data) * bps_;
        const uint64_t clusterBytes = uint64_t{cluster} * bps_;
        uint64_t estimate = 0;
        uint32_t fat = 0;
        uint64_t addressable = 0;
        uint64_t limit = 0;
        switch (type) {
        case FatType::Fat12:
            estimate = 2 * (bytes + kFats * 3) / (2 * clusterBytes + kFats * 3);
            fat = Align(CeilDiv(((estimate + 2) * 3 + 1) >> 1, bps_), cluster);
            addressable = uint64_t{fat} * 2 * bps_ / 3;
            limit = kMaxClusters12;
            break;
        case FatType::Fat16:
            estimate = (bytes + kFats * 4) / (clusterBytes + kFats * 2);
            fat = Align(CeilDiv((estimate + 2) * 2, bps_), cluster);
            addressable = uint64_t{fat} * bps_ / 2;
            limit = kMaxClusters16;
            break;
        case FatType::Fat32:
            estimate = (bytes + kFats * 8) / (clusterBytes + kFats * 4);
            fat = Align(CeilDiv((estimate + 2) * 4, bps_), cluster);
            addressable = uint64_t{fat} * bps_ / 4;
            limit = kMaxClusters32;
            break;
        }
        const int64_t left = data - int64_t{kFats} * fat;
        if (left <= 0) return {};
        const uint64_t clusters = static_cast<uint64_t>(left) / cluster;
        if (clusters > std::min(addressable, limit)) return {};
        if (type == FatType::Fat16 && clusters < kMinClusters16) return {};
        if (type == FatType::Fat32 && fat32Minimum_ && clusters < kMinClusters32) return {};
        return {static_cast<uint32_t>(clusters), fat};
    }

    static constexpr uint32_t kFats = 2;

private:
    uint32_t sectors_, bps_, reserved_, rootSectors_;
    bool aligned_, fat32Minimum_;
};

bool Allows(FatTypeChoice choice, FatType type) {
    switch (choice) {
    case FatTypeChoice::BySize: return type != FatType::Fat32;
    case FatTypeChoice::Fat12: return type == FatType::Fat12;
    case FatTypeChoice::Fat16: return type == FatType::Fat16;
    case FatTypeChoice::Fat32: return type == FatType::Fat32;
    }
    return false;
}

// mkfs.fat places the FAT32 backup boot sector at 6 when the reserved area allows it.
uint32_t BackupBootSector(uint32_t reserved, uint32_t info) {
    if (reserved >= 7 && info != 6) return 6;
    if (reserved >= 3 + info && info != reserved - 2 && info != reserved - 1) return reserved - 2;
    if (reserved >= 3 && info != reserved - 1) return reserved - 1;
    return 0;
}

}  // namespace

std::optional<FatLayout> ChooseFatLayout(const DiskShape& disk, FatTypeChoice choice) {
    if (!IsSectorSize(disk.bytesPerSector) || disk.totalSectors == 0) return std::nullopt;
    const uint64_t bytes = uint64_t{disk.totalSectors} * disk.bytesPerSector;
    Defaults d = DefaultsFor(disk, bytes);
    // A FAT32 asked for by name may have fewer clusters than the type's usual minimum.
    const bool fat32Minimum = choice != FatTypeChoice::Fat32;
    if (choice == FatTypeChoice::BySize && bytes >= kFat32FromBytes) choice = FatTypeChoice::Fat32;
    if (choice == FatTypeChoice::Fat32) d.clusterSectors = Fat32ClusterSectors(disk.totalSectors);

    FatLayout layout;
    layout.bytesPerSector = disk.bytesPerSector;
    layout.heads = static_cast<uint16_t>(d.heads);
    layout.sectorsPerTrack = static_cast<uint16_t>(d.sectorsPerTrack);
    layout.media = d.media;
    layout.driveNumber = d.media == 0xF8 ? 0x80 : 0x00;
    layout.fatCount = ClusterSearch::kFats;
    // Whole tracks only, as DOS and mtools expect; tiny volumes are not aligned at all.
    layout.totalSectors = disk.totalSectors / d.sectorsPerTrack * d.sectorsPerTrack;
    const bool aligned = layout.totalSectors > kUnalignedUpToSectors;
    const uint32_t reserved = choice == FatTypeChoice::Fat32 ? 32 : 1;
    const uint32_t rootSectors = CeilDiv(uint64_t{d.rootEntries} * 32, disk.bytesPerSector);
    const ClusterSearch search(layout.totalSectors, disk.bytesPerSector, reserved, rootSectors, aligned,
                               fat32Minimum);

    Candidate chosen;
    FatType type = FatType::Fat12;
    for (uint32_t cluster = d.clusterSectors; cluster <= kLargestClusterSectors; cluster <<= 1) {
        const Candidate fat12 = Allows(choice, FatType::Fat12) ? search.Try(FatType::Fat12, cluster) : Candidate{};
        const Candidate fat16 = Allows(choice, FatType::Fat16) ? search.Try(FatType::Fat16, cluster) : Candidate{};
        const Candidate fat32 = Allows(choice, FatType::Fat32) ? search.Try(FatType::Fat32, cluster) : Candidate{};
        if (fat12.clusters == 0 && fat16.clusters == 0 && fat32.clusters == 0) continue;
        // With both small types possible the one with more clusters wins, as mkfs.fat picks.
        if (fat32.clusters) type = FatType::Fat32, chosen = fat32;
        else if (fat16.clusters > fat12.clusters) type = FatType::Fat16, chosen = fat16;
        else type = FatType::Fat12, chosen = fat12;
        layout.sectorsPerCluster = cluster;
        break;
    }
    if (chosen.clusters == 0) return std::nullopt;

    layout.type = type;
    layout.clusterCount = chosen.clusters;
    layout.fatSectors = chosen.fatSectors;
    layout.reservedSectors = search.Align(reserved, layout.sectorsPerCluster);
    layout.rootEntries = type == FatType::Fat32 ? 0
                         : aligned ? search.Align(rootSectors, layout.sectorsPerCluster) * (disk.bytesPerSector / 32)
                                   : d.rootEntries;
    if (type == FatType::Fat32)
        layout.backupBootSector = BackupBootSector(layout.reservedSectors, layout.fsInfoSector);
    // mkfs.fat wants room for at least 32 KiB of data behind the tables.
    const uint64_t dataStartBytes = uint64_t{layout.FirstDataSector()} * disk.bytesPerSector;
    if (bytes / 1024 < (dataStartBytes + 1023) / 1024 + 32) return std::nullopt;
    return layout;
}

}  // namespace platform::fat_format
