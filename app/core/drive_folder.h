// Where the drive's disk is reached: "\" and the folder name the card device reports. It
// changes only when a device answers, so a failed discovery keeps the last good value.
#pragma once

#include <windows.h>

inline constexpr int DRIVE_FOLDER_CHARS = 260;
extern WCHAR driveFolder[DRIVE_FOLDER_CHARS];
