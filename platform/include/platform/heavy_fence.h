// A memory fence that one thread puts on every thread of the process. It lets a lock or a
// table whose common side runs all the time pay nothing but a plain store and a compiler fence
// there, and put the whole cost of ordering on its rare other side, which calls
// HeavyFenceOnAllThreads() between its own store and its load of the common side's flag.
#pragma once

namespace platform {

// True where the kernel offers such a fence (Linux's membarrier, private expedited) and the
// process is registered for it; false elsewhere and under the thread sanitizer, which does not
// model it: both sides then order their store and load with sequentially consistent atomics.
// Decided on the first call, once for the process; call it before the common side first relies
// on the answer.
bool HeavyFenceAvailable();

// Acts as a full memory fence on every thread of the process (and on this one). Only valid
// where HeavyFenceAvailable() is true; aborts if the kernel refuses it after registration, since
// going on unordered could break exclusion.
void HeavyFenceOnAllThreads();

}  // namespace platform
