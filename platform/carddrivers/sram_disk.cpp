// The memory-card driver stand-in: it claims memory cards and nothing else. The simulated
// handheld has no memory card, so taking one is as far as it goes.
#include <cardserv.h>
#include <windows.h>

#include "claim_by_function.h"

namespace {
BOOL DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
}  // namespace
CE_MODULE_ENTRY(DllMain)

CE_EXPORT BOOL DetectSRAMDisk(CARD_SOCKET_HANDLE socket, LPWSTR driver, DWORD driverChars) {
    return carddrivers::ClaimByFunction(socket, CARD_FUNCTION_MEMORY, u"SRAMDISK.DLL", driver, driverChars);
}

CE_EXPORT BOOL CardAttach(CARD_SOCKET_HANDLE) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

CE_EXPORT void CardDetach(CARD_SOCKET_HANDLE) {}
