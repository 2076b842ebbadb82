// Records kept one per live thread in a list that only grows. A thread claims a free record on
// first use and gives it back when it ends, so the list is as long as the most threads alive at
// once, and a walk over it (the slow side of a lock, or of a window's removal) never meets freed
// memory. Record has `std::atomic<bool> taken` and `Record* next`.
#pragma once

#include <atomic>

namespace platform {

template <class Record>
class ThreadRecords {
public:
    Record* Claim() {
        for (Record* r = First(); r != nullptr; r = r->next) {
            bool expected = false;
            if (!r->taken.load(std::memory_order_relaxed) && r->taken.compare_exchange_strong(expected, true)) {
                return r;
            }
        }
        auto* fresh = new Record;
        fresh->taken.store(true, std::memory_order_relaxed);
        fresh->next = head_.load();
        while (!head_.compare_exchange_weak(fresh->next, fresh)) {
        }
        return fresh;
    }
    static void GiveBack(Record& record) { record.taken.store(false, std::memory_order_release); }
    Record* First() const { return head_.load(std::memory_order_acquire); }

private:
    std::atomic<Record*> head_{nullptr};
};

}  // namespace platform
