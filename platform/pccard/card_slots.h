// The plugged-in sockets and the driver each card was handed to.
#pragma once

#include <platform/pc_card.h>

#include <mutex>

namespace platform::pccard {

struct SocketState {
    CardSlot* slot = nullptr;
    HMODULE driver = nullptr;  // the claimed card's driver, loaded until the card leaves
    PFN_CARD_DETACH detach = nullptr;
};

std::mutex& SlotsMutex();
// Null for a socket number out of range. Guarded by SlotsMutex.
SocketState* Socket(DWORD socket);

}  // namespace platform::pccard
