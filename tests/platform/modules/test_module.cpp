// A module for the loader's tests: one export, and an entry that succeeds or fails as built.
#include <windows.h>

CE_EXPORT int TestAnswer() { return 42; }

namespace {
BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    return reason != DLL_PROCESS_ATTACH || (instance != nullptr && ATTACH_RESULT);
}
}  // namespace
CE_MODULE_ENTRY(DllMain)
