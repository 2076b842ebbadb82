// Register access for one drive: the only code of the library that forms register addresses.
// Everything reaches the drive through the platform's register accessors, so the protocol
// above runs unchanged against real hardware or the emulated drive.
#pragma once

#include <ceddk.h>
#include <drive/drive_context.h>

namespace atapi {

// Runs body (which returns a result) inside the guard: a register access on a vanished window
// (the card was pulled) ends it with 20; the context stays as it was at the fault.
template <class Body>
DWORD Guarded(Body&& body) {
    DWORD result = 0;
    if (!platform::GuardRegisterAccess([&] { result = body(); })) return ERROR_BAD_UNIT;
    return result;
}

// Unguarded single accesses: callers run them inside Guarded.
BYTE ReadRegister(DriveContext& context, DWORD index);
void WriteRegister(DriveContext& context, DWORD index, BYTE value);
void WriteControl(DriveContext& context, BYTE value);

// Moves count bytes through the data register, 8 or 16 bits at a time as wideDataPath says.
// Without a buffer ReadData discards and WriteData sends the 0xDD filler. An odd count moves
// one byte more across the interface (see the .cpp). Returns 0 or 20.
DWORD ReadData(DriveContext& context, BYTE* buffer, DWORD count);
DWORD WriteData(DriveContext& context, const BYTE* buffer, DWORD count);

// The byte count the device announces: register 4, then register 5. Returns 0 or 20.
DWORD ReadByteCount(DriveContext& context, DWORD& count);

}  // namespace atapi
