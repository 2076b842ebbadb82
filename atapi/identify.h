// Identification: only the system's own drive model is accepted; its addressing capability and
// geometry go into the drive context.
#pragma once

#include <drive/drive_context.h>

namespace atapi {

// IDENTIFY (PACKET) DEVICE on the selected position; ERR_DEVICE for any other model.
DWORD IdentifyDrive(DriveContext& context);

// True when pattern occurs anywhere in text. Without caseSensitive, a to z match A to Z and no
// other characters are folded.
bool FindSubstring(const BYTE* text, DWORD textLength, const BYTE* pattern, DWORD patternLength,
                   bool caseSensitive);

}  // namespace atapi
