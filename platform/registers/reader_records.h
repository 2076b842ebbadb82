// The threads that access registers, each with its record of the windows it is inside, and
// the barrier that lets a window's removal see them.
#pragma once

#include "window_table.h"

namespace platform::registers {

// The calling thread's record, registered on first use; when the thread ends the record goes
// back to the pool and cache is emptied so that the record is never used from here again.
ReaderRecord& ThisThreadsRecord(WindowCache& cache);

// True where no process-wide barrier is at hand (or under the thread sanitizer, which does
// not model one): readers then announce themselves with sequentially consistent atomics.
// Decided once, before the first window is published.
bool ReadersNeedFences();

// Makes every thread's announcements so far visible here, as a full fence on each of them
// would. Only needed (and only valid) where ReadersNeedFences() is false.
void BarrierOnAllThreads();

// Waits until no thread other than this one has bit set in word of its record.
void WaitForReaders(size_t word, uintptr_t bit);

}  // namespace platform::registers
