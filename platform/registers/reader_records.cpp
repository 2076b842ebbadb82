#include "reader_records.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#if defined(__linux__) && !defined(__SANITIZE_THREAD__)
#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>
#define TANDEL_HAVE_MEMBARRIER 1
#endif

namespace platform::registers {
namespace {

std::atomic<ReaderRecord*> records{nullptr};  // a list that only grows; records are reused

constinit thread_local ReaderRecord* ownRecord = nullptr;
constinit thread_local bool threadEnding = false;

// Gives the record back when its thread ends.
struct RecordReturn {
    ReaderRecord* record = nullptr;
    WindowCache* cache = nullptr;
    ~RecordReturn() {
        threadEnding = true;
        if (record == nullptr) return;
        cache->size = 0;
        ownRecord = nullptr;
        record->taken.store(false, std::memory_order_release);
    }
};
thread_local RecordReturn recordReturn;

ReaderRecord* ClaimRecord() {
    for (ReaderRecord* r = records.load(std::memory_order_acquire); r != nullptr; r = r->next) {
        bool expected = false;
        if (!r->taken.load(std::memory_order_relaxed) && r->taken.compare_exchange_strong(expected, true)) {
            return r;
        }
    }
    auto* fresh = new ReaderRecord;
    fresh->next = records.load();
    while (!records.compare_exchange_weak(fresh->next, fresh)) {
    }
    return fresh;
}

#ifdef TANDEL_HAVE_MEMBARRIER
long Membarrier(int command) { return syscall(__NR_membarrier, command, 0, 0); }

bool RegisterForBarriers() {
    const long commands = Membarrier(MEMBARRIER_CMD_QUERY);
    return commands > 0 && (commands & MEMBARRIER_CMD_PRIVATE_EXPEDITED) != 0 &&
           Membarrier(MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED) == 0;
}
#endif

}  // namespace

ReaderRecord& ThisThreadsRecord(WindowCache& cache) {
    if (ownRecord == nullptr) {
        ownRecord = ClaimRecord();
        // An access from another thread-local's destructor keeps its record to the end.
        if (threadEnding) return *ownRecord;
        recordReturn.record = ownRecord;
        recordReturn.cache = &cache;
    }
    return *ownRecord;
}

bool ReadersNeedFences() {
#ifdef TANDEL_HAVE_MEMBARRIER
    static const bool needed = !RegisterForBarriers();
    return needed;
#else
    return true;
#endif
}

void BarrierOnAllThreads() {
#ifdef TANDEL_HAVE_MEMBARRIER
    // Readers rely on it from the first window on; going on without it could reach a
    // device after its removal, so a refusal after registration is fatal.
    if (Membarrier(MEMBARRIER_CMD_PRIVATE_EXPEDITED) != 0) {
        std::fputs("register windows: process-wide memory barrier refused\n", stderr);
        std::abort();
    }
#endif
}

void WaitForReaders(size_t word, uintptr_t bit) {
    for (ReaderRecord* r = records.load(std::memory_order_acquire); r != nullptr; r = r->next) {
        if (r == ownRecord) continue;  // this thread's own access ends after the removal
        while ((r->inside[word].load() & bit) != 0) std::this_thread::yield();
    }
}

}  // namespace platform::registers
