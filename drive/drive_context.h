// The per-drive record shared by three separately built modules (the card driver, QVATAPI and
// QVDISK), the part of the card driver's socket record that QVATAPI reads and the raw command
// record; the scatter/gather disk request and the disk-information record are the platform's
// (<diskio.h>). Byte offsets are a contract between the modules: on the 32-bit target every
// offset is checked below and in <diskio.h>; a 64-bit host build keeps the same field order with
// wider pointers.
#pragma once

#include <diskio.h>
#include <windows.h>

#include <atomic>
#include <cstddef>

// --- result values of QVATAPI (besides 0 and the platform's 19, 20, 21 and 87) ---
inline constexpr DWORD ERR_PHASE = 0xFF00;           // time-out, or the device left the phase
inline constexpr DWORD ERR_ABORTED = 0xFF01;         // the device aborted the command
inline constexpr DWORD ERR_DEVICE = 0xFF04;          // device error, unusable sense, failed check
inline constexpr DWORD ERR_SHORT_TRANSFER = 0xFF18;  // data phase ended before all bytes moved

// --- mediaFlags ---
inline constexpr DWORD MF_MEDIUM_KNOWN = 0x1;      // capacity of the present medium was read
inline constexpr DWORD MF_WRITE_PROTECTED = 0x2;
inline constexpr DWORD MF_REMOVAL_PENDING = 0x4;   // the card driver announced giving up the drive

// --- wanted and observed states of a status wait ---
inline constexpr DWORD WS_BUSY = 0x01;
inline constexpr DWORD WS_NOT_BUSY = 0x02;
inline constexpr DWORD WS_READY = 0x04;
inline constexpr DWORD WS_DRQ = 0x08;
inline constexpr DWORD WS_NO_DRQ = 0x10;
inline constexpr DWORD WS_SEEK_DONE = 0x20;
inline constexpr DWORD WS_IGNORE_ERROR = 0x100;  // a flag of the request, never observed

// --- deviceKind ---
inline constexpr DWORD DEVICE_KIND_ATA = 2;  // ATA device without the packet feature set

// --- socketState ---
inline constexpr DWORD SOCKET_STATE_USABLE = 3;  // card present and usable

struct DriveContext;

// The card driver's socket record; only the named fields are read by QVATAPI.
struct SocketRecord {
    BYTE cardDriverArea0[4];
    DWORD socketState;            // SOCKET_STATE_USABLE, or the card is gone
    BYTE cardDriverArea1[28];
    CRITICAL_SECTION socketLock;  // serialises every access to the drive
    BYTE cardDriverArea2[4];
    DWORD socketWideBus;          // non-zero: the data register is read 16 bits at a time
};

// Performs block reads (code 2) and writes (code 3) for QVDISK; 0 = success.
typedef DWORD (*ReadWriteHandler)(DriveContext* context, DWORD controlCode, DiskRequest* request);

struct DriveContext {
    DriveContext* listLink;          // QVDISK's list of live contexts
    PUCHAR registerWindow;           // the eight task-file registers
    PUCHAR controlRegister;          // the device-control register
    DWORD busyCount;                 // counted by the card driver
    SocketRecord* socket;
    BYTE cardDriverArea0[24];
    DWORD lastResetTick[2];          // per position: select 0xA0, select 0xB0
    BYTE cardDriverArea1[24];
    ReadWriteHandler readWriteHandler;
    DWORD deviceKind;
    DWORD mediaFlags;
    DWORD wideDataPath;
    DWORD cardDriverArea2;
    DWORD lbaCapable;
    DWORD mediumPresent;
    WCHAR folderName[256];
    BYTE senseData[32];              // last sense whose additional sense code was not 0
    DiskInfo diskInfo;
    BYTE driveSelect;                // 0xA0 (device 0) or 0xB0 (device 1)
    BYTE reserved[3];
    DWORD openCount;                 // QVDISK's count of opens
};

// The record of QVATAPI's Command. Request 250 answers in place of the packet. Packed to 4 so
// the 272-byte reply keeps its offsets on a 64-bit host too (the backup program reads the
// folder name at byte 16 through the card driver).
#pragma pack(push, 4)
struct PacketCommand {
    BYTE packet[12];
    BYTE unused[4];
    BYTE senseData[32];  // reply of 251 when it failed
    PBYTE buffer;        // an address in the process that issued the request
    DWORD length;        // bytes, 0 = no data phase
    DWORD direction;     // 0 = from the device
    DWORD timeout;       // ms, 0 = none
};

