// A module for the loader's tests: one export, and an entry that succeeds or fails as built.
#include <windows.h>

#include <cstdlib>
#include <string>

CE_EXPORT int TestAnswer() { return 42; }

namespace {
// Each call appends its reason to TESTMOD_EVENTS, where the test reads it after the module is gone.
void Log(DWORD reason) {
    const char* events = std::getenv("TESTMOD_EVENTS");
    std::string text = events ? events : "";
    text += static_cast<char>('0' + reason);
    setenv("TESTMOD_EVENTS", text.c_str(), 1);
}

BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    Log(reason);
    return reason != DLL_PROCESS_ATTACH || (instance != nullptr && ATTACH_RESULT);
}
}  // namespace
CE_MODULE_ENTRY(DllMain)
