// One address space holds every caller here: a caller's pointer is already the driver's.
#include <pkfuncs.h>

namespace {
// CE's pseudo handle of the current process.
HANDLE const kThisProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x42));
}  // namespace

HANDLE GetCallerProcess() { return kThisProcess; }

HANDLE GetCurrentProcess() { return kThisProcess; }

LPVOID MapPtrToProcess(LPVOID pointer, HANDLE) { return pointer; }