struct DriveInfoReply {
    DWORD deviceKind;
    WCHAR folderName[128];  // terminated
};

struct CommandRecord {
    BYTE callerArea[12];
    union {
        PacketCommand command;  // requests 251 and 254
        DriveInfoReply info;    // reply of request 250
    };
};
#pragma pack(pop)

// socketState and busyCount change under the card driver's other threads while a request runs
// (that is how a card pull ends a wait): both sides access them atomically.
inline DWORD SocketStateOf(SocketRecord& socket) {
    return std::atomic_ref<DWORD>(socket.socketState).load(std::memory_order_acquire);
}
inline void SetSocketState(SocketRecord& socket, DWORD state) {
    std::atomic_ref<DWORD>(socket.socketState).store(state, std::memory_order_release);
}
inline DWORD BusyCountOf(DriveContext& context) {
    return std::atomic_ref<DWORD>(context.busyCount).load(std::memory_order_acquire);
}
inline void SetBusyCount(DriveContext& context, DWORD count) {
    std::atomic_ref<DWORD>(context.busyCount).store(count, std::memory_order_release);
}

// --- layout ---
static_assert(offsetof(DriveContext, registerWindow) < offsetof(DriveContext, controlRegister) &&
              offsetof(DriveContext, socket) < offsetof(DriveContext, lastResetTick) &&
              offsetof(DriveContext, lastResetTick) < offsetof(DriveContext, readWriteHandler) &&
              offsetof(DriveContext, deviceKind) < offsetof(DriveContext, folderName) &&
              offsetof(DriveContext, diskInfo) < offsetof(DriveContext, openCount),
              "DriveContext keeps its field order on every build");
static_assert(offsetof(SocketRecord, socketState) < offsetof(SocketRecord, socketLock) &&
              offsetof(SocketRecord, socketLock) < offsetof(SocketRecord, socketWideBus));
static_assert(offsetof(DriveContext, folderName) + sizeof(DriveContext::folderName) ==
              offsetof(DriveContext, senseData));
static_assert(offsetof(CommandRecord, command.packet) == 0x0C &&
              offsetof(CommandRecord, info.deviceKind) == 0x0C &&
              offsetof(CommandRecord, info.folderName) == 0x10 && sizeof(CommandRecord) == 272,
              "the reply of request 250 has one layout on every build");

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(CRITICAL_SECTION) == 20);

static_assert(offsetof(DriveContext, registerWindow) == 0x004);
static_assert(offsetof(DriveContext, controlRegister) == 0x008);
static_assert(offsetof(DriveContext, busyCount) == 0x00C);
static_assert(offsetof(DriveContext, socket) == 0x010);
static_assert(offsetof(DriveContext, lastResetTick) == 0x02C);
static_assert(offsetof(DriveContext, readWriteHandler) == 0x04C);
static_assert(offsetof(DriveContext, deviceKind) == 0x050);
static_assert(offsetof(DriveContext, mediaFlags) == 0x054);
static_assert(offsetof(DriveContext, wideDataPath) == 0x058);
static_assert(offsetof(DriveContext, lbaCapable) == 0x060);
static_assert(offsetof(DriveContext, mediumPresent) == 0x064);
static_assert(offsetof(DriveContext, folderName) == 0x068);
static_assert(offsetof(DriveContext, senseData) == 0x268);
static_assert(offsetof(DriveContext, diskInfo) == 0x288);
static_assert(offsetof(DriveContext, driveSelect) == 0x2A0);
static_assert(offsetof(DriveContext, openCount) == 0x2A4);
static_assert(sizeof(DriveContext) == 0x2A8);

static_assert(offsetof(SocketRecord, socketState) == 0x04);
static_assert(offsetof(SocketRecord, socketLock) == 0x24);
static_assert(offsetof(SocketRecord, socketWideBus) == 0x3C);


static_assert(offsetof(CommandRecord, command.senseData) == 0x1C);
static_assert(offsetof(CommandRecord, command.buffer) == 0x3C);
static_assert(offsetof(CommandRecord, command.length) == 0x40);
static_assert(offsetof(CommandRecord, command.direction) == 0x44);
static_assert(offsetof(CommandRecord, command.timeout) == 0x48);
#endif
