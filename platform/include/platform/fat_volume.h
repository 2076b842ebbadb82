// Host-side controls of the platform's FAT file system: a DSK block device's volume mounted as
// the root folder \<folder>, and the format utility that writes a fresh volume on one.
#pragma once

#include <string_view>

#include "../windef.h"

namespace platform {

// Opens the DSK device (e.g. u"DSK1:"), reads its FAT volume and mounts it as \<folder>. The
// volume reaches the disk only through DeviceIoControl on that device. A medium that holds no
// sensible FAT volume refuses the mount with a CE error; nothing is mounted then.
DWORD MountFatVolume(std::u16string_view folder, std::u16string_view diskDevice);
// Unmounts \<folder> and closes its device; handles still open on the volume fail with 21.
DWORD UnmountFatVolume(std::u16string_view folder);
// Writes a fresh, empty FAT volume over the whole disk of the DSK device, FAT12, FAT16 or FAT32
// chosen by its size as mkfs.fat chooses; 32 (sharing violation) while a volume of the device
// is mounted.
DWORD FormatFatVolume(std::u16string_view diskDevice, std::u16string_view label);
// Whether a volume of the DSK device is mounted.
bool FatDeviceMounted(std::u16string_view diskDevice);

}  // namespace platform
