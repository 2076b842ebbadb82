// The DDK register accessors and the window mapping behind them. An address that lies in no
// window raises AccessViolation, as a load from an unmapped page faults on the target.
//
// Every data word comes through here. A word in the middle of a burst, where the device
// offers its data run to this thread, moves into or out of the burst here: a plain store to
// this thread's record, the window's slot and the run's position, no call into the device.
// Any other access to the window this thread used last costs a range check, a plain store to
// the reader record, one load of the window's slot and the device's call.
#include <ceddk.h>
#include <platform/io_window.h>

#include "address_arena.h"
#include "reader_records.h"
#include "window_table.h"

namespace platform::registers {
namespace {

// Initial-exec: a direct thread-pointer access instead of a call to find the thread's block.
constinit thread_local WindowCache cache __attribute__((tls_model("initial-exec"))) = {};

// Sets this thread's bit for the cached window and checks that the window is still there.
inline bool EnterCached(uintptr_t& previous) {
    previous = cache.word->load(std::memory_order_relaxed);
    uintptr_t base;
#ifndef __SANITIZE_THREAD__
    if (!cache.fenced) [[likely]] {
        cache.word->store(previous | cache.bit, std::memory_order_release);
        // The store must stay before the load in program order; the withdrawal's barrier on
        // every thread does what a fence here would.
        std::atomic_signal_fence(std::memory_order_seq_cst);
        base = cache.slot->base.load(std::memory_order_relaxed);
    } else
#endif
    {
        cache.word->store(previous | cache.bit);
        base = cache.slot->base.load();
    }
    if (base == cache.base) [[likely]] return true;
    cache.word->store(previous, std::memory_order_release);
    cache.size = 0;
    return false;
}

// One access: holds the window from construction to destruction (also when the device throws).
class Access {
public:
    explicit Access(const volatile void* reg) {
        const auto address = reinterpret_cast<uintptr_t>(reg);
        if (!(address - cache.base < cache.size && EnterCached(previous_)) &&
            !EnterWindow(address, cache, previous_)) [[unlikely]] {
            throw AccessViolation{reg};
        }
        // Copied out: a device reaching another window from inside this access refills cache.
        device_ = cache.device;
        word_ = cache.word;
        offset_ = static_cast<uint32_t>(address - cache.base);
    }
    ~Access() { word_->store(previous_, std::memory_order_release); }
    Access(const Access&) = delete;
    Access& operator=(const Access&) = delete;

    IoDevice& device() const { return *device_; }
    uint32_t offset() const { return offset_; }

private:
    IoDevice* device_;
    std::atomic<uintptr_t>* word_;
    uintptr_t previous_;
    uint32_t offset_;
};

// A data word through the device's data run, when this is the run's register, this thread
// holds the run and the burst has words left before its last: no call into the device.
// Announced in the record's inRun as an access announces itself in its bit, so a window's
// removal and StopRun both wait for it; it calls nothing, so waiting for it cannot deadlock.
template <class Move>
inline bool ThroughRun(const volatile void* reg, bool toHost, Move move) {
    const auto address = reinterpret_cast<uintptr_t>(reg);
    if (address != cache.runAddress || address - cache.base >= cache.size) return false;
    ReaderRecord& self = *cache.record;
    const std::memory_order announced =
#ifndef __SANITIZE_THREAD__
        !cache.fenced ? std::memory_order_relaxed :
#endif
                      std::memory_order_seq_cst;
    self.inRun.store(cache.runTag, announced);
    // As in EnterCached: the announcement stays before the checks in program order.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    bool moved = false;
    if (cache.slot->base.load(announced) == cache.base) [[likely]] {
        IoDataRun& run = *cache.run;
        uint8_t* const next = run.next.load(std::memory_order_relaxed);
        if (run.owner.load(announced == std::memory_order_relaxed ? std::memory_order_acquire
                                                                   : announced) == &self &&
            next < run.end.load(std::memory_order_relaxed) &&
            run.toHost.load(std::memory_order_relaxed) == toHost) [[likely]] {
            move(next);
            run.next.store(next + 2, std::memory_order_relaxed);
            moved = true;
        }
    }
    self.inRun.store(0, std::memory_order_release);
    return moved;
}

}  // namespace
}  // namespace platform::registers

using platform::registers::Access;
using platform::registers::ThroughRun;

UCHAR READ_REGISTER_UCHAR(volatile UCHAR* reg) {
    Access access(reg);
    return access.device().Read8(access.offset());
}

void WRITE_REGISTER_UCHAR(volatile UCHAR* reg, UCHAR value) {
    Access access(reg);
    access.device().Write8(access.offset(), value);
}

// The device's call is a function of its own, so that a word through the run needs no
// stack frame.
namespace {

__attribute__((noinline)) USHORT ReadWordFromDevice(volatile USHORT* reg) {
    Access access(reg);
    return access.device().Read16(access.offset());
}

__attribute__((noinline)) void WriteWordToDevice(volatile USHORT* reg, USHORT value) {
    Access access(reg);
    access.device().Write16(access.offset(), value);
}

}  // namespace

USHORT READ_REGISTER_USHORT(volatile USHORT* reg) {
    USHORT value = 0;
    if (ThroughRun(reg, true, [&](const uint8_t* word) {
            value = static_cast<USHORT>(word[0] | word[1] << 8);
        })) {
        return value;
    }
    return ReadWordFromDevice(reg);
}

void WRITE_REGISTER_USHORT(volatile USHORT* reg, USHORT value) {
    if (ThroughRun(reg, false, [&](uint8_t* word) {
            word[0] = static_cast<uint8_t>(value);
            word[1] = static_cast<uint8_t>(value >> 8);
        })) {
        return;
    }
    WriteWordToDevice(reg, value);
}

namespace platform {

PUCHAR MapIoWindow(IoDevice& device, uint32_t size) {
    if (size == 0) size = 1;
    const uintptr_t base = registers::ReserveWindowAddresses(size);
    if (base == 0 || !registers::PublishWindow(base, size, device)) return nullptr;
    return reinterpret_cast<PUCHAR>(base);
}

void UnmapIoWindow(PUCHAR base) {
    registers::WithdrawWindow(reinterpret_cast<uintptr_t>(base));
}

const void* ThisThreadsIoToken() { return &registers::ThisThreadsRecord(registers::cache); }

void StopIoDataRun(IoDataRun& run) { registers::StopRun(run); }

}  // namespace platform
