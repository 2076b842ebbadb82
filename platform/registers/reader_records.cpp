#include "reader_records.h"

#include <thread>

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

void WaitForReaders(size_t word, uintptr_t bit) {
    for (ReaderRecord* r = records.load(std::memory_order_acquire); r != nullptr; r = r->next) {
        if (r == ownRecord) continue;  // this thread's own access ends after the removal
        while ((r->inside[word].load() & bit) != 0) std::this_thread::yield();
    }
}

}  // namespace platform::registers
