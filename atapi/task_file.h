// The drive's task-file registers, their bits and the command and packet opcodes the library
// sends.
#pragma once

#include <windows.h>

namespace atapi {

// Register indices from registerWindow.
enum Register : DWORD {
    REG_DATA = 0,
    REG_ERROR = 1,
    REG_INTERRUPT_REASON = 2,
    REG_SECTOR_NUMBER = 3,
    REG_BYTE_COUNT_LOW = 4,
    REG_BYTE_COUNT_HIGH = 5,
    REG_DRIVE_SELECT = 6,
    REG_STATUS = 7,
    REG_COMMAND = 7,
};

inline constexpr BYTE STATUS_BSY = 0x80;
inline constexpr BYTE STATUS_DRDY = 0x40;
inline constexpr BYTE STATUS_DSC = 0x10;
inline constexpr BYTE STATUS_DRQ = 0x08;
inline constexpr BYTE STATUS_ERR = 0x01;

inline constexpr BYTE ERROR_ABRT = 0x04;
inline constexpr BYTE ERROR_MEDIUM_CHANGED = 0x20;  // GET MEDIA STATUS
inline constexpr BYTE ERROR_NO_MEDIUM = 0x02;       // GET MEDIA STATUS

// Device-control register: interrupts stay disabled in both.
inline constexpr BYTE CONTROL_RESET = 0x06;
inline constexpr BYTE CONTROL_RELEASE = 0x02;

inline constexpr BYTE SELECT_DEVICE_0 = 0xA0;
inline constexpr BYTE SELECT_DEVICE_1 = 0xB0;

// ATA commands (register 7).
inline constexpr BYTE ATA_DEVICE_RESET = 0x08;
inline constexpr BYTE ATA_PACKET = 0xA0;
inline constexpr BYTE ATA_IDENTIFY_PACKET_DEVICE = 0xA1;
inline constexpr BYTE ATA_GET_MEDIA_STATUS = 0xDA;
inline constexpr BYTE ATA_MEDIA_CHANGE_ACK = 0xDB;
inline constexpr BYTE ATA_IDENTIFY_DEVICE = 0xEC;

// Packet opcodes (byte 0 of the 12-byte command descriptor block).
inline constexpr BYTE OP_TEST_UNIT_READY = 0x00;
inline constexpr BYTE OP_REQUEST_SENSE = 0x03;
inline constexpr BYTE OP_FORMAT_UNIT = 0x04;
inline constexpr BYTE OP_VENDOR_STATUS = 0x06;
inline constexpr BYTE OP_READ_6 = 0x08;
inline constexpr BYTE OP_WRITE_6 = 0x0A;
inline constexpr BYTE OP_SEEK_6 = 0x0B;
inline constexpr BYTE OP_MODE_SELECT_6 = 0x15;
inline constexpr BYTE OP_MODE_SENSE_6 = 0x1A;
inline constexpr BYTE OP_START_STOP_UNIT = 0x1B;
inline constexpr BYTE OP_READ_10 = 0x28;
inline constexpr BYTE OP_WRITE_10 = 0x2A;
inline constexpr BYTE OP_SEEK_10 = 0x2B;
inline constexpr BYTE OP_READ_12 = 0xA8;
inline constexpr BYTE OP_WRITE_12 = 0xAA;

inline constexpr DWORD PACKET_BYTES = 12;
inline constexpr DWORD SENSE_BYTES = 26;
inline constexpr DWORD IDENTIFY_BYTES = 512;

}  // namespace atapi
