// The ATA disk driver stand-in: its detection claims every fixed-disk card, and it speaks plain
// ATA only. Given the card it asks the disk to identify itself; a packet device aborts that
// command (and shows the packet signature), so the card is of no use to this driver and stays
// so until it is inserted again. It mounts nothing: a plain ATA disk is only reported.
#include <cardserv.h>
#include <ceddk.h>
#include <windows.h>

#include <cstdio>

#include "claim_by_function.h"

namespace {

constexpr BYTE kStatusBusy = 0x80, kStatusDrq = 0x08, kStatusError = 0x01;
constexpr BYTE kIdentifyDevice = 0xEC;
constexpr int kMaxPolls = 200000;  // the drive answers within a few polls; a dead one never does

enum class Answer { AtaDisk, PacketDevice, Nothing };

bool WaitNotBusy(PUCHAR registers, BYTE& status) {
    for (int poll = 0; poll < kMaxPolls; ++poll) {
        status = READ_REGISTER_UCHAR(registers + 7);
        if ((status & kStatusBusy) == 0 && status != 0xFF) return true;
    }
    return false;
}

Answer Identify(PUCHAR registers) {
    Answer answer = Answer::Nothing;
    platform::GuardRegisterAccess([&] {
        BYTE status = 0;
        WRITE_REGISTER_UCHAR(registers + 6, 0xA0);
        if (!WaitNotBusy(registers, status)) return;
        WRITE_REGISTER_UCHAR(registers + 7, kIdentifyDevice);
        if (!WaitNotBusy(registers, status)) return;
        if (status & kStatusError) {
            const bool packet = READ_REGISTER_UCHAR(registers + 4) == 0x14 &&
                                READ_REGISTER_UCHAR(registers + 5) == 0xEB;
            answer = packet ? Answer::PacketDevice : Answer::Nothing;
            return;
        }
        if (status & kStatusDrq) {
            for (int word = 0; word < 256; ++word) READ_REGISTER_USHORT(reinterpret_cast<volatile USHORT*>(registers));
            answer = Answer::AtaDisk;
        }
    });
    return answer;
}

BOOL DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // namespace
CE_MODULE_ENTRY(DllMain)

CE_EXPORT BOOL DetectATADisk(CARD_SOCKET_HANDLE socket, LPWSTR driver, DWORD driverChars) {
    return carddrivers::ClaimByFunction(socket, CARD_FUNCTION_FIXED_DISK, u"ATADISK.DLL", driver, driverChars);
}

CE_EXPORT BOOL CardAttach(CARD_SOCKET_HANDLE socket) {
    PUCHAR registers = nullptr, control = nullptr;
    BOOL wide = FALSE;
    if (!CardMapIoWindow(socket, &registers, &control, &wide)) return FALSE;
    switch (Identify(registers)) {
    case Answer::PacketDevice:
        std::printf("ATADISK: the card in socket %lu is no ATA disk; it stays unusable until it is "
                    "inserted again\n", static_cast<unsigned long>(socket));
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    case Answer::AtaDisk:
        std::printf("ATADISK: ATA disk found in socket %lu\n", static_cast<unsigned long>(socket));
        return TRUE;
    case Answer::Nothing:
    default:
        std::printf("ATADISK: no disk answers in socket %lu\n", static_cast<unsigned long>(socket));
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
}

CE_EXPORT void CardDetach(CARD_SOCKET_HANDLE) {}
