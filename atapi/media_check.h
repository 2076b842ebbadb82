// The media check: keeps mediumPresent, mediaFlags and the capacity in diskInfo in step with
// the removable medium.
#pragma once

#include <drive/drive_context.h>

namespace atapi {

// Packet device: reads the medium's capacity through the drive's page 0x2F and its vendor
// status command, leaving page 0x2F as it was found.
DWORD ReadMediaInfo(DriveContext& context);

// ATA device: GET MEDIA STATUS, with the medium flags following its error bits.
DWORD ReadAtaMediaStatus(DriveContext& context);

}  // namespace atapi
