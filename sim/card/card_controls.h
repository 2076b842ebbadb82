// CRD<n>: control codes of the card driver beyond the drive's own 250 to 255, for the
// handheld's own tools (the launcher).
#pragma once

#include <windef.h>

namespace qvcard {

// Check the medium now and mount the volume it holds. Fails with 21 when nothing is mounted.
inline constexpr DWORD kCardRescanCode = 0x100;
// Write a fresh FAT volume over the whole medium (the platform's formatter) and mount it. The
// input buffer is the volume label, a terminated wide string.
inline constexpr DWORD kCardFormatCode = 0x101;

}  // namespace qvcard
