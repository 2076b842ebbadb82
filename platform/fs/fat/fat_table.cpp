#include "fat_table.h"

#include "fat_bytes.h"

#include <winerror.h>

namespace platform::fat {
namespace {

constexpr DWORD kCorrupt = ERROR_FILE_CORRUPT;
constexpr uint32_t kFat32Mask = 0x0FFFFFFF;

}  // namespace

uint64_t RunsClusters(const ClusterRuns& runs) {
    uint64_t total = 0;
    for (const auto& run : runs) total += run.count;
    return total;
}

DWORD FatTable::Load(BlockDisk& disk, const VolumeLayout& layout) {
    layout_ = layout;
    bytes_.assign(uint64_t{layout.sectorsPerFat} * layout.bytesPerSector, 0);
    if (DWORD error = disk.Read(layout.fatStart, layout.sectorsPerFat, bytes_.data()); error != 0) {
        return error;
    }
    dirty_.assign(layout.sectorsPerFat, false);
    predecessors_.assign(uint64_t{layout.LastCluster()} + 1, 0);
    freeCount_ = 0;
    for (uint32_t c = kFirstCluster; c <= layout.LastCluster(); ++c) {
        const uint32_t next = Get(c);
        if (next == 0) {
            ++freeCount_;
        } else if (layout.IsCluster(next) && predecessors_[next] < 255) {
            ++predecessors_[next];
        }
    }
    if (layout.fsInfoSector != 0) {
        fsInfo_.assign(layout.bytesPerSector, 0);
        if (disk.Read(layout.fsInfoSector, 1, fsInfo_.data()) != 0 ||
            Load32(&fsInfo_[FSI_LeadSig]) != kFsInfoLead ||
            Load32(&fsInfo_[FSI_StrucSig]) != kFsInfoStruct ||
            Load32(&fsInfo_[FSI_TrailSig]) != kFsInfoTrail) {
            fsInfo_.clear();
        } else {
            const uint32_t hint = Load32(&fsInfo_[FSI_Nxt_Free]);
            if (layout.IsCluster(hint)) nextFree_ = hint;
            fsInfoDirty_ = Load32(&fsInfo_[FSI_Free_Count]) != freeCount_;
        }
    }
    return 0;
}

uint32_t FatTable::Get(uint32_t c) const {
    switch (layout_.type) {
    case FatType::Fat12: {
        const uint32_t v = Load16(&bytes_[c + c / 2]);
        return (c & 1) ? v >> 4 : v & 0xFFF;
    }
    case FatType::Fat16: return Load16(&bytes_[uint64_t{c} * 2]);
    default: return Load32(&bytes_[uint64_t{c} * 4]) & kFat32Mask;
    }
}

void FatTable::Set(uint32_t c, uint32_t value) {
    const uint32_t old = Get(c);
    if (layout_.IsCluster(old) && predecessors_[old] > 0 && predecessors_[old] < 255) {
        --predecessors_[old];
    }
    if (layout_.IsCluster(value) && predecessors_[value] < 255) ++predecessors_[value];
    if (old == 0 && value != 0) --freeCount_;
    if (old != 0 && value == 0) ++freeCount_;
    if ((old == 0) != (value == 0)) fsInfoDirty_ = !fsInfo_.empty();
    uint64_t offset = 0;
    switch (layout_.type) {
    case FatType::Fat12: {
        offset = c + c / 2;
        uint32_t v = Load16(&bytes_[offset]);
        v = (c & 1) ? (v & 0x000F) | (value << 4) : (v & 0xF000) | (value & 0xFFF);
        Store16(&bytes_[offset], v);
        MarkDirty(offset + 1);
        break;
    }
    case FatType::Fat16:
        offset = uint64_t{c} * 2;
        Store16(&bytes_[offset], value);
        break;
    default:
        offset = uint64_t{c} * 4;
        // The top four bits belong to no cluster and keep what they hold.
        Store32(&bytes_[offset], (Load32(&bytes_[offset]) & ~kFat32Mask) | (value & kFat32Mask));
        break;
    }
    MarkDirty(offset);
}

void FatTable::MarkDirty(uint64_t byteOffset) {
    const uint64_t sector = byteOffset / layout_.bytesPerSector;
    if (sector < dirty_.size() && !dirty_[sector]) {
        dirty_[sector] = true;
        ++dirtyCount_;
    }
}

uint32_t FatTable::EndMark() const {
    switch (layout_.type) {
    case FatType::Fat12: return 0xFFF;
    case FatType::Fat16: return 0xFFFF;
    default: return 0x0FFFFFFF;
    }
}

bool FatTable::IsEnd(uint32_t value) const { return value >= (EndMark() & ~7u); }

DWORD FatTable::Chain(uint32_t first, uint64_t maxClusters, ClusterRuns& runs) const {
    runs.clear();
    if (!layout_.IsCluster(first) || predecessors_[first] != 0) return kCorrupt;
    uint64_t length = 0;
    for (uint32_t c = first;;) {
        // A chain longer than the volume has clusters must loop somewhere.
        if (++length > maxClusters || length > layout_.clusterCount) return kCorrupt;
        if (!runs.empty() && runs.back().first + runs.back().count == c) {
            ++runs.back().count;
        } else {
            runs.push_back({c, 1});
        }
        const uint32_t next = Get(c);
        if (IsEnd(next)) return 0;
        if (!layout_.IsCluster(next) || predecessors_[next] != 1) return kCorrupt;
        c = next;
    }
}

DWORD FatTable::Extend(uint32_t tail, uint32_t count, ClusterRuns& added) {
    added.clear();
    if (count > freeCount_) return ERROR_DISK_FULL;
    uint32_t previous = tail;
    uint32_t c = nextFree_;
    for (uint32_t taken = 0; taken < count;) {
        if (!layout_.IsCluster(c)) c = kFirstCluster;
        if (Get(c) == 0) {
            Set(c, EndMark());
            if (previous != 0) Set(previous, c);
            if (!added.empty() && added.back().first + added.back().count == c) {
                ++added.back().count;
            } else {
                added.push_back({c, 1});
            }
            previous = c;
            ++taken;
        }
        ++c;
    }
    nextFree_ = layout_.IsCluster(c) ? c : kFirstCluster;
    return 0;
}

void FatTable::Truncate(const ClusterRuns& runs, uint64_t keep) {
    uint64_t index = 0;
    for (const auto& run : runs) {
        for (uint32_t i = 0; i < run.count; ++i, ++index) {
            const uint32_t c = run.first + i;
            if (index + 1 == keep) Set(c, EndMark());
            if (index >= keep) Set(c, 0);
        }
    }
}

DWORD FatTable::Flush(BlockDisk& disk) {
    const uint32_t sectorBytes = layout_.bytesPerSector;
    for (uint32_t s = 0; s < dirty_.size() && dirtyCount_ != 0;) {
        if (!dirty_[s]) {
            ++s;
            continue;
        }
        uint32_t end = s;
        while (end < dirty_.size() && dirty_[end]) ++end;
        for (uint32_t copy = 0; copy < layout_.fatCount; ++copy) {
            const uint64_t at = layout_.fatStart + uint64_t{copy} * layout_.sectorsPerFat + s;
            if (DWORD error = disk.Write(at, end - s, &bytes_[uint64_t{s} * sectorBytes]);
                error != 0) {
                return error;
            }
        }
        for (uint32_t i = s; i < end; ++i) dirty_[i] = false;
        dirtyCount_ -= end - s;
        s = end;
    }
    return WriteFsInfo(disk);
}

DWORD FatTable::WriteFsInfo(BlockDisk& disk) {
    if (!fsInfoDirty_ || fsInfo_.empty()) return 0;
    Store32(&fsInfo_[FSI_Free_Count], freeCount_);
    Store32(&fsInfo_[FSI_Nxt_Free], nextFree_);
    if (DWORD error = disk.Write(layout_.fsInfoSector, 1, fsInfo_.data()); error != 0) return error;
    fsInfoDirty_ = false;
    return 0;
}

}  // namespace platform::fat
