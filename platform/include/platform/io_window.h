// I/O windows: the simulated PC Card socket maps a device's registers at an address range; the
// register accessors of ceddk.h reach the device through it.
#pragma once

#include <cstdint>

#include "../windef.h"

namespace platform {

// A device behind an I/O window. Offsets are relative to the window's base.
class IoDevice {
public:
    virtual ~IoDevice() = default;
    virtual uint8_t Read8(uint32_t offset) = 0;
    virtual void Write8(uint32_t offset, uint8_t value) = 0;
    virtual uint16_t Read16(uint32_t offset) = 0;
    virtual void Write16(uint32_t offset, uint16_t value) = 0;
};

// Maps a window of size bytes onto the device and returns its base address (never one that
// an earlier window had); null when no window can be mapped. The device must outlive the
// mapping.
PUCHAR MapIoWindow(IoDevice& device, uint32_t size);
// Removes the window: from then on an access to any address in it raises AccessViolation.
// Safe to call while another thread is accessing the window.
void UnmapIoWindow(PUCHAR base);

}  // namespace platform
