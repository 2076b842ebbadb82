// Host-side controls of the device manager: devices implemented inside the process (the
// simulated handheld's card driver) registered beside those loaded from driver libraries.
#pragma once

#include <memory>
#include <string_view>

#include "../windef.h"

namespace platform {

// A stream device implemented in C++. The defaults answer as a driver without that entry does.
class StreamDevice {
public:
    virtual ~StreamDevice() = default;
    // Returns the open context (non-zero) or 0 with the last error set.
    virtual DWORD_PTR Open(DWORD access, DWORD shareMode) = 0;
    virtual BOOL Close(DWORD_PTR open) = 0;
    virtual DWORD Read(DWORD_PTR open, void* buffer, DWORD count);
    virtual DWORD Write(DWORD_PTR open, const void* buffer, DWORD count);
    virtual DWORD Seek(DWORD_PTR open, LONG amount, DWORD type);
    virtual BOOL IoControl(DWORD_PTR open, DWORD code, BYTE* in, DWORD inSize, BYTE* out,
                           DWORD outSize, DWORD* actualOut) = 0;
    virtual void PowerUp() {}
    virtual void PowerDown() {}
    // Called once when the device is deregistered, after its last open has been closed.
    virtual void Deinit() {}
};

// Registers prefix + index (CRD0:). The result is a handle for DeregisterDevice, or null with
// 183 when the name is taken, 87 for a bad prefix or an index above 9.
HANDLE RegisterInProcessDevice(std::u16string_view prefix, DWORD index,
                               std::shared_ptr<StreamDevice> device);
// The handheld's power switch: every registered device's PowerDown (PowerUp) entry.
void PowerDownDevices();
void PowerUpDevices();

// Deregisters every device (for tests).
void ResetDevices();

}  // namespace platform
