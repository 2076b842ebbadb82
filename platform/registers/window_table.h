// The table of mapped I/O windows. Every register access looks its address up here, so the
// lookup takes no lock and no atomic read-modify-write: a handful of slots, each published with
// atomics, and a per-thread cache of the window used last.
//
// An access announces itself in its thread's reader record (a bit per slot, a plain store)
// before it checks that its window is still there; removing a window first takes it out of
// the table, then forces a memory barrier on every thread of the process (membarrier), then
// waits until no reader record has the slot's bit. Either the access sees the window gone, or
// the removal sees the access and waits for it, so a device is never reached after
// UnmapIoWindow returns. The expensive half of that handshake falls on the rare removal.
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
    std::atomic<IoDataRun*> run{nullptr};
    std::atomic<bool> claimed{false};  // owned by a window (or being set up or torn down)
};

constexpr size_t kWindowSlots = 64;
constexpr size_t kBitsPerWord = sizeof(uintptr_t) * 8;

// A thread's accesses in progress, one bit per slot (nested accesses keep the outer bits).
// Records are never freed: a thread that ends hands its record to the next thread.
struct alignas(64) ReaderRecord {
    std::atomic<uintptr_t> inside[kWindowSlots / kBitsPerWord]{};
    // A word moving through a data run: the slot's index + 1, else 0. Such a word never calls
    // out, so waiting for it cannot wait on anything the waiter holds.
    std::atomic<uintptr_t> inRun{0};
    std::atomic<bool> taken{true};
    ReaderRecord* next = nullptr;
};

// The window a thread used last. Window addresses are never reused, so the window is still
// there exactly when its slot still holds base.
struct WindowCache {
    uintptr_t base;
    uintptr_t size;  // 0: nothing cached
    const WindowSlot* slot;
    IoDevice* device;
    std::atomic<uintptr_t>* word;  // this thread's word of the slot's bit
    uintptr_t bit;
    bool fenced;  // no process-wide barrier available: announce with a full fence instead
    IoDataRun* run;  // the device's data run, null when it has none
    uintptr_t runAddress;  // its register's address
    ReaderRecord* record;  // this thread's
    uintptr_t runTag;  // what inRun holds while a word moves through this window's run
};

// The slow path of an access: finds the window that holds address, sets this thread's bit for
// it (previous gets the word before) and refills cache. False when no window holds address.
bool EnterWindow(uintptr_t address, WindowCache& cache, uintptr_t& previous);

// Claims a slot for [base, base + size) reaching device; false when every slot is taken.
bool PublishWindow(uintptr_t base, uint32_t size, IoDevice& device);
// Takes the window at base out of the table and waits for accesses through it to end (except
// this thread's own: a device may pull its card from inside an access).
void WithdrawWindow(uintptr_t base);

// Takes a data run back from its owner (see IoDataRun).
void StopRun(IoDataRun& run);

}  // namespace platform::registers
