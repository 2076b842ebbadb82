// I/O windows: the simulated PC Card socket maps a device's registers at an address range; the
// register accessors of ceddk.h reach the device through it.
#pragma once

#include <atomic>
#include <cstdint>

#include "../windef.h"

namespace platform {

// The middle of a data burst at one 16-bit register, which the window moves word by word
// without calling the device: a device whose data register carries most accesses offers it.
// The device offers the run to one thread (owner, its I/O token) while it holds its own lock,
// and takes it back with StopIoDataRun before it looks at or changes the burst from any other
// thread; the owner's own next call into the device sees how far the run got in next. Words
// move only while next < end and the direction matches, so the device itself sees the access
// that ends a burst.
struct IoDataRun {
    explicit IoDataRun(uint32_t registerOffset) : offset(registerOffset) {}
    const uint32_t offset;  // the data register's offset in the window
    std::atomic<const void*> owner{nullptr};
    std::atomic<uint8_t*> next{nullptr};
    std::atomic<uint8_t*> end{nullptr};
    std::atomic<bool> toHost{false};  // reads move words out of the run; writes, into it
};

// A device behind an I/O window. Offsets are relative to the window's base.
class IoDevice {
public:
    virtual ~IoDevice() = default;
    virtual uint8_t Read8(uint32_t offset) = 0;
    virtual void Write8(uint32_t offset, uint8_t value) = 0;
    virtual uint16_t Read16(uint32_t offset) = 0;
    virtual void Write16(uint32_t offset, uint16_t value) = 0;
    // The device's data run, asked for once when a window is mapped; it lives as the device.
    virtual IoDataRun* DataRun() { return nullptr; }
};

// The calling thread's token, as an IoDataRun's owner names it.
const void* ThisThreadsIoToken();
// Takes the run from whichever thread holds it: when this returns, no word moves through it
// until it is offered again, and every word moved before is in the burst and in next.
void StopIoDataRun(IoDataRun& run);

// Maps a window of size bytes onto the device and returns its base address (never one that
// an earlier window had); null when no window can be mapped. The device must outlive the
// mapping.
PUCHAR MapIoWindow(IoDevice& device, uint32_t size);
// Removes the window: from then on an access to any address in it raises AccessViolation.
// Safe to call while another thread is accessing the window.
void UnmapIoWindow(PUCHAR base);

}  // namespace platform
