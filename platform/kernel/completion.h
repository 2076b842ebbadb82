// The end of a thread or process as its handle sees it: the exit code reads 259 until the end,
// and waits end when it comes. On the virtual clock a timed wait is a run of 1 ms sleeps, so
// time moves while the waiter waits and a wait for something that never ends still ends.
#pragma once

#include <platform/clock.h>
#include <winbase.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class Completion {
public:
    void Finish(DWORD code) {
        std::lock_guard lock(mutex_);
        exitCode_ = code;
        finished_ = true;
        done_.notify_all();
    }

    DWORD ExitCode() {
        std::lock_guard lock(mutex_);
        return exitCode_;
    }

    DWORD Wait(DWORD milliseconds) {
        std::unique_lock lock(mutex_);
        if (milliseconds == INFINITE) {
            done_.wait(lock, [&] { return finished_; });
            return WAIT_OBJECT_0;
        }
        auto& clock = CurrentClock();
        if (!clock.IsVirtual()) {
            const bool ended = done_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                              [&] { return finished_; });
            return ended ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
        }
        for (DWORD waited = 0;; ++waited) {
            if (finished_) return WAIT_OBJECT_0;
            if (waited >= milliseconds) return WAIT_TIMEOUT;
            lock.unlock();
            clock.Sleep(1);
            lock.lock();
            done_.wait_for(lock, std::chrono::microseconds(50), [&] { return finished_; });
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    DWORD exitCode_ = STILL_ACTIVE;
    bool finished_ = false;
};

}  // namespace platform
