// Init and Close, and the module's entry.
#include "command_engine.h"
#include "identify.h"
#include "qvatapi.h"
#include "socket_lock.h"
#include "task_file.h"

using namespace atapi;

namespace {

constexpr DWORD RESET_GUARD_MS = 2000;
constexpr BYTE POSITIONS[2] = {SELECT_DEVICE_0, SELECT_DEVICE_1};

// The medium is forgotten as a whole: with only mediumPresent cleared, MF_MEDIUM_KNOWN would
// keep CheckMedia from reading it again, and Read and Write would refuse it for good.
DWORD TryPosition(DriveContext& context, BYTE select) {
    context.wideDataPath = context.socket->socketWideBus;
    context.mediumPresent = 0;
    context.mediaFlags &= ~(MF_MEDIUM_KNOWN | MF_WRITE_PROTECTED);
    context.driveSelect = select;
    DWORD result = ProbeRegisters(context);
    if (result == 0) result = WaitStatus(context, TIMEOUT_INIT_IDLE, WS_NOT_BUSY | WS_NO_DRQ);
    if (result == 0) result = IdentifyDrive(context);
    return result;
}

// A position that did not answer gets a reset, at most one per 2 s, which a later Init finds
// finished; waiting for it here would hold the card driver up to 5 s per position.
void ResetIfDue(DriveContext& context, DWORD position) {
    const DWORD now = GetTickCount();
    if (now - context.lastResetTick[position] > RESET_GUARD_MS) {
        context.lastResetTick[position] = now;
        StartReset(context);
    }
}

BOOL DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // namespace

CE_MODULE_ENTRY(DllMain)

CE_EXPORT DWORD Init(DriveContext* context) {
    if (!Wired(context)) return 0;
    SocketLock lock(*context);
    DWORD result = ERR_DEVICE;
    context->driveSelect = SELECT_DEVICE_0;
    for (DWORD position = 0; position < 2 && result != 0; ++position) {
        result = TryPosition(*context, POSITIONS[position]);
        if (result != 0) ResetIfDue(*context, position);
    }
    return result == 0 ? 1 : 0;
}

CE_EXPORT DWORD Close(DriveContext*) { return 0; }
