// The ATA/ATAPI protocol of the library: status waits, PACKET commands in programmed I/O, data
// phases driven by the device's byte count, sense evaluation, recovery and resets. Every
// operation works on one drive context with the socket's lock already held by the export that
// started it, and returns one of the library's result values.
#pragma once

#include <drive/drive_context.h>

namespace atapi {

// Waits until every wanted bit (low byte of wanted) is observed. timeout 0 waits without end.
// With WS_IGNORE_ERROR a device showing ERR while not busy counts as ready.
DWORD WaitStatus(DriveContext& context, DWORD timeout, DWORD wanted);

// Issues the 12-byte packet with the byte count limit and waits timeout ms for the phase
// after it: data (limit not 0) or completion (limit 0).
DWORD SendPacket(DriveContext& context, const BYTE* packet, USHORT limit, DWORD timeout);

// SendPacket with up to four attempts, each failure answered through the sense data and, when
// that gives no usable answer, a device reset.
DWORD SendPacketWithRecovery(DriveContext& context, const BYTE* packet, USHORT limit,
                             DWORD timeout);

enum class Direction : DWORD { FromDevice = 0, ToDevice = 1 };

// Moves total bytes in the bursts the device announces, then waits for completion.
DWORD TransferData(DriveContext& context, BYTE* buffer, DWORD total, DWORD timeout,
                   Direction direction);

// Waits for seek completion after SEEK(6) and SEEK(10); other opcodes need no wait.
DWORD WaitSeekComplete(DriveContext& context, BYTE opcode, DWORD timeout);

// REQUEST SENSE into a 26-byte buffer; a sense with a non-zero ASC is kept in senseData.
DWORD RequestSense(DriveContext& context, BYTE* sense);

// Asks for sense until one decides the outcome (at most 99 times) and updates the medium
// state from it.
DWORD EvaluateSense(DriveContext& context);

// Resets the selected device and waits for it to come back.
DWORD ResetDevice(DriveContext& context);

// Starts a reset of whatever device is selected and does not wait for it.
void StartReset(DriveContext& context);

// Writes 0x55/0xAA to registers 4/5 and reads them back: a drive still answers in the socket.
DWORD ProbeRegisters(DriveContext& context);

// Time-out in ms for a packet command, by opcode.
DWORD CommandTimeout(BYTE opcode);

// Fixed time-outs (ms).
inline constexpr DWORD TIMEOUT_SHORT = 300;
inline constexpr DWORD TIMEOUT_MEDIA_STATUS_IDLE = 30;
inline constexpr DWORD TIMEOUT_INIT_IDLE = 10;
inline constexpr DWORD TIMEOUT_RESET = 5000;

}  // namespace atapi
