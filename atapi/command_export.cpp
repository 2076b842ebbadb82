// Command: the card driver's raw requests.
//   250 drive information (folder name and device kind), no lock
//   251 a packet command with recovery, sense and probe
//   252 the drive is to be given up: wait until the card driver is idle, forget the medium
//   253 withdraw 252
//   254 a packet command, one attempt, nothing else
//   255 reset the drive, no lock
#include <pkfuncs.h>

#include <cstring>

#include "command_engine.h"
#include "qvatapi.h"
#include "socket_lock.h"
#include "task_file.h"

using namespace atapi;

namespace {

enum Request : DWORD {
    REQUEST_DRIVE_INFO = 250,
    REQUEST_PACKET = 251,
    REQUEST_PREPARE_REMOVAL = 252,
    REQUEST_CANCEL_REMOVAL = 253,
    REQUEST_RAW_PACKET = 254,
    REQUEST_RESET = 255,
};

constexpr DWORD FOLDER_NAME_CHARS = 127;  // the reply's room, without the terminator
constexpr DWORD IDLE_POLL_MS = 10;
constexpr DWORD IDLE_POLLS = 999;

bool SocketUsable(DriveContext& context) {
    return SocketStateOf(*context.socket) == SOCKET_STATE_USABLE;
}

// The folder name is copied within the reply's room and always terminated, whatever the card
// driver left in the context.
DWORD DriveInfo(DriveContext& context, CommandRecord& record) {
    DWORD i = 0;
    for (; i < FOLDER_NAME_CHARS && context.folderName[i] != 0; ++i) {
        record.info.folderName[i] = context.folderName[i];
    }
    record.info.folderName[i] = 0;
    record.info.deviceKind = context.deviceKind;
    return 0;
}

enum class Recovery { WithSense, None };

// The packet, its data phase and a seek wait; with recovery the failure is explained by the
// sense data and a success is confirmed by the probe.
DWORD PacketRequest(DriveContext& context, CommandRecord& record, Recovery recovery) {
    PacketCommand& command = record.command;
    const USHORT limit = static_cast<USHORT>(command.length & 0xFFFF);
    const DWORD timeout = command.timeout;
    DWORD result = recovery == Recovery::WithSense
                       ? SendPacketWithRecovery(context, command.packet, limit, timeout)
                       : SendPacket(context, command.packet, limit, timeout);
    if (result == 0 && command.length != 0) {
        BYTE* buffer = static_cast<BYTE*>(MapPtrToProcess(command.buffer, GetCallerProcess()));
        const Direction direction =
            command.direction == 0 ? Direction::FromDevice : Direction::ToDevice;
        result = TransferData(context, buffer, command.length, timeout, direction);
    }
    if (result == 0) result = WaitSeekComplete(context, command.packet[0], timeout);
    if (recovery == Recovery::None) return result;
    if (result != 0) {
        const DWORD sense = EvaluateSense(context);
        if (sense != 0) result = sense;
        std::memcpy(command.senseData, context.senseData, sizeof command.senseData);
        return result;
    }
    return ProbeRegisters(context);
}

DWORD PrepareRemoval(DriveContext& context) {
    {
        SocketLock lock(context);
        context.mediaFlags |= MF_REMOVAL_PENDING;
    }
    for (DWORD polls = 0; polls < IDLE_POLLS && BusyCountOf(context) != 0 && SocketUsable(context);
         ++polls) {
        Sleep(IDLE_POLL_MS);
    }
    context.mediumPresent = 0;
    context.mediaFlags &= ~(MF_MEDIUM_KNOWN | MF_WRITE_PROTECTED);
    return SocketUsable(context) ? 0 : ERROR_BAD_UNIT;
}

bool NeedsRecord(DWORD code) {
    return code == REQUEST_DRIVE_INFO || code == REQUEST_PACKET || code == REQUEST_RAW_PACKET;
}

}  // namespace

CE_EXPORT DWORD Command(DriveContext* context, DWORD code, CommandRecord* record) {
    if (code < REQUEST_DRIVE_INFO || code > REQUEST_RESET) return ERROR_INVALID_PARAMETER;
    if (!Wired(context)) return ERROR_BAD_UNIT;
    if (NeedsRecord(code) && record == nullptr) return ERROR_INVALID_PARAMETER;
    switch (code) {
    case REQUEST_DRIVE_INFO:
        return DriveInfo(*context, *record);
    case REQUEST_PACKET: {
        SocketLock lock(*context);
        std::memset(context->senseData, 0, sizeof context->senseData);
        return PacketRequest(*context, *record, Recovery::WithSense);
    }
    case REQUEST_PREPARE_REMOVAL:
        return PrepareRemoval(*context);
    case REQUEST_CANCEL_REMOVAL: {
        SocketLock lock(*context);
        context->mediaFlags &= ~MF_REMOVAL_PENDING;
        return 0;
    }
    case REQUEST_RAW_PACKET: {
        SocketLock lock(*context);
        return PacketRequest(*context, *record, Recovery::None);
    }
    default:
        return ResetDevice(*context);
    }
}
