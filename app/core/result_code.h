// The outcome of an action of the program: 0 success, 15 no drive found, any other value a
// platform error number passed on unchanged.
#pragma once

#include <windows.h>

using ResultCode = DWORD;

inline constexpr ResultCode RESULT_SUCCESS = 0;
inline constexpr ResultCode RESULT_NO_DRIVE = ERROR_INVALID_DRIVE;
