#include "window_table.h"

#include <ceddk.h>

#include <thread>

namespace platform::registers {
namespace {

WindowSlot slots[kWindowSlots];
std::atomic<size_t> slotsInUse{0};  // one past the highest slot ever claimed

thread_local size_t lastSlot = 0;
thread_local WindowSlot* insideSlot = nullptr;

// Pins slot for an access to address when the slot's window holds it; gives the window's
// base, 0 when it does not. The base must be taken from here: a withdrawal clears the slot's
// base before it waits for the pinned accesses to end.
uintptr_t TryPin(WindowSlot& slot, uintptr_t address) {
    const uintptr_t base = slot.base.load(std::memory_order_acquire);
    if (base == 0 || address < base || address >= slot.end.load(std::memory_order_acquire)) {
        return 0;
    }
    slot.accessors.fetch_add(1);
    // Paired with the withdrawal's store of 0 then read of accessors: either it sees this
    // access and waits for it, or this access sees the window gone.
    if (slot.base.load() != base) {
        slot.accessors.fetch_sub(1);
        return 0;
    }
    return base;
}

WindowSlot* Pin(uintptr_t address, uintptr_t& base) {
    if ((base = TryPin(slots[lastSlot], address)) != 0) return &slots[lastSlot];
    const size_t count = slotsInUse.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        if ((base = TryPin(slots[i], address)) != 0) {
            lastSlot = i;
            return &slots[i];
        }
    }
    return nullptr;
}

void NoteSlotInUse(size_t index) {
    size_t seen = slotsInUse.load();
    while (seen < index + 1 && !slotsInUse.compare_exchange_weak(seen, index + 1)) {
    }
}

}  // namespace

WindowAccess::WindowAccess(const volatile void* address) {
    const auto where = reinterpret_cast<uintptr_t>(address);
    uintptr_t base = 0;
    slot_ = Pin(where, base);
    if (slot_ == nullptr) throw AccessViolation{address};
    device_ = slot_->device.load(std::memory_order_acquire);
    offset_ = static_cast<uint32_t>(where - base);
    outer_ = insideSlot;
    insideSlot = slot_;
}

WindowAccess::~WindowAccess() {
    insideSlot = outer_;
    slot_->accessors.fetch_sub(1, std::memory_order_release);
}

bool PublishWindow(uintptr_t base, uint32_t size, IoDevice& device) {
    for (size_t i = 0; i < kWindowSlots; ++i) {
        // Look before claiming: a failed exchange would still take the slot's cache line
        // away from the threads accessing through it.
        bool expected = false;
        if (slots[i].claimed.load(std::memory_order_relaxed) ||
            !slots[i].claimed.compare_exchange_strong(expected, true)) {
            continue;
        }
        slots[i].end.store(base + size, std::memory_order_release);
        slots[i].device.store(&device, std::memory_order_release);
        slots[i].base.store(base, std::memory_order_release);
        NoteSlotInUse(i);
        return true;
    }
    return false;
}

void WithdrawWindow(uintptr_t base) {
    const size_t count = slotsInUse.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        WindowSlot& slot = slots[i];
        uintptr_t expected = base;
        // Only one caller wins the window, so a double removal cannot free a reused slot.
        if (slot.base.load(std::memory_order_relaxed) != base ||
            !slot.base.compare_exchange_strong(expected, 0)) {
            continue;
        }
        // A device may pull its own card from inside an access (the fault switch): that
        // access is this thread's and ends after we return.
        const uint32_t mine = insideSlot == &slot ? 1 : 0;
        while (slot.accessors.load() > mine) std::this_thread::yield();
        slot.device.store(nullptr, std::memory_order_relaxed);
        slot.end.store(0, std::memory_order_relaxed);
        slot.claimed.store(false, std::memory_order_release);
        return;
    }
}

}  // namespace platform::registers
