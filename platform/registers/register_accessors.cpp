// The DDK register accessors and the window mapping behind them. An address that lies in no
// window raises AccessViolation, as a load from an unmapped page faults on the target.
#include <ceddk.h>
#include <platform/io_window.h>

#include "address_arena.h"
#include "window_table.h"

using platform::registers::WindowAccess;

UCHAR READ_REGISTER_UCHAR(volatile UCHAR* reg) {
    WindowAccess access(reg);
    return access.device().Read8(access.offset());
}

void WRITE_REGISTER_UCHAR(volatile UCHAR* reg, UCHAR value) {
    WindowAccess access(reg);
    access.device().Write8(access.offset(), value);
}

USHORT READ_REGISTER_USHORT(volatile USHORT* reg) {
    WindowAccess access(reg);
    return access.device().Read16(access.offset());
}

void WRITE_REGISTER_USHORT(volatile USHORT* reg, USHORT value) {
    WindowAccess access(reg);
    access.device().Write16(access.offset(), value);
}

namespace platform {

PUCHAR MapIoWindow(IoDevice& device, uint32_t size) {
    if (size == 0) size = 1;
    const uintptr_t base = registers::ReserveWindowAddresses(size);
    if (base == 0 || !registers::PublishWindow(base, size, device)) return nullptr;
    return reinterpret_cast<PUCHAR>(base);
}

void UnmapIoWindow(PUCHAR base) {
    registers::WithdrawWindow(reinterpret_cast<uintptr_t>(base));
}

}  // namespace platform
