// Addresses for I/O windows: real address ranges reserved without access rights, so every
// window gets an address that no memory and no other window will ever have, and a stray
// dereference faults instead of touching memory.
#pragma once

#include <cstdint>

namespace platform::registers {

// Reserves size bytes of address space that is never handed out again, followed by a gap so
// that one past the end of a window lies in no window. Returns 0 when nothing can be reserved.
uintptr_t ReserveWindowAddresses(uint32_t size);

}  // namespace platform::registers
