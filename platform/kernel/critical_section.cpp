// A recursive lock kept entirely in the CRITICAL_SECTION record: a three-state futex word
// (free, held, held with waiters) plus the owner's thread id and the recursion depth.
#include <winbase.h>

#include <atomic>

namespace {

std::atomic_ref<LONG> LockWord(LPCRITICAL_SECTION section) {
    return std::atomic_ref<LONG>(section->LockCount);
}

std::atomic_ref<HANDLE> Owner(LPCRITICAL_SECTION section) {
    return std::atomic_ref<HANDLE>(section->OwnerThread);
}

HANDLE Me() { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(GetCurrentThreadId())); }

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    *section = CRITICAL_SECTION{};
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    *section = CRITICAL_SECTION{};
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    HANDLE me = Me();
    // Only this thread can have stored its own id, so a relaxed read decides recursion.
    if (Owner(section).load(std::memory_order_relaxed) == me) {
        ++section->dwContentions;
        return;
    }
    auto word = LockWord(section);
    LONG state = 0;
    if (!word.compare_exchange_strong(state, 1, std::memory_order_acquire)) {
        if (state != 2) state = word.exchange(2, std::memory_order_acquire);
        while (state != 0) {
            word.wait(2, std::memory_order_relaxed);
            state = word.exchange(2, std::memory_order_acquire);
        }
    }
    Owner(section).store(me, std::memory_order_relaxed);
    section->dwContentions = 1;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    if (Owner(section).load(std::memory_order_relaxed) != Me()) return;  // not ours: ignore
    if (--section->dwContentions > 0) return;
    Owner(section).store(nullptr, std::memory_order_relaxed);
    if (LockWord(section).exchange(0, std::memory_order_release) == 2) {
        LockWord(section).notify_one();
    }
}
