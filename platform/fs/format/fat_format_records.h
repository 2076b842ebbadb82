// The records a fresh FAT volume starts with: the boot sector, FAT32's FSInfo sector, the first
// sector of each FAT and the volume label's root entry, built from a chosen layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fat_layout.h"

namespace platform::fat_format {

using Sector = std::vector<uint8_t>;

// The 11-character label as stored (upper case, padded with spaces), "NO NAME    " for an empty
// one, or nothing when it is too long or holds a character FAT labels cannot carry.
std::optional<std::string> VolumeLabel(std::u16string_view label);

// A FAT date and time word pair (local time), as the label entry carries them.
struct FatStamp {
    uint16_t date = 0x21;  // 1 January 1980
    uint16_t time = 0;
};

Sector BootSector(const FatLayout& layout, const std::string& label, uint32_t volumeId);
Sector FsInfoSector(const FatLayout& layout);
// The first sector of a FAT: the media byte and the two reserved entries (and on FAT32 the end
// of the root folder's one-cluster chain); every other FAT sector starts zeroed.
Sector FirstFatSector(const FatLayout& layout);
// The first sector of the root folder: the volume label entry, or zeros without a label.
Sector FirstRootSector(const FatLayout& layout, const std::string& label, FatStamp stamp);

}  // namespace platform::fat_format
