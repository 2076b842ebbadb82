// The file allocation table, held in memory whole (it is a few hundred KiB for the media we
// meet) with the sectors changed since the last flush marked, so a flush writes just those, to
// every FAT copy, in as few requests as runs allow. Also keeps the free-cluster count and, on
// FAT32, the FSInfo sector that records it.
#pragma once

#include "block_disk.h"
#include "volume_layout.h"

#include <vector>

namespace platform::fat {

// A run of consecutive clusters of one chain.
struct ClusterRun {
    uint32_t first = 0;
    uint32_t count = 0;
};
using ClusterRuns = std::vector<ClusterRun>;

uint64_t RunsClusters(const ClusterRuns& runs);

class FatTable {
public:
    [[nodiscard]] DWORD Load(BlockDisk& disk, const VolumeLayout& layout);

    // The clusters of the chain from first, in order. A chain that loops, leaves the volume,
    // joins another chain or is longer than maxClusters is damaged: 1392.
    [[nodiscard]] DWORD Chain(uint32_t first, uint64_t maxClusters, ClusterRuns& runs) const;
    // Takes count free clusters, linked after tail (0: a new chain), the last marked as the
    // end. 112 when fewer are free; nothing changes then.
    [[nodiscard]] DWORD Extend(uint32_t tail, uint32_t count, ClusterRuns& added);
    // Frees the clusters from the keep-th (0-based) on; marks the one before as the end.
    void Truncate(const ClusterRuns& runs, uint64_t keep);
    uint32_t FreeCount() const { return freeCount_; }

    // Writes the changed sectors to every FAT copy and the free count to FSInfo.
    [[nodiscard]] DWORD Flush(BlockDisk& disk);
    bool Dirty() const { return dirtyCount_ != 0 || fsInfoDirty_; }

private:
    uint32_t Get(uint32_t cluster) const;
    void Set(uint32_t cluster, uint32_t value);
    uint32_t EndMark() const;
    bool IsEnd(uint32_t value) const;
    void MarkDirty(uint64_t byteOffset);
    [[nodiscard]] DWORD WriteFsInfo(BlockDisk& disk);

    VolumeLayout layout_;
    std::vector<uint8_t> bytes_;
    std::vector<uint8_t> predecessors_;  // per cluster, how many entries point to it (saturating)
    std::vector<bool> dirty_;            // per FAT sector
    uint32_t dirtyCount_ = 0;
    uint32_t freeCount_ = 0;
    uint32_t nextFree_ = kFirstCluster;
    std::vector<uint8_t> fsInfo_;        // the FSInfo sector when it is valid
    bool fsInfoDirty_ = false;
};

}  // namespace platform::fat
