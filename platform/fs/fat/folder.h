// One folder's contents held in memory: its 32-byte slots as on the disk, the entries parsed
// from them (long names joined to their short entries by checksum) and an index by folded name
// and by short name, so look-ups and alias choices never rescan the folder. Changes mark the
// sectors they touch; the volume writes those back.
#pragma once

#include "fat_table.h"
#include "short_names.h"

#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace platform::fat {

struct FolderEntry {
    std::u16string name;  // the long name, or the short one when there is none
    ShortName shortName{};
    uint32_t firstSlot = 0;  // its first long-name slot; the short entry's when it has none
    uint32_t slot = 0;       // the short entry
};

// Names compared and hashed as folded, a character at a time: a look-up by a name as given
// makes no folded copy of it.
struct FoldedNameHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view name) const;
};
struct FoldedNameEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const;
};

class Folder {
public:
    // cluster 0: the fixed root folder of FAT12/16 (no runs: its sectors follow the FATs).
    Folder(uint32_t cluster, ClusterRuns runs, std::vector<uint8_t> bytes, uint32_t sectorBytes);

    uint32_t Cluster() const { return cluster_; }
    bool IsFixedRoot() const { return cluster_ == 0; }
    const ClusterRuns& Runs() const { return runs_; }
    uint32_t SlotCount() const { return static_cast<uint32_t>(bytes_.size() / 32); }
    uint8_t* Slot(uint32_t slot) { return &bytes_[uint64_t{slot} * 32]; }

    const FolderEntry* Find(std::u16string_view name) const;
    const FolderEntry* AtSlot(uint32_t slot) const;
    const std::map<uint32_t, FolderEntry>& Entries() const { return entries_; }
    bool ShortNameTaken(const ShortName& name) const;

    // The first slot of a run of count free slots; it may reach past the end (the folder must
    // grow by that much first).
    uint32_t FindFreeRun(uint32_t count) const;
    void Grow(const ClusterRun& run, uint32_t clusterBytes);
    // Writes the long-name slots (when longName) and the short entry from firstSlot on.
    const FolderEntry& Insert(uint32_t firstSlot, std::u16string_view name, bool longName,
                              const uint8_t* shortEntry);
    // Marks every slot of the entry deleted.
    void Erase(uint32_t slot);
    void MarkDirty(uint32_t slot);

    // Folder sectors changed since the last flush, as (first sector index, count) runs.
    std::vector<std::pair<uint32_t, uint32_t>> DirtyRuns() const;
    void ClearDirty();
    const uint8_t* SectorBytes(uint32_t index) const { return &bytes_[uint64_t{index} * sectorBytes_]; }

    static uint32_t LongSlotsFor(std::u16string_view name) {
        return static_cast<uint32_t>((name.size() + 12) / 13);
    }

private:
    void Parse();
    void Index(uint32_t slot, FolderEntry entry);
    void Unindex(const FolderEntry& entry);
    void AdvanceFirstFree();
    bool SlotFree(uint32_t slot) const;

    uint32_t cluster_;
    ClusterRuns runs_;
    std::vector<uint8_t> bytes_;
    uint32_t sectorBytes_;
    std::map<uint32_t, FolderEntry> entries_;          // by short-entry slot: listing order
    // Folded long and short names.
    std::unordered_map<std::u16string, uint32_t, FoldedNameHash, FoldedNameEqual> byName_;
    std::unordered_set<std::string> shortNames_;
    std::vector<bool> dirty_;
    std::vector<uint32_t> dirtyList_;
    uint32_t endSlot_ = 0;    // the first never-used slot: all after it are free
    uint32_t firstFree_ = 0;  // no free slot lies before it
};

}  // namespace platform::fat
