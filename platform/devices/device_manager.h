// The device manager's side of CreateFile: names of the form XXXn: go to a stream device.
#pragma once

#include <windef.h>

#include <string_view>

namespace platform::devices {

bool IsDeviceName(std::u16string_view name);
// An open handle, or INVALID_HANDLE_VALUE with 55 (no such device) or the driver's error.
HANDLE OpenDevice(std::u16string_view name, DWORD access, DWORD shareMode);

}  // namespace platform::devices
