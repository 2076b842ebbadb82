// PC Card services: what a card driver asks of the socket it serves, and the entry points by
// which the platform hands it a card. A socket is named by its number.
#pragma once

#include "windef.h"

typedef DWORD CARD_SOCKET_HANDLE;

// Function ids of a card's information structure.
inline constexpr BYTE CARD_FUNCTION_MEMORY = 0x01;
inline constexpr BYTE CARD_FUNCTION_FIXED_DISK = 0x04;

// The card's product-information strings and its function id.
struct CARD_IDENTITY {
    CHAR maker[64];
    CHAR product[64];
    BYTE functionId;
};

// FALSE with 1167 when the socket holds no card, 87 for a socket that does not exist or no record.
BOOL CardGetIdentity(CARD_SOCKET_HANDLE socket, CARD_IDENTITY* identity);
// The card's I/O window: the eight task-file registers, the device-control register and whether
// the data register is 16 bits wide. Addresses stay valid until the card leaves.
BOOL CardMapIoWindow(CARD_SOCKET_HANDLE socket, PUCHAR* registers, PUCHAR* control, BOOL* wideBus);
// TRUE while a card sits in the socket.
BOOL CardIsPresent(CARD_SOCKET_HANDLE socket);

// A detection entry (the Entry of a subkey of HKEY_LOCAL_MACHINE\Drivers\PCMCIA\Detect): claims
// the card by writing the file name of the driver library to load for it and answering TRUE.
typedef BOOL (*PFN_CARD_DETECT)(CARD_SOCKET_HANDLE socket, LPWSTR driver, DWORD driverChars);
// What the claimed driver library exports: CardAttach when the card is handed to it (FALSE
// leaves the card unusable until it is inserted again) and CardDetach when the card has left.
typedef BOOL (*PFN_CARD_ATTACH)(CARD_SOCKET_HANDLE socket);
typedef void (*PFN_CARD_DETACH)(CARD_SOCKET_HANDLE socket);
