#include "folder.h"

#include "fat_bytes.h"

#include <platform/text.h>

#include <algorithm>
#include <cstring>

namespace platform::fat {
namespace {

constexpr unsigned kMaxLongSlots = 20;
constexpr size_t kMaxNameChars = 255;

std::string Key(const ShortName& name) { return std::string(name.begin(), name.end()); }

bool IsDotEntry(const uint8_t* e) {
    return e[0] == '.' && (e[1] == ' ' || (e[1] == '.' && e[2] == ' '));
}

// A long name from the medium that no CE path could name falls back to the short name.
bool UsableLongName(std::u16string_view name) {
    if (name.empty() || name.size() > kMaxNameChars) return false;
    for (char16_t c : name) {
        if (c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) {
            return false;
        }
    }
    return name.find_first_not_of(u'.') != std::u16string_view::npos;
}

// Long-name slots collected while walking toward their short entry.
struct LongNameState {
    std::u16string chars;
    unsigned nextOrd = 0;  // the ordinal the next slot must carry; 0 when none is pending
    uint8_t checksum = 0;
    uint32_t firstSlot = 0;
    bool complete = false;

    void Reset() { nextOrd = 0, complete = false; }
    void Take(const uint8_t* e, uint32_t slot) {
        const unsigned ord = e[LDIR_Ord] & 0x1F;
        if (e[LDIR_Ord] & kLastLongEntry) {
            if (ord == 0 || ord > kMaxLongSlots) return Reset();
            chars.assign(ord * kLongNameChars, u'\0');
            checksum = e[LDIR_Chksum];
            firstSlot = slot;
        } else if (nextOrd == 0 || ord != nextOrd || e[LDIR_Chksum] != checksum) {
            return Reset();
        }
        for (unsigned i = 0; i < kLongNameChars; ++i) {
            chars[(ord - 1) * kLongNameChars + i] = Load16(e + LongNameCharOffset(i));
        }
        nextOrd = ord - 1;
        complete = ord == 1;
        if (complete) nextOrd = 0;
        else if (nextOrd == 0) Reset();
    }
    std::u16string Name() const { return chars.substr(0, chars.find(u'\0')); }
};

}  // namespace

Folder::Folder(uint32_t cluster, ClusterRuns runs, std::vector<uint8_t> bytes,
               uint32_t sectorBytes)
    : cluster_(cluster), runs_(std::move(runs)), bytes_(std::move(bytes)),
      sectorBytes_(sectorBytes), dirty_(bytes_.size() / sectorBytes, false) {
    Parse();
}

void Folder::Parse() {
    LongNameState pending;
    endSlot_ = SlotCount();
    for (uint32_t i = 0; i < SlotCount(); ++i) {
        const uint8_t* e = Slot(i);
        if (e[DIR_Name] == 0) {
            endSlot_ = i;
            // What lies past the end mark is unused; keep it zero so reused slots stay clean.
            std::fill(bytes_.begin() + uint64_t{i} * 32, bytes_.end(), 0);
            break;
        }
        if (e[DIR_Name] == kDeletedEntry) {
            pending.Reset();
            continue;
        }
        if ((e[DIR_Attr] & 0x3F) == kAttrLongName) {
            pending.Take(e, i);
            continue;
        }
        if ((e[DIR_Attr] & kAttrVolumeId) || IsDotEntry(e)) {
            pending.Reset();
            continue;
        }
        FolderEntry entry;
        std::memcpy(entry.shortName.data(), e, 11);
        entry.slot = entry.firstSlot = i;
        if (pending.complete && ShortNameChecksum(entry.shortName) == pending.checksum &&
            UsableLongName(pending.Name())) {
            entry.name = pending.Name();
            entry.firstSlot = pending.firstSlot;
        } else {
            entry.name = DisplayShortName(entry.shortName, e[DIR_NTRes]);
        }
        pending.Reset();
        Index(i, std::move(entry));
    }
    firstFree_ = 0;
    AdvanceFirstFree();
}

void Folder::Index(uint32_t slot, FolderEntry entry) {
    shortNames_.insert(Key(entry.shortName));
    byName_.emplace(Folded(entry.name), slot);  // on a damaged medium the first of a name wins
    byName_.emplace(Folded(DisplayShortName(entry.shortName, 0)), slot);
    entries_.emplace(slot, std::move(entry));
}

void Folder::Unindex(const FolderEntry& entry) {
    shortNames_.erase(Key(entry.shortName));
    for (const auto& name : {Folded(entry.name), Folded(DisplayShortName(entry.shortName, 0))}) {
        auto it = byName_.find(name);
        if (it != byName_.end() && it->second == entry.slot) byName_.erase(it);
    }
}

size_t FoldedNameHash::operator()(std::u16string_view name) const {
    // FNV-1a over the folded characters; folding a folded name changes nothing, so a kept key
    // and any spelling of it hash alike.
    uint64_t hash = 14695981039346656037u;
    for (char16_t c : name) {
        hash = (hash ^ FoldCase(c)) * 1099511628211u;
    }
    return static_cast<size_t>(hash);
}

bool FoldedNameEqual::operator()(std::u16string_view a, std::u16string_view b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

const FolderEntry* Folder::Find(std::u16string_view name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : AtSlot(it->second);
}

const FolderEntry* Folder::AtSlot(uint32_t slot) const {
    auto it = entries_.find(slot);
    return it == entries_.end() ? nullptr : &it->second;
}

bool Folder::ShortNameTaken(const ShortName& name) const {
    return shortNames_.count(Key(name)) != 0;
}

bool Folder::SlotFree(uint32_t slot) const {
    return slot >= endSlot_ || bytes_[uint64_t{slot} * 32] == kDeletedEntry;
}

void Folder::AdvanceFirstFree() {
    while (firstFree_ < SlotCount() && !SlotFree(firstFree_)) ++firstFree_;
}

// An entry that fits in one sector is kept within one: a sector reaches the disk whole, so a
// write cut short never leaves long-name slots apart from their short entry.
uint32_t Folder::FindFreeRun(uint32_t count) const {
    const uint32_t perSector = sectorBytes_ / 32;
    const bool inOneSector = count <= perSector;
    uint32_t start = firstFree_;
    for (uint32_t i = firstFree_; i < SlotCount(); ++i) {
        if (!SlotFree(i)) {
            start = i + 1;
            continue;
        }
        if (inOneSector && i % perSector == 0) start = i;
        if (i + 1 - start == count) return start;
    }
    // The free slots at the end, if any, and what growing adds after them.
    if (inOneSector && start / perSector != (start + count - 1) / perSector)
        start = (start / perSector + 1) * perSector;
    return start;
}

void Folder::Grow(const ClusterRun& run, uint32_t clusterBytes) {
    if (!runs_.empty() && runs_.back().first + runs_.back().count == run.first) {
        runs_.back().count += run.count;
    } else {
        runs_.push_back(run);
    }
    bytes_.resize(bytes_.size() + uint64_t{run.count} * clusterBytes, 0);
    dirty_.resize(bytes_.size() / sectorBytes_, false);
}

const FolderEntry& Folder::Insert(uint32_t firstSlot, std::u16string_view name, bool longName,
                                  const uint8_t* shortEntry) {
    FolderEntry entry;
    std::memcpy(entry.shortName.data(), shortEntry, 11);
    entry.name = std::u16string(name);
    entry.firstSlot = firstSlot;
    // Slots passed over to keep the entry in one sector must not read as the folder's end.
    for (uint32_t gap = endSlot_; gap < firstSlot; ++gap) {
        std::memset(Slot(gap), 0, 32);
        Slot(gap)[0] = kDeletedEntry;
        MarkDirty(gap);
    }
    uint32_t slot = firstSlot;
    if (longName) {
        const uint32_t count = LongSlotsFor(name);
        const uint8_t sum = ShortNameChecksum(entry.shortName);
        for (uint32_t n = 0; n < count; ++n, ++slot) {
            uint8_t* e = Slot(slot);
            const uint32_t ord = count - n;
            std::memset(e, 0, 32);
            e[LDIR_Ord] = static_cast<uint8_t>(ord | (n == 0 ? kLastLongEntry : 0));
            e[LDIR_Attr] = kAttrLongName;
            e[LDIR_Chksum] = sum;
            for (unsigned i = 0; i < kLongNameChars; ++i) {
                const size_t at = (ord - 1) * kLongNameChars + i;
                const uint16_t c = at < name.size() ? name[at] : at == name.size() ? 0 : 0xFFFF;
                Store16(e + LongNameCharOffset(i), c);
            }
            MarkDirty(slot);
        }
    }
    std::memcpy(Slot(slot), shortEntry, 32);
    MarkDirty(slot);
    entry.slot = slot;
    endSlot_ = std::max(endSlot_, slot + 1);
    Index(slot, std::move(entry));
    AdvanceFirstFree();
    return entries_.at(slot);
}

void Folder::Erase(uint32_t slot) {
    auto it = entries_.find(slot);
    if (it == entries_.end()) return;
    for (uint32_t s = it->second.firstSlot; s <= slot; ++s) {
        Slot(s)[DIR_Name] = kDeletedEntry;
        MarkDirty(s);
    }
    firstFree_ = std::min(firstFree_, it->second.firstSlot);
    Unindex(it->second);
    entries_.erase(it);
}

void Folder::MarkDirty(uint32_t slot) {
    const uint64_t sector = uint64_t{slot} * 32 / sectorBytes_;
    if (sector < dirty_.size() && !dirty_[sector]) {
        dirty_[sector] = true;
        dirtyList_.push_back(static_cast<uint32_t>(sector));
    }
}

std::vector<std::pair<uint32_t, uint32_t>> Folder::DirtyRuns() const {
    std::vector<uint32_t> sectors = dirtyList_;
    std::sort(sectors.begin(), sectors.end());
    std::vector<std::pair<uint32_t, uint32_t>> runs;
    for (uint32_t s : sectors) {
        if (!runs.empty() && runs.back().first + runs.back().second == s) {
            ++runs.back().second;
        } else {
            runs.emplace_back(s, 1);
        }
    }
    return runs;
}

void Folder::ClearDirty() {
    for (uint32_t s : dirtyList_) dirty_[s] = false;
    dirtyList_.clear();
}

}  // namespace platform::fat
