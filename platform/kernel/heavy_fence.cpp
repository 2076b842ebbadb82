#include <platform/heavy_fence.h>

#include <cstdio>
#include <cstdlib>

#if defined(__linux__) && !defined(__SANITIZE_THREAD__)
#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>
#define TANDEL_HAVE_MEMBARRIER 1
#endif

namespace platform {
namespace {

#ifdef TANDEL_HAVE_MEMBARRIER
long Membarrier(int command) { return syscall(__NR_membarrier, command, 0, 0); }

bool RegisterForHeavyFences() {
    const long commands = Membarrier(MEMBARRIER_CMD_QUERY);
    return commands > 0 && (commands & MEMBARRIER_CMD_PRIVATE_EXPEDITED) != 0 &&
           Membarrier(MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED) == 0;
}
#endif

}  // namespace

bool HeavyFenceAvailable() {
#ifdef TANDEL_HAVE_MEMBARRIER
    static const bool available = RegisterForHeavyFences();
    return available;
#else
    return false;
#endif
}

void HeavyFenceOnAllThreads() {
#ifdef TANDEL_HAVE_MEMBARRIER
    if (Membarrier(MEMBARRIER_CMD_PRIVATE_EXPEDITED) != 0) {
        std::fputs("heavy fence: process-wide memory barrier refused\n", stderr);
        std::abort();
    }
#endif
}

}  // namespace platform
