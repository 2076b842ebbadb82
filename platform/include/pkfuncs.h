// Kernel services for drivers: translating a caller's buffer address. Every process shares one
// address space here, so a mapped pointer is the pointer itself.
#pragma once

#include "windef.h"

LPVOID MapPtrToProcess(LPVOID pointer, HANDLE process);
HANDLE GetCallerProcess();
