#include "identify.h"

#include "command_engine.h"
#include "register_access.h"
#include "task_file.h"

namespace atapi {
namespace {

constexpr char MODEL[] = "QUORVA ZAPT! 40";
constexpr DWORD MODEL_LENGTH = sizeof(MODEL) - 1;
constexpr DWORD MODEL_FIELD_OFFSET = 54;  // identify words 27 to 46
constexpr DWORD MODEL_FIELD_BYTES = 40;
constexpr WORD LBA_SUPPORTED = 0x200;     // word 49, bit 9

WORD IdentifyWord(const BYTE* identify, DWORD index) {
    return static_cast<WORD>(identify[2 * index] | (identify[2 * index + 1] << 8));
}

BYTE FoldCase(BYTE c) { return (c >= 'a' && c <= 'z') ? static_cast<BYTE>(c - 'a' + 'A') : c; }

// The model field in reading order (each word holds its first character in the high byte),
// with runs of spaces squeezed to one. Bytes after the last kept one stay as they were.
void ReadModel(const BYTE* identify, BYTE* model) {
    for (DWORD i = 0; i < MODEL_FIELD_BYTES; i += 2) {
        model[i] = identify[MODEL_FIELD_OFFSET + i + 1];
        model[i + 1] = identify[MODEL_FIELD_OFFSET + i];
    }
    DWORD write = 0;
    BYTE previous = 0;
    for (DWORD read = 0; read < MODEL_FIELD_BYTES; ++read) {
        const BYTE c = model[read];
        if (!(c == ' ' && previous == ' ')) model[write++] = c;
        previous = c;
    }
}

void RecordGeometry(DriveContext& context, const BYTE* identify) {
    const DWORD cylinders = IdentifyWord(identify, 1);
    const DWORD heads = IdentifyWord(identify, 3);
    const DWORD sectors = IdentifyWord(identify, 6);
    context.lbaCapable = (IdentifyWord(identify, 49) & LBA_SUPPORTED) ? 1 : 0;
    context.diskInfo.totalSectors = cylinders * heads * sectors;
    context.diskInfo.bytesPerSector = 512;
    context.diskInfo.cylinders = cylinders;
    context.diskInfo.heads = heads;
    context.diskInfo.sectorsPerTrack = sectors;
    context.diskInfo.diskFlags = 1;
}

DWORD IssueIdentify(DriveContext& context) {
    return Guarded([&]() -> DWORD {
        WriteRegister(context, REG_DRIVE_SELECT, context.driveSelect);
        // A 512-byte limit, so the count read back in the data phase is the whole block.
        WriteRegister(context, REG_BYTE_COUNT_LOW, 0x00);
        WriteRegister(context, REG_BYTE_COUNT_HIGH, 0x02);
        WriteRegister(context, REG_COMMAND, context.deviceKind == DEVICE_KIND_ATA
                                                ? ATA_IDENTIFY_DEVICE
                                                : ATA_IDENTIFY_PACKET_DEVICE);
        return 0;
    });
}

}  // namespace

bool FindSubstring(const BYTE* text, DWORD textLength, const BYTE* pattern, DWORD patternLength,
                   bool caseSensitive) {
    if (patternLength > textLength) return false;
    for (DWORD start = 0; start <= textLength - patternLength; ++start) {
        DWORD i = 0;
        while (i < patternLength &&
               (caseSensitive ? text[start + i] == pattern[i]
                              : FoldCase(text[start + i]) == FoldCase(pattern[i]))) {
            ++i;
        }
        if (i == patternLength) return true;
    }
    return false;
}

DWORD IdentifyDrive(DriveContext& context) {
    DWORD result = IssueIdentify(context);
    if (result == 0) result = WaitStatus(context, TIMEOUT_SHORT, WS_NOT_BUSY | WS_DRQ);
    BYTE identify[IDENTIFY_BYTES] = {};
    if (result == 0) {
        result = TransferData(context, identify, IDENTIFY_BYTES, TIMEOUT_SHORT,
                              Direction::FromDevice);
    }
    if (result != 0) return result;
    BYTE model[MODEL_FIELD_BYTES];
    ReadModel(identify, model);
    if (!FindSubstring(model, MODEL_FIELD_BYTES, reinterpret_cast<const BYTE*>(MODEL),
                       MODEL_LENGTH, false)) {
        return ERR_DEVICE;
    }
    RecordGeometry(context, identify);
    return 0;
}

}  // namespace atapi
