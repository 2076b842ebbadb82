#include <platform/clock.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> entered{false};
    std::atomic<bool> left{false};  // the thread's last touch of the gate
};

DWORD WaitAtGate(LPVOID parameter) {
    auto* gate = static_cast<Gate*>(parameter);
    gate->entered = true;
    while (!gate->open) std::this_thread::yield();
    gate->left = true;
    return 7;
}

TEST(Threads, ExitCodeReads259WhileRunningThenTheThreadsResult) {
    Gate gate;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    while (!gate.entered) std::this_thread::yield();

    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(code, 259u);

    gate.open = true;
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, ClosingTheHandleEarlyLetsTheThreadRunOn) {
    Gate gate;
    HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr);
    ASSERT_TRUE(CloseHandle(thread));
    gate.open = true;
    // The handle is gone; the thread still ends on its own.
    SetLastError(kSentinel);
    DWORD code;
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(GetLastError(), 6u);
    while (!gate.left) std::this_thread::yield();
}

TEST(Threads, BadHandlesGiveError6) {
    HANDLE bogus = reinterpret_cast<HANDLE>(0x12345);
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseHandle(bogus));
    EXPECT_EQ(GetLastError(), 6u);
    SetLastError(kSentinel);
    EXPECT_EQ(WaitForSingleObject(bogus, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), 6u);
    SetLastError(kSentinel);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), 87u);
}

TEST(Threads, DoubleCloseFailsTheSecondTime) {
    Gate gate;
    gate.open = true;
    HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(thread));
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseHandle(thread));
    EXPECT_EQ(GetLastError(), 6u);
}

TEST(Threads, LastErrorBelongsToEachThread) {
    SetLastError(111);
    HANDLE thread = CreateThread(nullptr, 0, [](LPVOID) -> DWORD {
        const DWORD seen = GetLastError();
        SetLastError(222);
        return seen;
    }, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD seenByThread;
    GetExitCodeThread(thread, &seenByThread);
    CloseHandle(thread);
    EXPECT_EQ(seenByThread, 0u);
    EXPECT_EQ(GetLastError(), 111u);
}

TEST(Threads, TimedWaitOnTheVirtualClockEndsWithoutTheThread) {
    auto& clock = platform::UseVirtualClock(platform::MakeSystemTime(2000, 1, 1));
    Gate gate;
    HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr);
    const DWORD before = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(thread, 250), WAIT_TIMEOUT);
    EXPECT_GE(GetTickCount() - before, 250u);
    EXPECT_GE(clock.ElapsedMilliseconds(), 250u);
    gate.open = true;
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    platform::UseRealClock();
}

}  // namespace
