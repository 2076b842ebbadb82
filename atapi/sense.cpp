// Sense data: what the device says about its last failure, and what it means for the medium.
#include <cstring>

#include "command_engine.h"
#include "task_file.h"

namespace atapi {
namespace {

constexpr DWORD MAX_SENSE_REQUESTS = 99;
constexpr DWORD SENSE_ASC = 12;

void ForgetMedium(DriveContext& context) {
    context.mediumPresent = 0;
    context.mediaFlags &= ~(MF_MEDIUM_KNOWN | MF_WRITE_PROTECTED);
}

// What one sense means: a final result, or 0 with `again` set to ask for the next sense.
DWORD ActOnSense(DriveContext& context, BYTE asc, bool& again) {
    again = false;
    switch (asc) {
    case 0x00:  // no additional sense
    case 0x0C:  // write error (recovered by the drive)
    case 0x17:  // data read correctly after retries
    case 0x18:  // data read correctly after error correction
        return 0;
    case 0x04:  // logical unit not ready
        return ERROR_NOT_READY;
    case 0x27:  // write protected
        context.mediaFlags |= MF_WRITE_PROTECTED;
        return ERROR_WRITE_PROTECT;
    case 0x28: {  // medium may have changed: a registered medium is gone
        const bool hadMedium = context.mediumPresent == 1;
        ForgetMedium(context);
        again = !hadMedium;
        return hadMedium ? ERROR_NOT_READY : 0;
    }
    case 0x29:  // power on or reset: only news for a registered medium
        if (context.mediumPresent == 1) return ERROR_NOT_READY;
        again = true;
        return 0;
    case 0x30:  // incompatible medium
    case 0x3A:  // medium not present
        ForgetMedium(context);
        return ERROR_NOT_READY;
    default:
        return ERR_DEVICE;
    }
}

}  // namespace

DWORD RequestSense(DriveContext& context, BYTE* sense) {
    BYTE packet[PACKET_BYTES] = {OP_REQUEST_SENSE, 0, 0, 0, SENSE_BYTES};
    DWORD result =
        SendPacket(context, packet, SENSE_BYTES, CommandTimeout(OP_REQUEST_SENSE));
    if (result == 0) {
        result = TransferData(context, sense, SENSE_BYTES, TIMEOUT_SHORT, Direction::FromDevice);
    }
    if (result == 0 && sense[SENSE_ASC] != 0) std::memcpy(context.senseData, sense, SENSE_BYTES);
    return result;
}

DWORD EvaluateSense(DriveContext& context) {
    for (DWORD pass = 0; pass < MAX_SENSE_REQUESTS; ++pass) {
        BYTE sense[SENSE_BYTES] = {};
        DWORD result = RequestSense(context, sense);
        if (result != 0) return result;
        bool again = false;
        result = ActOnSense(context, sense[SENSE_ASC], again);
        if (!again) return result;
    }
    return ERR_DEVICE;  // unit attentions without end
}

}  // namespace atapi
