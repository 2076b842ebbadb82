// The FileData of an open FAT file and the staged file of a whole-file replace; both hand
// every call to their volume, which checks that it is still mounted.
#pragma once

#include "fat_volume.h"

namespace platform::fat {

std::unique_ptr<FileData> MakeFatFile(std::shared_ptr<FatVolume> volume,
                                      std::shared_ptr<FileNode> node);
std::unique_ptr<StagedFile> MakeStagedFatFile(std::shared_ptr<FatVolume> volume,
                                              PathParts target);

}  // namespace platform::fat
