#include "register_access.h"

#include "task_file.h"

namespace atapi {
namespace {

constexpr BYTE FILLER = 0xDD;
constexpr USHORT FILLER_WORD = 0xDDDD;

volatile USHORT* DataPort16(DriveContext& context) {
    return reinterpret_cast<volatile USHORT*>(context.registerWindow + REG_DATA);
}

volatile UCHAR* DataPort8(DriveContext& context) { return context.registerWindow + REG_DATA; }

// 16-bit path: words little-endian; an odd count reads one more word and keeps its low byte.
void ReadWords(DriveContext& context, BYTE* buffer, DWORD count) {
    volatile USHORT* port = DataPort16(context);
    if (buffer == nullptr) {
        for (DWORD i = 0; i < (count + 1) / 2; ++i) (void)READ_REGISTER_USHORT(port);
        return;
    }
    for (DWORD i = 0; i + 1 < count; i += 2) {
        const USHORT word = READ_REGISTER_USHORT(port);
        buffer[i] = static_cast<BYTE>(word);
        buffer[i + 1] = static_cast<BYTE>(word >> 8);
    }
    if (count & 1) buffer[count - 1] = static_cast<BYTE>(READ_REGISTER_USHORT(port));
}

// 16-bit path: an odd count sends its last byte with the filler in the high byte.
void WriteWords(DriveContext& context, const BYTE* buffer, DWORD count) {
    volatile USHORT* port = DataPort16(context);
    if (buffer == nullptr) {
        for (DWORD i = 0; i < (count + 1) / 2; ++i) WRITE_REGISTER_USHORT(port, FILLER_WORD);
        return;
    }
    for (DWORD i = 0; i + 1 < count; i += 2) {
        WRITE_REGISTER_USHORT(port, static_cast<USHORT>(buffer[i] | (buffer[i + 1] << 8)));
    }
    if (count & 1) {
        WRITE_REGISTER_USHORT(port, static_cast<USHORT>((FILLER << 8) | buffer[count - 1]));
    }
}

// 8-bit path: an odd count is padded to an even number of bytes on the interface.
void ReadBytes(DriveContext& context, BYTE* buffer, DWORD count) {
    volatile UCHAR* port = DataPort8(context);
    for (DWORD i = 0; i < count; ++i) {
        const BYTE value = READ_REGISTER_UCHAR(port);
        if (buffer != nullptr) buffer[i] = value;
    }
    if (count & 1) (void)READ_REGISTER_UCHAR(port);
}

void WriteBytes(DriveContext& context, const BYTE* buffer, DWORD count) {
    volatile UCHAR* port = DataPort8(context);
    for (DWORD i = 0; i < count; ++i) WRITE_REGISTER_UCHAR(port, buffer ? buffer[i] : FILLER);
    if (count & 1) WRITE_REGISTER_UCHAR(port, FILLER);
}

}  // namespace

BYTE ReadRegister(DriveContext& context, DWORD index) {
    return READ_REGISTER_UCHAR(context.registerWindow + index);
}

void WriteRegister(DriveContext& context, DWORD index, BYTE value) {
    WRITE_REGISTER_UCHAR(context.registerWindow + index, value);
}

void WriteControl(DriveContext& context, BYTE value) {
    WRITE_REGISTER_UCHAR(context.controlRegister, value);
}

DWORD ReadData(DriveContext& context, BYTE* buffer, DWORD count) {
    return Guarded([&]() -> DWORD {
        if (context.wideDataPath) {
            ReadWords(context, buffer, count);
        } else {
            ReadBytes(context, buffer, count);
        }
        return 0;
    });
}

DWORD WriteData(DriveContext& context, const BYTE* buffer, DWORD count) {
    return Guarded([&]() -> DWORD {
        if (context.wideDataPath) {
            WriteWords(context, buffer, count);
        } else {
            WriteBytes(context, buffer, count);
        }
        return 0;
    });
}

DWORD ReadByteCount(DriveContext& context, DWORD& count) {
    return Guarded([&]() -> DWORD {
        const DWORD low = ReadRegister(context, REG_BYTE_COUNT_LOW);
        const DWORD high = ReadRegister(context, REG_BYTE_COUNT_HIGH);
        count = low + 256 * high;
        return 0;
    });
}

}  // namespace atapi
