// The platform's format utility for a DSK device, with the FAT type open to choice (the public
// FormatFatVolume always chooses by size).
#pragma once

#include <string_view>

#include <windef.h>
#include "fat_layout.h"

namespace platform::fat_format {

// Writes a fresh, empty FAT volume over the whole disk of the DSK device. Returns 0 or a CE
// error: the device's open error, 87 for a disk no FAT volume of that type fits, 123 for a label
// FAT cannot carry, 19 write-protected, 21 not ready, 29 any other write failure.
DWORD FormatDisk(std::u16string_view diskDevice, std::u16string_view label, FatTypeChoice choice);

}  // namespace platform::fat_format
