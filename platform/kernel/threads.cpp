#include <platform/clock.h>
#include <platform/kernel_object.h>
#include <platform/programs.h>
#include <winbase.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

std::atomic<DWORD> nextThreadId{1};
thread_local DWORD currentThreadId = 0;
// The program a thread runs for; threads it creates belong to the same program.
thread_local HINSTANCE currentProgram = nullptr;

class ThreadObject final : public platform::KernelObject {
public:
    DWORD id = 0;

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

    DWORD Wait(DWORD milliseconds) override {
        std::unique_lock lock(mutex_);
        if (milliseconds == INFINITE) {
            done_.wait(lock, [&] { return finished_; });
            return WAIT_OBJECT_0;
        }
        auto& clock = platform::CurrentClock();
        if (!clock.IsVirtual()) {
            bool ok = done_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                     [&] { return finished_; });
            return ok ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
        }
        // On the virtual clock a timed wait is a run of 1 ms sleeps: time moves while the
        // waiter waits, and a wait for a thread that never ends still ends.
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

}  // namespace

namespace platform {
HINSTANCE CurrentProgramInstance() { return currentProgram; }
void SetCurrentProgramInstance(HINSTANCE instance) { currentProgram = instance; }
}  // namespace platform

DWORD GetCurrentThreadId() {
    if (currentThreadId == 0) currentThreadId = nextThreadId.fetch_add(1);
    return currentThreadId;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
    if (start == nullptr || creationFlags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<ThreadObject>();
    thread->id = nextThreadId.fetch_add(1);
    HANDLE handle = platform::RegisterHandle(thread);
    if (threadId) *threadId = thread->id;
    // The thread holds its own object, so closing the handle early lets it run on.
    std::thread([thread, start, parameter, program = currentProgram] {
        currentThreadId = thread->id;
        currentProgram = program;
        thread->Finish(start(parameter));
    }).detach();
    return handle;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    auto thread = platform::LookupHandleAs<ThreadObject>(handle);
    if (!thread || exitCode == nullptr) {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = thread->ExitCode();
    return TRUE;
}
