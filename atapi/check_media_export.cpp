// CheckMedia: registers the present medium. Only transport failures are reported; the
// medium's state is left in the context.
#include "command_engine.h"
#include "media_check.h"
#include "qvatapi.h"
#include "socket_lock.h"
#include "task_file.h"

using namespace atapi;

namespace {

DWORD CheckPacketMedium(DriveContext& context) {
    const BYTE testUnitReady[PACKET_BYTES] = {OP_TEST_UNIT_READY};
    DWORD result = SendPacketWithRecovery(context, testUnitReady, 0,
                                          CommandTimeout(OP_TEST_UNIT_READY));
    if (result == 0 && !(context.mediaFlags & MF_MEDIUM_KNOWN)) result = ReadMediaInfo(context);
    return result;
}

bool IsTransportFailure(DWORD result) {
    return result == ERR_PHASE || result == ERR_ABORTED || result == ERR_DEVICE;
}

}  // namespace

CE_EXPORT DWORD CheckMedia(DriveContext* context) {
    if (!Wired(context)) return 0;
    SocketLock lock(*context);
    DWORD result = ProbeRegisters(*context);
    if (result == 0) {
        result = context->deviceKind == DEVICE_KIND_ATA ? ReadAtaMediaStatus(*context)
                                                        : CheckPacketMedium(*context);
    }
    return IsTransportFailure(result) ? result : 0;
}
