// The drive's lock keeps every pattern of threads out of each other: the bias moving back and
// forth between threads that take turns, a thread taking a second lock from inside the first
// (nested: its second lock goes the slow way), and threads that end while the lock is still
// biased to them, their records then taken over by new threads. The counters are plain
// integers: a lost update shows as a wrong total here and as a race under the thread sanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/drive/drive_lock.h"

namespace sim_test {
namespace {

struct Guarded {
    sim::DriveLock lock;
    uint64_t count = 0;
    uint64_t mirror = 0;  // always equal to count outside the lock
};

TEST(DriveLock, KeepsThreadsOutOfEachOtherWhileTheBiasMoves) {
    constexpr int kRounds = 3, kThreads = 3, kTurns = 3000;
    Guarded outer, inner;
    int torn = 0;  // only written under outer's lock
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::thread> threads;
        std::atomic<int> waiting{kThreads};
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                // All start together, so that they contend from the first turn.
                --waiting;
                while (waiting > 0) std::this_thread::yield();
                for (int turn = 0; turn < kTurns; ++turn) {
                    std::lock_guard holdOuter(outer.lock);
                    if (outer.count != outer.mirror) ++torn;
                    ++outer.count;
                    if ((turn + t) % 3 == 0) {
                        std::lock_guard holdInner(inner.lock);
                        ++inner.count;
                        ++inner.mirror;
                    }
                    // Now and then a thread keeps the lock a while, so others pile up on it
                    // and one let in would find the counters apart.
                    if (turn % 64 == 0) std::this_thread::yield();
                    ++outer.mirror;
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
        // A thread of this round owned the bias when it ended; the next round's threads take
        // over the records (and so maybe the bias) of this one's.
    }
    // And a thread that takes only the inner lock while the main thread holds the outer one.
    {
        std::lock_guard holdOuter(outer.lock);
        std::thread([&] {
            std::lock_guard holdInner(inner.lock);
            ++inner.count;
            ++inner.mirror;
        }).join();
    }
    constexpr uint64_t kAll = uint64_t{kRounds} * kThreads * kTurns;
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(outer.count, kAll);
    EXPECT_EQ(outer.mirror, kAll);
    EXPECT_EQ(inner.count, inner.mirror);
    EXPECT_EQ(inner.count, kAll / 3 + 1);
}

}  // namespace
}  // namespace sim_test
