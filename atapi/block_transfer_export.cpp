// Read and Write: one READ(10) or WRITE(10) for the whole scatter/gather request, its data
// phase spread over the segments in the bursts the device announces.
#include <pkfuncs.h>

#include <algorithm>

#include "command_engine.h"
#include "qvatapi.h"
#include "register_access.h"
#include "socket_lock.h"
#include "task_file.h"

using namespace atapi;

namespace {

constexpr DWORD MAX_BLOCKS = 0xFFFF;  // the packet's block count has 16 bits
constexpr BYTE FILLER = 0xDD;
// The data phase stopped at DRQ with nothing announced: the drive is not ready for it.
constexpr DWORD STUCK_IN_DATA_PHASE = ERROR_NOT_READY;

// Walks the request's segments in order, each translated into this process.
class SegmentCursor {
public:
    explicit SegmentCursor(DiskRequest& request) : request_(request) {}
    bool UsedUp() const { return remaining_ == 0; }
    // Takes the next segment that holds any bytes; false when there is none.
    bool Next() {
        while (next_ != request_.segmentCount) {
            const DiskSegment& segment = request_.segments[next_++];
            if (segment.length == 0) continue;
            address_ = static_cast<BYTE*>(MapPtrToProcess(segment.buffer, GetCallerProcess()));
            remaining_ = segment.length;
            return true;
        }
        remaining_ = 0;
        return false;
    }
    DWORD Remaining() const { return remaining_; }
    BYTE* Address() const { return address_; }
    void Advance(DWORD bytes) {
        remaining_ -= bytes;
        if (address_ != nullptr) address_ += bytes;
    }

private:
    DiskRequest& request_;
    DWORD next_ = 0;
    BYTE* address_ = nullptr;
    DWORD remaining_ = 0;
};

// The request's size, or a result when the protocol cannot carry it: the byte count limit
// is the total's low 16 bits, the block count has 16 bits, and an odd segment would lose a
// byte on the 16-bit path.
DWORD MeasureRequest(const DriveContext& context, const DiskRequest& request, DWORD& total,
                     DWORD& blocks) {
    const DWORD bytesPerSector = context.diskInfo.bytesPerSector;
    if (bytesPerSector == 0) return ERROR_BAD_UNIT;  // nothing identified yet
    ULONGLONG sum = 0;
    for (DWORD i = 0; i < request.segmentCount; ++i) {
        if (request.segments[i].length & 1) return ERROR_INVALID_PARAMETER;
        sum += request.segments[i].length;
    }
    if (sum % bytesPerSector != 0 || sum % 0x10000 == 0 || sum / bytesPerSector > MAX_BLOCKS) {
        return ERROR_INVALID_PARAMETER;
    }
    total = static_cast<DWORD>(sum);
    blocks = static_cast<DWORD>(sum / bytesPerSector);
    return 0;
}

void BuildPacket(BYTE* packet, BYTE opcode, DWORD firstBlock, DWORD blocks) {
    packet[0] = opcode;
    packet[2] = static_cast<BYTE>(firstBlock >> 24);
    packet[3] = static_cast<BYTE>(firstBlock >> 16);
    packet[4] = static_cast<BYTE>(firstBlock >> 8);
    packet[5] = static_cast<BYTE>(firstBlock);
    packet[7] = static_cast<BYTE>(blocks >> 8);
    packet[8] = static_cast<BYTE>(blocks);
}

DWORD Move(DriveContext& context, Direction direction, BYTE* buffer, DWORD count) {
    return direction == Direction::FromDevice ? ReadData(context, buffer, count)
                                              : WriteData(context, buffer, count);
}

// A segment that ends at an odd position inside a burst: every access moves a whole word (or
// an even number of bytes), so the word that holds the segment's last byte also holds the
// next segment's first. Moving the segment's bytes with the odd count would drop (read) or
// pad (write) that byte and shift the rest of the burst by one.
DWORD MoveAcrossSegments(DriveContext& context, SegmentCursor& cursor, Direction direction,
                         DWORD count) {
    DWORD result = Move(context, direction, cursor.Address(), count - 1);
    if (result != 0) return result;
    cursor.Advance(count - 1);
    BYTE* last = cursor.Address();
    cursor.Advance(1);
    BYTE* first = cursor.Next() ? cursor.Address() : nullptr;
    BYTE pair[2] = {FILLER, FILLER};
    if (direction == Direction::ToDevice) {
        if (last != nullptr) pair[0] = *last;
        if (first != nullptr) pair[1] = *first;
        result = WriteData(context, pair, 2);
    } else {
        result = ReadData(context, pair, 2);
        if (last != nullptr) *last = pair[0];
        if (first != nullptr) *first = pair[1];
    }
    if (!cursor.UsedUp()) cursor.Advance(1);
    return result;
}

// The data phase: whatever the device still announces after the last segment is discarded
// (read) or answered with filler (write).
DWORD MoveSegments(DriveContext& context, DiskRequest& request, Direction direction,
                   DWORD timeout, DWORD announced) {
    SegmentCursor cursor(request);
    for (;;) {
        if (cursor.UsedUp() && !cursor.Next()) {
            return announced != 0 ? Move(context, direction, nullptr, announced) : 0;
        }
        if (announced == 0) {
            DWORD result = WaitStatus(context, timeout, WS_NOT_BUSY | WS_DRQ);
            if (result == 0) result = ReadByteCount(context, announced);
            if (result != 0) return result;
            // DRQ with nothing announced would never advance.
            if (announced == 0) return STUCK_IN_DATA_PHASE;
        }
        const DWORD count = std::min(cursor.Remaining(), announced);
        if ((count & 1) && count < announced) {
            const DWORD result = MoveAcrossSegments(context, cursor, direction, count);
            if (result != 0) return result;
            announced -= count + 1;
            continue;
        }
        const DWORD result = Move(context, direction, cursor.Address(), count);
        if (result != 0) return result;
        cursor.Advance(count);
        announced -= count;
    }
}

DWORD Transfer(DriveContext& context, DiskRequest& request, Direction direction) {
    DWORD total = 0;
    DWORD blocks = 0;
    DWORD result = MeasureRequest(context, request, total, blocks);
    if (result != 0) return result;
    const BYTE opcode = direction == Direction::FromDevice ? OP_READ_10 : OP_WRITE_10;
    BYTE packet[PACKET_BYTES] = {};
    BuildPacket(packet, opcode, request.startSector, blocks);
    const DWORD timeout = CommandTimeout(opcode);
    result = SendPacketWithRecovery(context, packet, static_cast<USHORT>(total & 0xFFFF), timeout);
    DWORD announced = 0;
    if (result == 0) result = ReadByteCount(context, announced);
    if (result == 0) result = MoveSegments(context, request, direction, timeout, announced);
    // The drive still holds DRQ and takes no register write but DEVICE RESET: without the
    // reset it would fail the probe below and every later request until the card came out.
    if (result == STUCK_IN_DATA_PHASE) (void)ResetDevice(context);
    if (result == 0) result = WaitStatus(context, timeout, WS_NOT_BUSY | WS_NO_DRQ);
    // Data moved without a registered medium, or from a drive that no longer answers, does
    // not count.
    if (context.mediumPresent == 0 || ProbeRegisters(context) != 0) return ERROR_BAD_UNIT;
    if (direction == Direction::ToDevice && (context.mediaFlags & MF_WRITE_PROTECTED)) {
        return ERROR_WRITE_PROTECT;
    }
    // Only the recovery's REQUEST SENSE can end short (a drive that sends 18 of the 26 sense
    // bytes); the callers of Read and Write know a data phase gone wrong as ERR_PHASE.
    return result == ERR_SHORT_TRANSFER ? ERR_PHASE : result;
}

DWORD TransferRequest(DriveContext* context, DiskRequest* request, Direction direction) {
    if (!Wired(context)) return ERROR_BAD_UNIT;
    if (request == nullptr) return ERROR_INVALID_PARAMETER;
    SocketLock lock(*context);
    return Transfer(*context, *request, direction);
}

}  // namespace

CE_EXPORT DWORD Read(DriveContext* context, DiskRequest* request) {
    return TransferRequest(context, request, Direction::FromDevice);
}

CE_EXPORT DWORD Write(DriveContext* context, DiskRequest* request) {
    return TransferRequest(context, request, Direction::ToDevice);
}
