// Fields are written through named byte offsets with explicit little-endian stores; the layout
// is the one every FAT driver reads (BPB, extended BPB, FSInfo).
#include "fat_format_records.h"

#include <algorithm>
#include <cstring>

#include "../fat/fat_bytes.h"

namespace platform::fat_format {
namespace {

// Offsets the formatter writes that nothing else reads: inside the extended BPB, counted
// from its drive number.
constexpr size_t kBootSig = 2;
constexpr size_t kVolID = 3;
constexpr size_t kVolLab = 7;
constexpr size_t kFilSysType = 18;
constexpr size_t kBootCode = 26;

using namespace platform::fat;

void st16(Sector& s, size_t at, uint32_t v) { Store16(&s[at], v); }
void st32(Sector& s, size_t at, uint32_t v) { Store32(&s[at], v); }
void stText(Sector& s, size_t at, std::string_view text) { std::memcpy(&s[at], text.data(), text.size()); }

// Nothing boots from this volume: the code halts the processor and waits.
constexpr uint8_t kHaltForever[] = {0xFA, 0xF4, 0xEB, 0xFD};  // cli; hlt; jmp -3

bool LabelCharacter(char16_t c) {
    if (c < 0x20 || c > 0x7E) return false;
    return std::u16string_view(u"*?.,;:/\\|+=<>[]\"").find(c) == std::u16string_view::npos;
}

}  // namespace

std::optional<std::string> VolumeLabel(std::u16string_view label) {
    if (label.size() > 11 || (!label.empty() && label.front() == u' ')) return std::nullopt;
    std::string stored;
    for (char16_t c : label) {
        if (!LabelCharacter(c)) return std::nullopt;
        stored.push_back(static_cast<char>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c));
    }
    if (stored.empty()) return std::string("NO NAME    ");
    stored.resize(11, ' ');
    return stored;
}

Sector BootSector(const FatLayout& layout, const std::string& label, uint32_t volumeId) {
    Sector s(layout.bytesPerSector, 0);
    const bool fat32 = layout.type == FatType::Fat32;
    const size_t ext = fat32 ? BS_DrvNum32 : BS_DrvNum16;
    const size_t code = ext + kBootCode;
    s[BS_JmpBoot] = 0xEB;
    s[BS_JmpBoot + 1] = static_cast<uint8_t>(code - 2);
    s[BS_JmpBoot + 2] = 0x90;
    stText(s, BS_OEMName, "MSWIN4.1");
    st16(s, BPB_BytsPerSec, layout.bytesPerSector);
    s[BPB_SecPerClus] = static_cast<uint8_t>(layout.sectorsPerCluster);
    st16(s, BPB_RsvdSecCnt, layout.reservedSectors);
    s[BPB_NumFATs] = static_cast<uint8_t>(layout.fatCount);
    st16(s, BPB_RootEntCnt, layout.rootEntries);
    if (layout.totalSectors < 65536) st16(s, BPB_TotSec16, layout.totalSectors);
    else st32(s, BPB_TotSec32, layout.totalSectors);
    s[BPB_Media] = layout.media;
    st16(s, BPB_SecPerTrk, layout.sectorsPerTrack);
    st16(s, BPB_NumHeads, layout.heads);
    st32(s, BPB_HiddSec, 0);
    if (fat32) {
        st32(s, BPB_FATSz32, layout.fatSectors);
        st16(s, BPB_ExtFlags, 0);  // every FAT mirrored
        st16(s, BPB_FSVer, 0);
        st32(s, BPB_RootClus, layout.rootCluster);
        st16(s, BPB_FSInfo, layout.fsInfoSector);
        st16(s, BPB_BkBootSec, layout.backupBootSector);
    } else {
        st16(s, BPB_FATSz16, layout.fatSectors);
    }
    s[ext] = layout.driveNumber;
    s[ext + kBootSig] = 0x29;
    st32(s, ext + kVolID, volumeId);
    stText(s, ext + kVolLab, label);
    stText(s, ext + kFilSysType,
           fat32 ? "FAT32   " : layout.type == FatType::Fat16 ? "FAT16   " : "FAT12   ");
    std::copy(std::begin(kHaltForever), std::end(kHaltForever), s.begin() + code);
    st16(s, BS_55AA, 0xAA55);
    return s;
}

Sector FsInfoSector(const FatLayout& layout) {
    Sector s(layout.bytesPerSector, 0);
    st32(s, FSI_LeadSig, kFsInfoLead);
    st32(s, FSI_StrucSig, kFsInfoStruct);
    st32(s, FSI_Free_Count, layout.clusterCount - 1);  // the root folder holds one cluster
    st32(s, FSI_Nxt_Free, layout.rootCluster);
    st32(s, FSI_TrailSig, kFsInfoTrail);
    return s;
}

Sector FirstFatSector(const FatLayout& layout) {
    Sector s(layout.bytesPerSector, 0);
    switch (layout.type) {
    case FatType::Fat12:
        s[0] = layout.media, s[1] = 0xFF, s[2] = 0xFF;
        break;
    case FatType::Fat16:
        st16(s, 0, 0xFF00u | layout.media);
        st16(s, 2, 0xFFFF);
        break;
    case FatType::Fat32:
        st32(s, 0, 0x0FFFFF00u | layout.media);
        st32(s, 4, 0x0FFFFFFF);
        st32(s, 4 * layout.rootCluster, 0x0FFFFFF8);  // end of the root folder's chain
        break;
    }
    return s;
}

Sector FirstRootSector(const FatLayout& layout, const std::string& label, FatStamp stamp) {
    Sector s(layout.bytesPerSector, 0);
    if (label == "NO NAME    ") return s;
    stText(s, DIR_Name, label);
    s[DIR_Attr] = kAttrVolumeId;
    st16(s, DIR_CrtTime, stamp.time);
    st16(s, DIR_CrtDate, stamp.date);
    st16(s, DIR_LstAccDate, stamp.date);
    st16(s, DIR_WrtTime, stamp.time);
    st16(s, DIR_WrtDate, stamp.date);
    return s;
}

}  // namespace platform::fat_format
