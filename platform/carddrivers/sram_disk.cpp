// The memory-card driver stand-in: it claims memory cards and nothing else. The simulated
// handheld has no memory card, so taking one is as far as it goes.
#include <cardserv.h>
#include <windows.h>

#include <cstring>

namespace {
BOOL DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
}  // namespace
CE_MODULE_ENTRY(DllMain)

CE_EXPORT BOOL DetectSRAMDisk(CARD_SOCKET_HANDLE socket, LPWSTR driver, DWORD driverChars) {
    CARD_IDENTITY identity{};
    constexpr char16_t name[] = u"SRAMDISK.DLL";
    if (!CardGetIdentity(socket, &identity) || identity.functionId != CARD_FUNCTION_MEMORY ||
        driver == nullptr || driverChars < sizeof(name) / sizeof(name[0])) {
        return FALSE;
    }
    std::memcpy(driver, name, sizeof(name));
    return TRUE;
}

CE_EXPORT BOOL CardAttach(CARD_SOCKET_HANDLE) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

CE_EXPORT void CardDetach(CARD_SOCKET_HANDLE) {}
