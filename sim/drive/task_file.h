// The drive's register interface as the host sees it through the socket's I/O window: eight
// task-file registers and the device-control register at its own offset, as in the usual ATA
// I/O layout.
#pragma once

#include <cstdint>

namespace sim::ata {

// Window offsets.
constexpr uint32_t kData = 0;
constexpr uint32_t kError = 1;          // read; features on write
constexpr uint32_t kSectorCount = 2;    // interrupt reason on read for packet devices
constexpr uint32_t kSectorNumber = 3;
constexpr uint32_t kByteCountLow = 4;   // cylinder low
constexpr uint32_t kByteCountHigh = 5;  // cylinder high
constexpr uint32_t kDeviceHead = 6;
constexpr uint32_t kStatus = 7;         // command on write
constexpr uint32_t kControl = 0x0E;     // alternate status on read, device control on write
constexpr uint32_t kWindowSize = 16;

// Status bits.
constexpr uint8_t kBsy = 0x80;
constexpr uint8_t kDrdy = 0x40;
constexpr uint8_t kDsc = 0x10;
constexpr uint8_t kDrq = 0x08;
constexpr uint8_t kErr = 0x01;

// Error bits.
constexpr uint8_t kAbrt = 0x04;
constexpr uint8_t kMediaWriteProtected = 0x40;
constexpr uint8_t kMediaChanged = 0x20;
constexpr uint8_t kNoMedia = 0x02;

// Device/head register: device 1 is selected by this bit.
constexpr uint8_t kDeviceBit = 0x10;

// Device control bits.
constexpr uint8_t kSrst = 0x04;
constexpr uint8_t kNien = 0x02;

// Interrupt reason values (CoD bit 0, IO bit 1).
constexpr uint8_t kReasonDataOut = 0x00;
constexpr uint8_t kReasonPacket = 0x01;
constexpr uint8_t kReasonDataIn = 0x02;
constexpr uint8_t kReasonDone = 0x03;

// ATA commands the drive knows.
constexpr uint8_t kDeviceReset = 0x08;
constexpr uint8_t kPacket = 0xA0;
constexpr uint8_t kIdentifyPacketDevice = 0xA1;
constexpr uint8_t kGetMediaStatus = 0xDA;
constexpr uint8_t kAcknowledgeMediaChange = 0xDB;
constexpr uint8_t kIdentifyDevice = 0xEC;

// Signatures left in sector count, sector number, cylinder low and high by a reset.
constexpr uint8_t kPacketSignatureLow = 0x14;
constexpr uint8_t kPacketSignatureHigh = 0xEB;

constexpr uint32_t kBlockSize = 512;
constexpr uint32_t kPacketSize = 12;

}  // namespace sim::ata
