#include "reader_records.h"

#include <platform/thread_records.h>

#include <thread>

namespace platform::registers {
namespace {

constinit ThreadRecords<ReaderRecord> records;

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
        ThreadRecords<ReaderRecord>::GiveBack(*record);
    }
};
thread_local RecordReturn recordReturn;

}  // namespace

ReaderRecord& ThisThreadsRecord(WindowCache& cache) {
    if (ownRecord == nullptr) {
        ownRecord = records.Claim();
        // An access from another thread-local's destructor keeps its record to the end.
        if (threadEnding) return *ownRecord;
        recordReturn.record = ownRecord;
        recordReturn.cache = &cache;
    }
    return *ownRecord;
}

void WaitForReaders(size_t word, uintptr_t bit, uintptr_t runTag) {
    for (ReaderRecord* r = records.First(); r != nullptr; r = r->next) {
        if (r == ownRecord) continue;  // this thread's own access ends after the removal
        while ((r->inside[word].load() & bit) != 0 || r->inRun.load() == runTag) {
            std::this_thread::yield();
        }
    }
}

void WaitForRunWords() {
    for (ReaderRecord* r = records.First(); r != nullptr; r = r->next) {
        if (r == ownRecord) continue;
        // Seen clear once is enough: a word that started after the run was stopped does not
        // move through it.
        while (r->inRun.load() != 0) std::this_thread::yield();
    }
}

}  // namespace platform::registers
