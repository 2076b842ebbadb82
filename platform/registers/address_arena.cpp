#include "address_arena.h"

#include <sys/mman.h>

#include <mutex>

namespace platform::registers {
namespace {

constexpr uintptr_t kChunkSize = 1u << 20;
constexpr uintptr_t kAlignment = 16;
constexpr uintptr_t kGap = 16;

struct Arena {
    std::mutex lock;
    uintptr_t next = 0;
    uintptr_t end = 0;
};

Arena& TheArena() {
    static Arena* arena = new Arena;  // outlives every static that might still unmap
    return *arena;
}

uintptr_t ReserveChunk(uintptr_t size) {
    void* chunk = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                       -1, 0);
    return chunk == MAP_FAILED ? 0 : reinterpret_cast<uintptr_t>(chunk);
}

}  // namespace

uintptr_t ReserveWindowAddresses(uint32_t size) {
    const uintptr_t span = (uintptr_t{size} + kGap + kAlignment - 1) & ~(kAlignment - 1);
    if (span > kChunkSize / 4) return ReserveChunk(span);
    Arena& arena = TheArena();
    std::lock_guard hold(arena.lock);
    if (arena.end - arena.next < span) {
        // The rest of the old chunk stays reserved and unused: addresses are never reused.
        const uintptr_t chunk = ReserveChunk(kChunkSize);
        if (chunk == 0) return 0;
        arena.next = chunk;
        arena.end = chunk + kChunkSize;
    }
    const uintptr_t base = arena.next;
    arena.next += span;
    return base;
}

}  // namespace platform::registers
