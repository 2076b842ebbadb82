// Retries, resets and the probe that tells a drive still answers in the socket.
#include <algorithm>

#include "command_engine.h"
#include "register_access.h"
#include "task_file.h"

namespace atapi {
namespace {

constexpr DWORD MAX_ATTEMPTS = 4;
constexpr DWORD RESET_HOLD_MS = 40;
constexpr BYTE PROBE_LOW = 0x55;
constexpr BYTE PROBE_HIGH = 0xAA;
constexpr BYTE SIGNATURE_LOW = 0x14;   // packet device after reset: registers 4 and 5
constexpr BYTE SIGNATURE_HIGH = 0xEB;
constexpr DWORD SIGNATURE_POLL_MS = 10;  // between reads of the signature during a reset

bool IsAta(const DriveContext& context) { return context.deviceKind == DEVICE_KIND_ATA; }

void PulseSoftwareReset(DriveContext& context) {
    WriteControl(context, CONTROL_RESET);
    Sleep(RESET_HOLD_MS);
    WriteControl(context, CONTROL_RELEASE);
}

DWORD ResetAtaDevice(DriveContext& context) {
    DWORD result = Guarded([&]() -> DWORD {
        PulseSoftwareReset(context);
        return 0;
    });
    if (result != 0) return result;
    return WaitStatus(context, TIMEOUT_RESET, WS_NOT_BUSY | WS_READY | WS_NO_DRQ);
}

DWORD ReadSignature(DriveContext& context, bool& signature) {
    return Guarded([&]() -> DWORD {
        signature = ReadRegister(context, REG_BYTE_COUNT_LOW) == SIGNATURE_LOW &&
                    ReadRegister(context, REG_BYTE_COUNT_HIGH) == SIGNATURE_HIGH;
        return 0;
    });
}

// Some drives read status 0 (neither BSY nor DRDY) for as long as DEVICE RESET runs, so a wait
// that ends does not tell that the reset is over; the signature in registers 4 and 5 does.
// They are read again, 10 ms apart, until it shows or the reset's time is up.
DWORD ResetPacketDevice(DriveContext& context) {
    DWORD result = Guarded([&]() -> DWORD {
        WriteRegister(context, REG_COMMAND, ATA_DEVICE_RESET);
        return 0;
    });
    if (result != 0) return result;
    const DWORD start = GetTickCount();
    DWORD waited = 0;
    bool signature = false;
    for (;;) {
        const DWORD elapsed = std::min(GetTickCount() - start, TIMEOUT_RESET - 1);
        waited = WaitStatus(context, TIMEOUT_RESET - elapsed, WS_NOT_BUSY | WS_NO_DRQ);
        if (waited == ERROR_BAD_UNIT) return waited;  // the socket is gone: nothing more to ask
        result = ReadSignature(context, signature);
        if (result != 0) return result;
        if (signature || GetTickCount() - start >= TIMEOUT_RESET) break;
        Sleep(SIGNATURE_POLL_MS);
    }
    if (!signature) return ERR_DEVICE;
    // The reset queued a unit attention; consume it so the next command runs.
    if (EvaluateSense(context) == ERR_DEVICE) return ERR_DEVICE;
    return waited;
}

}  // namespace

DWORD SendPacketWithRecovery(DriveContext& context, const BYTE* packet, USHORT limit,
                             DWORD timeout) {
    for (DWORD attempt = 0; attempt < MAX_ATTEMPTS; ++attempt) {
        if (SendPacket(context, packet, limit, timeout) == 0) return 0;
        DWORD recovery = EvaluateSense(context);
        if (recovery == ERR_DEVICE) recovery = ResetDevice(context);
        if (recovery != 0) return recovery;
    }
    return ERR_DEVICE;
}

DWORD ResetDevice(DriveContext& context) {
    const DWORD result = Guarded([&]() -> DWORD {
        WriteRegister(context, REG_DRIVE_SELECT, context.driveSelect);
        return 0;
    });
    if (result != 0) return result;
    return IsAta(context) ? ResetAtaDevice(context) : ResetPacketDevice(context);
}

void StartReset(DriveContext& context) {
    // A pulled card makes the reset pointless; the fault is dropped on purpose.
    (void)Guarded([&]() -> DWORD {
        if (IsAta(context)) {
            PulseSoftwareReset(context);
        } else {
            WriteRegister(context, REG_COMMAND, ATA_DEVICE_RESET);
        }
        return 0;
    });
}

DWORD ProbeRegisters(DriveContext& context) {
    return Guarded([&]() -> DWORD {
        WriteRegister(context, REG_DRIVE_SELECT, context.driveSelect);
        WriteRegister(context, REG_BYTE_COUNT_LOW, PROBE_LOW);
        WriteRegister(context, REG_BYTE_COUNT_HIGH, PROBE_HIGH);
        const bool answers = ReadRegister(context, REG_BYTE_COUNT_LOW) == PROBE_LOW &&
                             ReadRegister(context, REG_BYTE_COUNT_HIGH) == PROBE_HIGH;
        return answers ? 0 : ERR_DEVICE;
    });
}

}  // namespace atapi
