// The threads that access registers, each with its record of the windows it is inside.
#pragma once

#include "window_table.h"

namespace platform::registers {

// The calling thread's record, registered on first use; when the thread ends the record goes
// back to the pool and cache is emptied so that the record is never used from here again.
ReaderRecord& ThisThreadsRecord(WindowCache& cache);

// Waits until no thread other than this one has bit set in word of its record, nor a word
// moving through the slot's data run (runTag).
void WaitForReaders(size_t word, uintptr_t bit, uintptr_t runTag);
// Waits until every thread other than this one has been seen with no word moving through a
// data run.
void WaitForRunWords();

}  // namespace platform::registers
