#include <windows.h>

#include <gtest/gtest.h>

namespace {

struct Shared {
    CRITICAL_SECTION lock;
    long counter = 0;  // guarded by lock only: ThreadSanitizer checks the lock really excludes
};

DWORD Increment(LPVOID parameter) {
    auto* shared = static_cast<Shared*>(parameter);
    for (int i = 0; i < 20000; ++i) {
        EnterCriticalSection(&shared->lock);
        EnterCriticalSection(&shared->lock);  // recursive entry by the owner
        ++shared->counter;
        LeaveCriticalSection(&shared->lock);
        LeaveCriticalSection(&shared->lock);
    }
    return 0;
}

TEST(CriticalSection, FitsTheTargetsTwentyBytes) {
    // Five pointer-or-word fields: 20 bytes on the 32-bit target.
    EXPECT_EQ(sizeof(CRITICAL_SECTION), sizeof(void*) == 4 ? 20u : 32u);
}

TEST(CriticalSection, RecursiveAndExclusiveAcrossThreads) {
    Shared shared;
    InitializeCriticalSection(&shared.lock);
    HANDLE threads[3];
    for (auto& thread : threads) thread = CreateThread(nullptr, 0, Increment, &shared, 0, nullptr);
    Increment(&shared);
    for (auto thread : threads) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    EXPECT_EQ(shared.counter, 4 * 20000);
    EXPECT_EQ(shared.lock.LockCount, 0);
    DeleteCriticalSection(&shared.lock);
}

TEST(CriticalSection, HeldLockBlocksAnotherThreadUntilFullyLeft) {
    static Shared shared;
    InitializeCriticalSection(&shared.lock);
    EnterCriticalSection(&shared.lock);
    EnterCriticalSection(&shared.lock);
    HANDLE other = CreateThread(nullptr, 0, [](LPVOID) -> DWORD {
        EnterCriticalSection(&shared.lock);
        const DWORD seen = static_cast<DWORD>(shared.counter);
        LeaveCriticalSection(&shared.lock);
        return seen;
    }, nullptr, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(other, 50), WAIT_TIMEOUT);
    shared.counter = 5;
    LeaveCriticalSection(&shared.lock);
    EXPECT_EQ(WaitForSingleObject(other, 50), WAIT_TIMEOUT);  // still held once
    LeaveCriticalSection(&shared.lock);
    EXPECT_EQ(WaitForSingleObject(other, INFINITE), WAIT_OBJECT_0);
    DWORD seen;
    GetExitCodeThread(other, &seen);
    CloseHandle(other);
    EXPECT_EQ(seen, 5u);
}

}  // namespace
