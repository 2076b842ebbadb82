#include "completion.h"

#include <platform/clock.h>
#include <platform/kernel_object.h>
#include <platform/programs.h>
#include <winbase.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<DWORD> nextThreadId{1};
thread_local DWORD currentThreadId = 0;
// The program a thread runs for; threads it creates belong to the same program.
thread_local HINSTANCE currentProgram = nullptr;

class ThreadObject final : public platform::KernelObject {
public:
    DWORD id = 0;
    platform::Completion completion;

    DWORD Wait(DWORD milliseconds) override { return completion.Wait(milliseconds); }
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
        thread->completion.Finish(start(parameter));
    }).detach();
    return handle;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    auto thread = platform::LookupHandleAs<ThreadObject>(handle);
    if (!thread || exitCode == nullptr) {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = thread->completion.ExitCode();
    return TRUE;
}
