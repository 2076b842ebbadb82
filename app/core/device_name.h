// The device's name, from HKEY_LOCAL_MACHINE\Ident "Name". Every backup folder's name begins
// with it and the restore offers the folders that do, so both read it through this one reader.
#pragma once

#include <windows.h>

// 19 characters and the terminator: the 40 bytes the value is read into.
inline constexpr int DEVICE_NAME_CHARS = 20;

// Fills `name`, always terminated: empty when the value cannot be read or does not fit, and
// cut where the value ends when it was stored without a terminator of its own. Returns the
// error of opening the key (the name then empty), or 0.
LONG ReadDeviceName(WCHAR (&name)[DEVICE_NAME_CHARS]);
