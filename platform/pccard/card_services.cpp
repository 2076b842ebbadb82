// The socket-services calls a card driver makes, answered from the plugged-in slot.
#include "card_slots.h"

#include <winbase.h>
#include <winerror.h>

#include <array>
#include <cstring>

namespace platform::pccard {
namespace {

std::array<SocketState, kCardSockets>& Sockets() {
    static std::array<SocketState, kCardSockets> sockets;
    return sockets;
}

// The slot, or null with the last error set.
CardSlot* SlotOf(CARD_SOCKET_HANDLE socket) {
    std::lock_guard lock(SlotsMutex());
    SocketState* state = Socket(socket);
    if (state == nullptr || state->slot == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return state->slot;
}

}  // namespace

std::mutex& SlotsMutex() {
    static std::mutex mutex;
    return mutex;
}

SocketState* Socket(DWORD socket) { return socket < kCardSockets ? &Sockets()[socket] : nullptr; }

}  // namespace platform::pccard

namespace platform {

void SetCardSlot(DWORD socket, CardSlot* slot) {
    std::lock_guard lock(pccard::SlotsMutex());
    if (auto* state = pccard::Socket(socket)) state->slot = slot;
}

}  // namespace platform

BOOL CardGetIdentity(CARD_SOCKET_HANDLE socket, CARD_IDENTITY* identity) {
    platform::CardSlot* slot = platform::pccard::SlotOf(socket);
    if (slot == nullptr) return FALSE;
    if (identity == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    CARD_IDENTITY read{};
    if (!slot->ReadIdentity(read)) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    read.maker[sizeof read.maker - 1] = 0;
    read.product[sizeof read.product - 1] = 0;
    *identity = read;
    return TRUE;
}

BOOL CardMapIoWindow(CARD_SOCKET_HANDLE socket, PUCHAR* registers, PUCHAR* control, BOOL* wideBus) {
    platform::CardSlot* slot = platform::pccard::SlotOf(socket);
    if (slot == nullptr) return FALSE;
    if (registers == nullptr || control == nullptr || wideBus == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PUCHAR r = nullptr, c = nullptr;
    bool wide = false;
    if (!slot->IoWindow(r, c, wide)) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    *registers = r;
    *control = c;
    *wideBus = wide ? TRUE : FALSE;
    return TRUE;
}

BOOL CardIsPresent(CARD_SOCKET_HANDLE socket) {
    platform::CardSlot* slot = platform::pccard::SlotOf(socket);
    CARD_IDENTITY identity{};
    return slot != nullptr && slot->ReadIdentity(identity) ? TRUE : FALSE;
}
