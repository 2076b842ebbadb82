// Register access for drivers (the DDK's accessors). On the target these are volatile loads
// and stores; here each reaches the emulated device behind the I/O window that the simulated
// socket mapped at that address.
#pragma once

#include "windef.h"

UCHAR READ_REGISTER_UCHAR(volatile UCHAR* reg);
void WRITE_REGISTER_UCHAR(volatile UCHAR* reg, UCHAR value);
USHORT READ_REGISTER_USHORT(volatile USHORT* reg);
void WRITE_REGISTER_USHORT(volatile USHORT* reg, USHORT value);

namespace platform {

// What an accessor raises when its address lies in no mapped window (the card was pulled):
// the memory-access violation that a driver's guard turns into a result.
struct AccessViolation {
    const volatile void* address;
};

// The driver's guard around register access ("structured fault handling"): runs body and
// answers true when it ran to its end, false when a register access faulted. Faults of any
// other kind pass through.
template <class Body>
bool GuardRegisterAccess(Body&& body) {
    try {
        body();
        return true;
    } catch (const AccessViolation&) {
        return false;
    }
}

}  // namespace platform
