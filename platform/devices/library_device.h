// A stream driver loaded from a driver library: its entry points found by the device's prefix
// (DSK_Init, DSK_Open, ...) and called with the context that its Init returned.
#pragma once

#include <cedevice.h>
#include <platform/devices.h>

#include <memory>
#include <string_view>

namespace platform::devices {

// Loads the library and runs <prefix>_Init(context). Null with the last error set on failure:
// 126 no such library, 127 a required entry missing, the driver's error when Init answers 0.
std::shared_ptr<StreamDevice> LoadLibraryDevice(std::u16string_view prefix,
                                                const char16_t* library, DWORD_PTR context);

}  // namespace platform::devices
