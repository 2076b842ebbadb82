#include "bus_error_guard.h"

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

namespace sim {
namespace {

struct Guard {
    sigjmp_buf resume;
};

// Initial-exec: a signal handler may read it without a call into the dynamic loader.
thread_local Guard* guarded __attribute__((tls_model("initial-exec"))) = nullptr;
struct sigaction previous {};

void OnBusError(int signal, siginfo_t* info, void* context) {
    if (Guard* guard = guarded) {
        guarded = nullptr;
        siglongjmp(guard->resume, 1);
    }
    // Not a guarded copy's: handled as if this handler were not there.
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    } else {
        // The faulting access runs again and meets the default action.
        sigaction(SIGBUS, &previous, nullptr);
    }
}

void Install() {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    // SIGBUS stays unblocked in the handler, so sigsetjmp need not save the mask (which would
    // cost a system call per copy); a fault's rare path unblocks it itself.
    action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &previous);
}

}  // namespace

bool CopyUnlessBusError(void* to, const void* from, size_t bytes) {
    static std::once_flag installed;
    std::call_once(installed, Install);
    Guard guard;
    if (sigsetjmp(guard.resume, 0) != 0) {
        // A sanitizer's handler may have run ours with SIGBUS blocked despite SA_NODEFER; the
        // next fault would then end the process.
        sigset_t busError;
        sigemptyset(&busError);
        sigaddset(&busError, SIGBUS);
        pthread_sigmask(SIG_UNBLOCK, &busError, nullptr);
        return false;
    }
    guarded = &guard;
    // The handler must see the guard set for the whole copy: memcpy reads no variable of ours,
    // so without the fences the compiler may drop the first store or move the copy past them.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(to, from, bytes);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    guarded = nullptr;
    return true;
}

}  // namespace sim
