// Wall and CPU time of one piece of work, for the benchmarks that set our code against a PC
// tool in one run: the CPU time is the steadier figure on a loaded machine.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace bench_support {

struct Timing {
    double wall = 0;  // seconds
    double cpu = 0;   // user + system seconds, of this process or of the tool it ran
};

// User + system seconds of RUSAGE_SELF or RUSAGE_CHILDREN so far.
double CpuSeconds(int who);

// The run with the median wall time.
Timing Median(std::vector<Timing> runs);

// Times work() against the CPU time of `who`; a failed run ends the program, since its
// figures would mean nothing.
template <typename Work>
Timing Measure(const char* program, int who, Work work) {
    const double cpu = CpuSeconds(who);
    const auto start = std::chrono::steady_clock::now();
    if (!work()) {
        std::fprintf(stderr, "%s: a run failed\n", program);
        std::exit(1);
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    return {wall.count(), CpuSeconds(who) - cpu};
}

}  // namespace bench_support
