// Kernel functions that drivers call on the buffers their callers hand them. Every caller shares
// one address space here, so a pointer needs no translation.
#pragma once

#include "windef.h"

HANDLE GetCallerProcess();
HANDLE GetCurrentProcess();
LPVOID MapPtrToProcess(LPVOID pointer, HANDLE process);
