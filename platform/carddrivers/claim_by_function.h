// The detection step both card drivers share: a driver claims a card by its function id alone
// and answers with its own module name, provided the caller's buffer holds it.
#pragma once

#include <cardserv.h>
#include <windows.h>

#include <cstddef>
#include <cstring>

namespace carddrivers {

template <std::size_t N>
BOOL ClaimByFunction(CARD_SOCKET_HANDLE socket, BYTE functionId, const char16_t (&name)[N],
                     LPWSTR driver, DWORD driverChars) {
    CARD_IDENTITY identity{};
    if (!CardGetIdentity(socket, &identity) || identity.functionId != functionId ||
        driver == nullptr || driverChars < N) {
        return FALSE;
    }
    std::memcpy(driver, name, sizeof(name));
    return TRUE;
}

}  // namespace carddrivers
