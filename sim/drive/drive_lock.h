// The drive's lock. Every register access takes it, and for long stretches one thread takes
// it every time (the thread running a backup moves every data word through the registers);
// another thread comes now and then (the card driver's media watch, a test throwing a switch
// or looking at the drive). So the lock is biased to the thread that took it last:
//
// - That thread enters by storing the lock's address in its own record ("inside"), a compiler
//   fence, and one load that finds the lock still biased to it; it leaves with a plain store.
//   No atomic read-modify-write, no fence instruction.
// - Any other thread takes the slow path: a mutex, the bias cleared, a memory fence on every
//   thread of the process (platform/heavy_fence.h), a wait until the biased thread's record
//   no longer names the lock, and on leaving the bias moves to it, so a thread that keeps
//   accessing enters fast from its second access on. Two threads taking turns stay correct,
//   each turn paying the process-wide fence.
//
// The handshake is the register windows' one: the fast side stores, then loads; the slow side
// stores, fences every thread, then loads; so either the fast side sees the bias gone or the
// slow side sees it inside and waits. Where no process-wide fence exists (or under the thread
// sanitizer, which does not model it) the fast side stores and loads with sequentially
// consistent atomics instead, about the cost of the atomic exchange a spin lock would take.
//
// A thread already inside one lock by the fast path takes any other lock by the slow path
// (its record names one lock at a time). A thread that ends gives its record back for the next
// thread that needs one, which may then find itself the bias owner: it is the record's only
// user from then on.
#pragma once

#include <atomic>
#include <mutex>

namespace sim {

class DriveLock;

// One per thread that took a drive lock (claimed on its first entry, which is always a slow
// one); never freed, reused after its thread ends.
struct alignas(64) DriveLockRecord {
    std::atomic<const DriveLock*> inside{nullptr};  // the lock this thread holds by the fast path
    std::atomic<bool> taken{true};
    DriveLockRecord* next = nullptr;
};

namespace drive_lock_detail {
// Initial-exec: a direct thread-pointer access (the drive library is linked into programs,
// never loaded later). Null until the thread's first slow path.
inline constinit thread_local DriveLockRecord* thisThread
    __attribute__((tls_model("initial-exec"))) = nullptr;
}  // namespace drive_lock_detail

class DriveLock {
public:
    DriveLock();
    DriveLock(const DriveLock&) = delete;
    DriveLock& operator=(const DriveLock&) = delete;

    void lock() {
        DriveLockRecord* self = drive_lock_detail::thisThread;
        if (self != nullptr && self->inside.load(std::memory_order_relaxed) == nullptr &&
            EnterBiased(*self)) [[likely]] {
            return;
        }
        LockSlow();
    }

    void unlock() {
        DriveLockRecord* self = drive_lock_detail::thisThread;
        if (self != nullptr && self->inside.load(std::memory_order_relaxed) == this) [[likely]] {
            self->inside.store(nullptr, std::memory_order_release);
            return;
        }
        UnlockSlow();
    }

    // The fast path alone, for a caller with a slower way of its own: the thread's record when
    // it entered by the bias (leave with UnlockBiased), else null and the lock not taken.
    DriveLockRecord* TryLockBiased() {
        DriveLockRecord* self = drive_lock_detail::thisThread;
        if (self != nullptr && self->inside.load(std::memory_order_relaxed) == nullptr &&
            EnterBiased(*self)) [[likely]] {
            return self;
        }
        return nullptr;
    }
    static void UnlockBiased(DriveLockRecord& self) {
        self.inside.store(nullptr, std::memory_order_release);
    }

private:
    bool EnterBiased(DriveLockRecord& self) {
        DriveLockRecord* owner;
#ifndef __SANITIZE_THREAD__
        if (heavyFence_) [[likely]] {
            self.inside.store(this, std::memory_order_relaxed);
            // The store must stay before the load in program order; the slow side's fence on
            // every thread does what a fence here would.
            std::atomic_signal_fence(std::memory_order_seq_cst);
            owner = owner_.load(std::memory_order_acquire);
        } else
#endif
        {
            self.inside.store(this);
            owner = owner_.load();
        }
        if (owner == &self) [[likely]] return true;
        self.inside.store(nullptr, std::memory_order_release);
        return false;
    }

    void LockSlow();
    void UnlockSlow();

    // The thread that may enter fast; null while a slow-path thread holds the lock (and before
    // anyone took it). Written only under slow_.
    std::atomic<DriveLockRecord*> owner_{nullptr};
    const bool heavyFence_;
    std::mutex slow_;
};

}  // namespace sim
