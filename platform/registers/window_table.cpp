#include "window_table.h"

#include <platform/heavy_fence.h>

#include "reader_records.h"

namespace platform::registers {
namespace {

WindowSlot slots[kWindowSlots];
std::atomic<size_t> slotsInUse{0};  // one past the highest slot ever claimed

void NoteSlotInUse(size_t index) {
    size_t seen = slotsInUse.load();
    while (seen < index + 1 && !slotsInUse.compare_exchange_weak(seen, index + 1)) {
    }
}

// Sets this thread's bit for slot when the slot's window holds address and is still there
// once the bit is visible (sequentially consistent, paired with WithdrawWindow).
bool TryEnter(size_t index, uintptr_t address, ReaderRecord& record, WindowCache& cache,
              uintptr_t& previous) {
    WindowSlot& slot = slots[index];
    const uintptr_t base = slot.base.load(std::memory_order_acquire);
    if (base == 0 || address < base || address >= slot.end.load(std::memory_order_acquire)) {
        return false;
    }
    std::atomic<uintptr_t>& word = record.inside[index / kBitsPerWord];
    const uintptr_t bit = uintptr_t{1} << (index % kBitsPerWord);
    previous = word.load(std::memory_order_relaxed);
    word.store(previous | bit);
    if (slot.base.load() != base) {
        word.store(previous, std::memory_order_release);
        return false;
    }
    // Held now: end, device and run stay as they are until this thread's bit is clear.
    IoDataRun* const run = slot.run.load(std::memory_order_acquire);
    cache = WindowCache{base,
                        slot.end.load(std::memory_order_relaxed) - base,
                        &slot,
                        slot.device.load(std::memory_order_acquire),
                        &word,
                        bit,
                        !HeavyFenceAvailable(),
                        run,
                        run != nullptr ? base + run->offset : 0,
                        &record,
                        index + 1};
    return true;
}

}  // namespace

bool EnterWindow(uintptr_t address, WindowCache& cache, uintptr_t& previous) {
    ReaderRecord& record = ThisThreadsRecord(cache);
    cache.size = 0;
    const size_t count = slotsInUse.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        if (TryEnter(i, address, record, cache, previous)) return true;
    }
    return false;
}

bool PublishWindow(uintptr_t base, uint32_t size, IoDevice& device) {
    (void)HeavyFenceAvailable();  // decided before any access can see a window
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
        slots[i].run.store(device.DataRun(), std::memory_order_release);
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
        // Readers announce with a plain store: the barrier on every thread makes each
        // announcement made before it visible here, and each check made after it see base 0.
        if (HeavyFenceAvailable()) HeavyFenceOnAllThreads();
        WaitForReaders(i / kBitsPerWord, uintptr_t{1} << (i % kBitsPerWord), i + 1);
        slot.device.store(nullptr, std::memory_order_relaxed);
        slot.run.store(nullptr, std::memory_order_relaxed);
        slot.end.store(0, std::memory_order_relaxed);
        slot.claimed.store(false, std::memory_order_release);
        return;
    }
}

// The same handshake as a window's removal: the owner announces a word, then checks that the
// run is still its own; this takes the run away, then fences every thread, then waits.
void StopRun(IoDataRun& run) {
    run.owner.store(nullptr);
    if (HeavyFenceAvailable()) HeavyFenceOnAllThreads();
    WaitForRunWords();
}

}  // namespace platform::registers
