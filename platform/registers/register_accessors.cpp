// The DDK register accessors and the window mapping behind them. An address that lies in no
// window raises AccessViolation, as a load from an unmapped page faults on the target.
//
// Every data word comes through here, so the common case (the same window as this thread's
// last access) costs a range check, a plain store to this thread's reader record, one load of
// the window's slot and the device's call.
#include <ceddk.h>
#include <platform/io_window.h>

#include "address_arena.h"
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

}  // namespace
}  // namespace platform::registers

using platform::registers::Access;

UCHAR READ_REGISTER_UCHAR(volatile UCHAR* reg) {
    Access access(reg);
    return access.device().Read8(access.offset());
}

void WRITE_REGISTER_UCHAR(volatile UCHAR* reg, UCHAR value) {
    Access access(reg);
    access.device().Write8(access.offset(), value);
}

USHORT READ_REGISTER_USHORT(volatile USHORT* reg) {
    Access access(reg);
    return access.device().Read16(access.offset());
}

void WRITE_REGISTER_USHORT(volatile USHORT* reg, USHORT value) {
    Access access(reg);
    access.device().Write16(access.offset(), value);
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

}  // namespace platform
