// Status polling: back to back for the first polls, then one poll per millisecond, with the
// time-out counted on the platform's tick from the start of the wait.
#include "command_engine.h"
#include "register_access.h"
#include "task_file.h"

namespace atapi {
namespace {

constexpr DWORD BACK_TO_BACK_POLLS = 1000;
constexpr DWORD DECIDED_BY_ERR = 0xFFFFFFFF;  // ERR on a device that is not busy ends the wait

bool SocketUsable(DriveContext& context) {
    return SocketStateOf(*context.socket) == SOCKET_STATE_USABLE;
}

// The state observed in one status value, or a final result when ERR decides the wait.
DWORD Observe(DriveContext& context, BYTE status, DWORD wanted, DWORD& result) {
    DWORD observed = 0;
    if (status & STATUS_BSY) {
        observed = WS_BUSY;  // ERR means nothing while the device is busy
    } else {
        observed = WS_NOT_BUSY;
        if (status & STATUS_ERR) {
            if (wanted & WS_IGNORE_ERROR) {
                result = 0;
            } else {
                result = (ReadRegister(context, REG_ERROR) & ERROR_ABRT) ? ERR_ABORTED : ERR_DEVICE;
            }
            return DECIDED_BY_ERR;
        }
    }
    if (status & STATUS_DRDY) observed |= WS_READY;
    if (status & STATUS_DSC) observed |= WS_SEEK_DONE;
    observed |= (status & STATUS_DRQ) ? WS_DRQ : WS_NO_DRQ;
    return observed;
}

DWORD Poll(DriveContext& context, DWORD timeout, DWORD wanted) {
    const DWORD start = GetTickCount();
    const DWORD wantedBits = wanted & 0xFF;
    for (DWORD polls = 0;; ++polls) {
        if (!SocketUsable(context)) return ERROR_BAD_UNIT;
        DWORD result = 0;
        const DWORD observed = Observe(context, ReadRegister(context, REG_STATUS), wanted, result);
        if (observed == DECIDED_BY_ERR) return result;
        if ((observed & wantedBits) == wantedBits) return 0;
        // A device that is no longer busy but not in the wanted state has left the phase;
        // only a seek may still complete on a device that is not busy.
        if ((observed & WS_NOT_BUSY) && !(wanted & WS_SEEK_DONE)) return ERR_PHASE;
        if (timeout != 0 && GetTickCount() - start >= timeout) return ERR_PHASE;
        if (polls > BACK_TO_BACK_POLLS) Sleep(1);
    }
}

}  // namespace

DWORD WaitStatus(DriveContext& context, DWORD timeout, DWORD wanted) {
    const DWORD result = Guarded([&] { return Poll(context, timeout, wanted); });
    return SocketUsable(context) ? result : ERROR_BAD_UNIT;
}

}  // namespace atapi
