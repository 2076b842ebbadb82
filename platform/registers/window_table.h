// The table of mapped I/O windows. Every register access looks its address up here, so the
// lookup takes no lock: a handful of slots, each published with atomics, and a per-thread hint
// to the slot used last. An access pins its slot for its duration; removing a window waits for
// the accesses that pinned it, so a device is never reached after UnmapIoWindow returns.
#pragma once

#include <platform/io_window.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform::registers {

// One cache line each, so a window coming or going never slows accesses through another.
struct alignas(64) WindowSlot {
    std::atomic<uintptr_t> base{0};  // 0: no window
    std::atomic<uintptr_t> end{0};
    std::atomic<IoDevice*> device{nullptr};
    std::atomic<uint32_t> accessors{0};  // accesses in progress through this slot
    std::atomic<bool> claimed{false};    // owned by a window (or being set up or torn down)
};

constexpr size_t kWindowSlots = 64;

// One register access: finds the window that holds the address and keeps it from being torn
// down until the access ends. Throws AccessViolation when no window holds the address.
class WindowAccess {
public:
    explicit WindowAccess(const volatile void* address);
    ~WindowAccess();
    WindowAccess(const WindowAccess&) = delete;
    WindowAccess& operator=(const WindowAccess&) = delete;

    IoDevice& device() const { return *device_; }
    uint32_t offset() const { return offset_; }

private:
    WindowSlot* slot_;
    WindowSlot* outer_;  // slot this thread was already inside (a device reaching a window)
    IoDevice* device_;
    uint32_t offset_;
};

// Claims a slot for [base, base + size) reaching device; false when every slot is taken.
bool PublishWindow(uintptr_t base, uint32_t size, IoDevice& device);
// Takes the window at base out of the table and waits for accesses through it to end.
void WithdrawWindow(uintptr_t base);

}  // namespace platform::registers
