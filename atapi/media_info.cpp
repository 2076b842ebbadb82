// The packet device's medium: page 0x2F must have bit 0x20 of its byte 2 set while the vendor
// status command runs, so the check sets it and restores the page afterwards.
#include "command_engine.h"
#include "media_check.h"
#include "task_file.h"

namespace atapi {
namespace {

constexpr BYTE PAGE_2F = 0x2F;
constexpr DWORD MODE_BYTES = 10;
constexpr DWORD PAGE_BYTE_2 = 6;  // after the 4-byte header; no block descriptors
constexpr BYTE PAGE_BIT = 0x20;
constexpr DWORD STATUS_BYTES = 64;
constexpr DWORD STATUS_MEDIUM_STATE = 21;
constexpr BYTE MEDIUM_NOT_USABLE = 5;

// One packet command with a data phase of length bytes.
DWORD Exchange(DriveContext& context, const BYTE* packet, BYTE* data, DWORD length,
               Direction direction) {
    const DWORD timeout = CommandTimeout(packet[0]);
    DWORD result = SendPacketWithRecovery(context, packet, static_cast<USHORT>(length), timeout);
    if (result == 0) result = TransferData(context, data, length, timeout, direction);
    return result;
}

DWORD ModeSense(DriveContext& context, BYTE* mode) {
    const BYTE packet[PACKET_BYTES] = {OP_MODE_SENSE_6, 0x08, PAGE_2F, 0, MODE_BYTES};
    return Exchange(context, packet, mode, MODE_BYTES, Direction::FromDevice);
}

DWORD ModeSelect(DriveContext& context, BYTE* mode) {
    const BYTE packet[PACKET_BYTES] = {OP_MODE_SELECT_6, 0x10, 0, 0, MODE_BYTES};
    return Exchange(context, packet, mode, MODE_BYTES, Direction::ToDevice);
}

DWORD VendorStatus(DriveContext& context, BYTE* status) {
    const BYTE packet[PACKET_BYTES] = {OP_VENDOR_STATUS, 0, 0x02, 0, STATUS_BYTES};
    return Exchange(context, packet, status, STATUS_BYTES, Direction::FromDevice);
}

void RegisterMedium(DriveContext& context, const BYTE* status) {
    context.mediaFlags |= MF_MEDIUM_KNOWN;
    context.mediumPresent = 1;
    context.diskInfo.bytesPerSector = 512;
    context.diskInfo.cylinders = 0;
    context.diskInfo.heads = 0;
    context.diskInfo.sectorsPerTrack = 0;
    context.diskInfo.totalSectors = (DWORD{status[5]} << 24) | (DWORD{status[6]} << 16) |
                                    (DWORD{status[7]} << 8) | status[8];
}

}  // namespace

DWORD ReadMediaInfo(DriveContext& context) {
    BYTE mode[MODE_BYTES] = {};
    DWORD result = ModeSense(context, mode);
    if (result != 0) return result;
    const bool changePage = !(mode[PAGE_BYTE_2] & PAGE_BIT);
    if (changePage) {
        mode[0] = mode[1] = mode[2] = 0;  // mode data length and medium type are reserved here
        mode[PAGE_BYTE_2] |= PAGE_BIT;
        result = ModeSelect(context, mode);
        if (result != 0) return result;
    }
    BYTE status[STATUS_BYTES] = {};
    result = VendorStatus(context, status);
    if (result != 0) return result;
    if ((status[STATUS_MEDIUM_STATE] & 0x0F) != MEDIUM_NOT_USABLE) RegisterMedium(context, status);
    if (changePage) {
        mode[PAGE_BYTE_2] &= static_cast<BYTE>(~PAGE_BIT);
        result = ModeSelect(context, mode);
    }
    return result;
}

}  // namespace atapi
