// The ATA device's medium, from GET MEDIA STATUS and its error bits.
#include "command_engine.h"
#include "media_check.h"
#include "register_access.h"
#include "task_file.h"

namespace atapi {
namespace {

DWORD FlagsAfter(DriveContext& context, DWORD result) {
    DWORD flags = context.mediaFlags;
    if (result == 0) return flags | MF_MEDIUM_KNOWN;
    if (result != ERR_DEVICE) return flags;
    const BYTE error = ReadRegister(context, REG_ERROR);
    if (error & (ERROR_MEDIUM_CHANGED | ERROR_NO_MEDIUM)) flags &= ~MF_MEDIUM_KNOWN;
    if (error & ERROR_MEDIUM_CHANGED) {
        // The change is reported until acknowledged; nothing to wait for.
        WriteRegister(context, REG_DRIVE_SELECT, context.driveSelect);
        WriteRegister(context, REG_COMMAND, ATA_MEDIA_CHANGE_ACK);
    }
    return flags;
}

DWORD QueryMediaStatus(DriveContext& context) {
    DWORD result = WaitStatus(context, TIMEOUT_MEDIA_STATUS_IDLE,
                              WS_IGNORE_ERROR | WS_NOT_BUSY | WS_NO_DRQ);
    if (result != 0) return result;
    WriteRegister(context, REG_DRIVE_SELECT, context.driveSelect);
    WriteRegister(context, REG_COMMAND, ATA_GET_MEDIA_STATUS);
    result = WaitStatus(context, TIMEOUT_SHORT, WS_NOT_BUSY | WS_NO_DRQ);
    const DWORD flags = FlagsAfter(context, result);
    if (flags != context.mediaFlags) {
        context.mediaFlags = flags;
        context.mediumPresent = (flags & MF_MEDIUM_KNOWN) ? 1 : 0;
    }
    return result;
}

}  // namespace

DWORD ReadAtaMediaStatus(DriveContext& context) {
    DWORD result = 0;
    if (!platform::GuardRegisterAccess([&] { result = QueryMediaStatus(context); })) {
        result = ERROR_BAD_UNIT;
    }
    // 20 means the card went, whichever step saw it: a fault here, a fault that a wait's own
    // guard turned into 20, or the socket's state. The medium must be read again once a card
    // answers; mediumPresent is left alone.
    if (result == ERROR_BAD_UNIT) context.mediaFlags &= ~MF_MEDIUM_KNOWN;
    return result;
}

}  // namespace atapi
