// The PACKET command and its data phase.
#include <algorithm>

#include "command_engine.h"
#include "register_access.h"
#include "task_file.h"

namespace atapi {

DWORD CommandTimeout(BYTE opcode) {
    switch (opcode) {
    case OP_FORMAT_UNIT:
        return 900000;
    case OP_READ_6:
    case OP_WRITE_6:
    case OP_READ_10:
    case OP_WRITE_10:
    case OP_READ_12:
    case OP_WRITE_12:
        return 30000;
    case OP_START_STOP_UNIT:
        return 15000;
    default:
        return 11000;
    }
}

DWORD SendPacket(DriveContext& context, const BYTE* packet, USHORT limit, DWORD timeout) {
    DWORD result = WaitStatus(context, TIMEOUT_SHORT, WS_IGNORE_ERROR | WS_NOT_BUSY | WS_NO_DRQ);
    if (result != 0) return result;
    // The features register is left alone: PIO, no overlap.
    result = Guarded([&]() -> DWORD {
        WriteRegister(context, REG_DRIVE_SELECT, context.driveSelect);
        WriteRegister(context, REG_BYTE_COUNT_LOW, static_cast<BYTE>(limit & 0xFF));
        WriteRegister(context, REG_BYTE_COUNT_HIGH, static_cast<BYTE>(limit >> 8));
        WriteRegister(context, REG_COMMAND, ATA_PACKET);
        return 0;
    });
    if (result != 0) return result;
    result = WaitStatus(context, TIMEOUT_SHORT, WS_DRQ);
    if (result != 0) return result;
    result = WriteData(context, packet, PACKET_BYTES);
    if (result != 0) return result;
    return WaitStatus(context, timeout,
                      limit != 0 ? WS_NOT_BUSY | WS_DRQ : WS_NOT_BUSY | WS_NO_DRQ);
}

DWORD TransferData(DriveContext& context, BYTE* buffer, DWORD total, DWORD timeout,
                   Direction direction) {
    if (total == 0) return 0;
    for (DWORD remaining = total;;) {
        DWORD announced = 0;
        DWORD result = ReadByteCount(context, announced);
        if (result != 0) return result;
        // DRQ with nothing announced would never advance: the device left the data phase.
        if (announced == 0) return ERR_PHASE;
        const DWORD moved = std::min(announced, remaining);
        result = direction == Direction::FromDevice ? ReadData(context, buffer, moved)
                                                    : WriteData(context, buffer, moved);
        if (result != 0) return result;
        if (moved == remaining) {
            // A device that announced more than remained still shows DRQ here: ERR_PHASE.
            return WaitStatus(context, timeout, WS_NOT_BUSY | WS_NO_DRQ);
        }
        if (buffer != nullptr) buffer += moved;
        remaining -= moved;
        result = WaitStatus(context, timeout, WS_NOT_BUSY | WS_DRQ);
        if (result == ERR_PHASE) return ERR_SHORT_TRANSFER;
        if (result != 0) return result;
    }
}

DWORD WaitSeekComplete(DriveContext& context, BYTE opcode, DWORD timeout) {
    if (opcode != OP_SEEK_6 && opcode != OP_SEEK_10) return 0;
    return WaitStatus(context, timeout, WS_NOT_BUSY | WS_SEEK_DONE);
}

}  // namespace atapi
