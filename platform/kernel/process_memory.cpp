// One address space for every process of the simulated handheld: a caller's pointer needs no
// translation, and the caller's process is this one.
#include <pkfuncs.h>

LPVOID MapPtrToProcess(LPVOID pointer, HANDLE) { return pointer; }

HANDLE GetCallerProcess() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)); }
