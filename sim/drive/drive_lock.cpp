#include "drive_lock.h"

#include <platform/heavy_fence.h>
#include <platform/thread_records.h>

#include <thread>

namespace sim {
namespace {

constinit platform::ThreadRecords<DriveLockRecord> records;

constinit thread_local bool threadEnding = false;

// Gives the record back when its thread ends.
struct RecordReturn {
    DriveLockRecord* record = nullptr;
    ~RecordReturn() {
        threadEnding = true;
        if (record == nullptr) return;
        drive_lock_detail::thisThread = nullptr;
        platform::ThreadRecords<DriveLockRecord>::GiveBack(*record);
    }
};
thread_local RecordReturn recordReturn;

DriveLockRecord& ThisThreadsRecord() {
    DriveLockRecord*& own = drive_lock_detail::thisThread;
    if (own == nullptr) {
        own = records.Claim();
        // A lock taken from another thread-local's destructor keeps its record to the end.
        if (!threadEnding) recordReturn.record = own;
    }
    return *own;
}

}  // namespace

DriveLock::DriveLock() : heavyFence_(platform::HeavyFenceAvailable()) {}

void DriveLock::LockSlow() {
    DriveLockRecord& self = ThisThreadsRecord();
    slow_.lock();
    // Only the owner can be inside by the fast path: any other thread's attempt finds the
    // bias is not its own. Taking the bias away first makes every attempt from now on fail;
    // the fence on every thread then shows an attempt already made, and the wait lets it end.
    DriveLockRecord* const owner = owner_.load(std::memory_order_relaxed);
    owner_.store(nullptr);
    if (owner == nullptr || owner == &self) return;
    if (heavyFence_) platform::HeavyFenceOnAllThreads();
    while (owner->inside.load() == this) std::this_thread::yield();
}

void DriveLock::UnlockSlow() {
    // The bias moves to this thread: if it keeps taking the lock, it enters fast from now on.
    owner_.store(drive_lock_detail::thisThread, std::memory_order_release);
    slow_.unlock();
}

}  // namespace sim
