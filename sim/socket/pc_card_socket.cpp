#include "pc_card_socket.h"

#include <platform/io_window.h>

#include <cstring>

namespace sim {

PcCardSocket::PcCardSocket(bool wideBus) {
    InitializeCriticalSection(&record_.socketLock);
    SetSocketState(record_, kStateEmpty);
    record_.socketWideBus = wideBus ? 1 : 0;
}

PcCardSocket::~PcCardSocket() {
    PullCard();
    DeleteCriticalSection(&record_.socketLock);
}

bool PcCardSocket::Insert(EmulatedDrive& drive) {
    EmulatedDrive* empty = nullptr;
    if (!drive_.compare_exchange_strong(empty, &drive)) return false;
    drive.PowerOn();
    PUCHAR window = platform::MapIoWindow(drive, ata::kWindowSize);
    if (window == nullptr) {
        drive.PowerOff();
        drive_.store(nullptr);
        return false;
    }
    drive.SetCardPullHandler([this] { PullCard(); });
    window_.store(window);
    SetSocketState(record_, SOCKET_STATE_USABLE);
    return true;
}

void PcCardSocket::Remove() {
    EnterCriticalSection(&record_.socketLock);
    PullCard();
    LeaveCriticalSection(&record_.socketLock);
}

void PcCardSocket::PullCard() {
    // Whoever takes the window tears down; a second caller (say the drive's pull switch racing
    // a test thread) finds it gone and returns, so no one waits on an access that waits on it.
    PUCHAR window = window_.exchange(nullptr);
    if (window == nullptr) return;
    SetSocketState(record_, kStateEmpty);
    platform::UnmapIoWindow(window);
    EmulatedDrive* drive = drive_.exchange(nullptr);
    drive->SetCardPullHandler(nullptr);
    drive->PowerOff();
}

bool PcCardSocket::ReadIdentity(CARD_IDENTITY& identity) {
    if (!HasCard()) return false;
    identity = {};
    std::memcpy(identity.maker, kCardMaker, sizeof kCardMaker);
    std::memcpy(identity.product, kCardProduct, sizeof kCardProduct);
    identity.functionId = CARD_FUNCTION_FIXED_DISK;
    return true;
}

bool PcCardSocket::IoWindow(PUCHAR& registers, PUCHAR& control, bool& wideBus) {
    PUCHAR window = window_.load();
    if (window == nullptr) return false;
    registers = window;
    control = window + ata::kControl;
    wideBus = std::atomic_ref<DWORD>(record_.socketWideBus).load() != 0;
    return true;
}

void PcCardSocket::SetState(DWORD state) { SetSocketState(record_, state); }

void PcCardSocket::SetWideBus(bool wide) {
    std::atomic_ref<DWORD>(record_.socketWideBus).store(wide ? 1 : 0);
}

PUCHAR PcCardSocket::controlRegister() const {
    PUCHAR window = window_.load();
    return window == nullptr ? nullptr : window + ata::kControl;
}

void PcCardSocket::WireContext(DriveContext& context) {
    context.registerWindow = registerWindow();
    context.controlRegister = controlRegister();
    context.socket = &record_;
    EmulatedDrive* drive = drive_.load();
    if (drive != nullptr) context.deviceKind = drive->Variant() == DriveVariant::Ata ? DEVICE_KIND_ATA : 0;
}

BusyScope::BusyScope(DriveContext& context) : context_(context) {
    std::atomic_ref<DWORD>(context_.busyCount).fetch_add(1);
}

BusyScope::~BusyScope() { std::atomic_ref<DWORD>(context_.busyCount).fetch_sub(1); }

}  // namespace sim
