// What the volume's parts share about directory entries and chains: the first cluster and the
// times of a 32-byte entry, and runs of a chain.
#pragma once

#include "fat_bytes.h"
#include "fat_table.h"
#include "fat_time.h"

#include <platform/file_backend.h>
#include <winerror.h>

namespace platform::fat {

inline constexpr DWORD kCorrupt = ERROR_FILE_CORRUPT;
inline constexpr uint64_t kMaxFileBytes = 0xFFFFFFFFu;
inline constexpr uint8_t kStoredAttributes =
    kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

inline uint64_t CeilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

inline void ApplyTimes(uint8_t* e, const FileTimes& times) {
    if (times.created) {
        const FatStamp s = ToFatStamp(*times.created);
        Store16(e + DIR_CrtTime, s.time);
        Store16(e + DIR_CrtDate, s.date);
        e[DIR_CrtTimeTenth] = s.tenMs;
    }
    if (times.accessed) Store16(e + DIR_LstAccDate, ToFatStamp(*times.accessed).date);
    if (times.written) {
        const FatStamp s = ToFatStamp(*times.written);
        Store16(e + DIR_WrtTime, s.time);
        Store16(e + DIR_WrtDate, s.date);
    }
}

inline FileTimes TimesOf(const uint8_t* e) {
    return {FromFatStamp({Load16(e + DIR_CrtDate), Load16(e + DIR_CrtTime), e[DIR_CrtTimeTenth]}),
            FromFatStamp({Load16(e + DIR_LstAccDate), 0, 0}),
            FromFatStamp({Load16(e + DIR_WrtDate), Load16(e + DIR_WrtTime), 0})};
}

inline void AppendRuns(ClusterRuns& runs, const ClusterRuns& added) {
    for (const auto& run : added) {
        if (!runs.empty() && runs.back().first + runs.back().count == run.first) {
            runs.back().count += run.count;
        } else {
            runs.push_back(run);
        }
    }
}

inline void TrimRuns(ClusterRuns& runs, uint64_t keep) {
    uint64_t total = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (total + runs[i].count >= keep) {
            runs[i].count = static_cast<uint32_t>(keep - total);
            runs.resize(runs[i].count == 0 ? i : i + 1);
            return;
        }
        total += runs[i].count;
    }
}

// The cluster of a chain at index, and how many clusters follow it without a gap.
inline bool RunAt(const ClusterRuns& runs, uint64_t index, uint32_t& cluster, uint64_t& contiguous) {
    for (const auto& run : runs) {
        if (index < run.count) {
            cluster = run.first + static_cast<uint32_t>(index);
            contiguous = run.count - index;
            return true;
        }
        index -= run.count;
    }
    return false;
}

inline uint32_t EntryCluster(const uint8_t* e, FatType type) {
    return Load16(e + DIR_FstClusLO) |
           (type == FatType::Fat32 ? uint32_t{Load16(e + DIR_FstClusHI)} << 16 : 0);
}

inline void SetEntryCluster(uint8_t* e, uint32_t cluster, FatType type) {
    Store16(e + DIR_FstClusLO, cluster);
    Store16(e + DIR_FstClusHI, type == FatType::Fat32 ? cluster >> 16 : 0);
}

}  // namespace platform::fat
