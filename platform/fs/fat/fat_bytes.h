// The FAT format's byte offsets and little-endian accessors. Every on-disk field is read and
// written through these, never by laying a struct over the bytes.
#pragma once

#include <cstdint>

namespace platform::fat {

inline uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void Store16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Store32(uint8_t* p, uint32_t v) {
    Store16(p, v);
    Store16(p + 2, v >> 16);
}

// --- boot sector and BIOS parameter block ---
inline constexpr unsigned BS_JmpBoot = 0;
inline constexpr unsigned BS_OEMName = 3;
inline constexpr unsigned BPB_BytsPerSec = 11;
inline constexpr unsigned BPB_SecPerClus = 13;
inline constexpr unsigned BPB_RsvdSecCnt = 14;
inline constexpr unsigned BPB_NumFATs = 16;
inline constexpr unsigned BPB_RootEntCnt = 17;
inline constexpr unsigned BPB_TotSec16 = 19;
inline constexpr unsigned BPB_Media = 21;
inline constexpr unsigned BPB_FATSz16 = 22;
inline constexpr unsigned BPB_SecPerTrk = 24;
inline constexpr unsigned BPB_NumHeads = 26;
inline constexpr unsigned BPB_HiddSec = 28;
inline constexpr unsigned BPB_TotSec32 = 32;
inline constexpr unsigned BS_DrvNum16 = 36;  // FAT12/16 extended BPB
inline constexpr unsigned BPB_FATSz32 = 36;
inline constexpr unsigned BPB_ExtFlags = 40;
inline constexpr unsigned BPB_FSVer = 42;
inline constexpr unsigned BPB_RootClus = 44;
inline constexpr unsigned BPB_FSInfo = 48;
inline constexpr unsigned BPB_BkBootSec = 50;
inline constexpr unsigned BS_DrvNum32 = 64;  // FAT32 extended BPB
inline constexpr unsigned BS_55AA = 510;

// --- master boot record ---
inline constexpr unsigned MBR_Table = 446;
inline constexpr unsigned MBR_EntryBytes = 16;
inline constexpr unsigned PTE_System = 4;
inline constexpr unsigned PTE_StartLba = 8;
inline constexpr unsigned PTE_SizeLba = 12;

// --- FSInfo sector of FAT32 ---
inline constexpr unsigned FSI_LeadSig = 0;
inline constexpr unsigned FSI_StrucSig = 484;
inline constexpr unsigned FSI_Free_Count = 488;
inline constexpr unsigned FSI_Nxt_Free = 492;
inline constexpr unsigned FSI_TrailSig = 508;
inline constexpr uint32_t kFsInfoLead = 0x41615252;
inline constexpr uint32_t kFsInfoStruct = 0x61417272;
inline constexpr uint32_t kFsInfoTrail = 0xAA550000;

// --- directory entries (32 bytes) ---
inline constexpr unsigned kDirEntryBytes = 32;
inline constexpr unsigned DIR_Name = 0;
inline constexpr unsigned DIR_Attr = 11;
inline constexpr unsigned DIR_NTRes = 12;
inline constexpr unsigned DIR_CrtTimeTenth = 13;
inline constexpr unsigned DIR_CrtTime = 14;
inline constexpr unsigned DIR_CrtDate = 16;
inline constexpr unsigned DIR_LstAccDate = 18;
inline constexpr unsigned DIR_FstClusHI = 20;
inline constexpr unsigned DIR_WrtTime = 22;
inline constexpr unsigned DIR_WrtDate = 24;
inline constexpr unsigned DIR_FstClusLO = 26;
inline constexpr unsigned DIR_FileSize = 28;

// --- long-name entries ---
inline constexpr unsigned LDIR_Ord = 0;
inline constexpr unsigned LDIR_Name1 = 1;    // 5 characters
inline constexpr unsigned LDIR_Attr = 11;
inline constexpr unsigned LDIR_Type = 12;
inline constexpr unsigned LDIR_Chksum = 13;
inline constexpr unsigned LDIR_Name2 = 14;   // 6 characters
inline constexpr unsigned LDIR_FstClusLO = 26;
inline constexpr unsigned LDIR_Name3 = 28;   // 2 characters
inline constexpr unsigned kLongNameChars = 13;
inline constexpr uint8_t kLastLongEntry = 0x40;

inline constexpr uint8_t kAttrReadOnly = 0x01;
inline constexpr uint8_t kAttrHidden = 0x02;
inline constexpr uint8_t kAttrSystem = 0x04;
inline constexpr uint8_t kAttrVolumeId = 0x08;
inline constexpr uint8_t kAttrDirectory = 0x10;
inline constexpr uint8_t kAttrArchive = 0x20;
inline constexpr uint8_t kAttrLongName = 0x0F;
inline constexpr uint8_t kNtLowerBase = 0x08;
inline constexpr uint8_t kNtLowerExt = 0x10;
inline constexpr uint8_t kDeletedEntry = 0xE5;
inline constexpr uint8_t kKanjiE5 = 0x05;  // a first name byte 0xE5 is stored as 0x05

// Where a long name's character i (0..12) lies within its slot.
inline unsigned LongNameCharOffset(unsigned i) {
    return i < 5 ? LDIR_Name1 + 2 * i : i < 11 ? LDIR_Name2 + 2 * (i - 5) : LDIR_Name3 + 2 * (i - 11);
}

}  // namespace platform::fat
