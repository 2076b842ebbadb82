// A driver-shaped module for the register tests: reads one register inside the DDK guard.
#include <ceddk.h>
#include <windows.h>

// 1 and the byte when the read ran, 0 when the window was gone.
CE_EXPORT int GuardedRead(volatile UCHAR* reg, UCHAR* value) {
    return platform::GuardRegisterAccess([&] { *value = READ_REGISTER_UCHAR(reg); }) ? 1 : 0;
}

namespace {
BOOL DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
}  // namespace
CE_MODULE_ENTRY(DllMain)
