// QVSETUP: the package's setup library. The installer's arguments are not needed.
#include <ce_setup.h>

#include "detect_entry.h"

CE_EXPORT codeINSTALL_INIT Install_Init(HWND, BOOL, BOOL, LPCWSTR) {
    return UpdateDetectEntry(DetectEntryAction::Install) ? codeINSTALL_INIT_CONTINUE
                                                         : codeINSTALL_INIT_CANCEL;
}

CE_EXPORT codeINSTALL_EXIT Install_Exit(HWND, LPCWSTR, WORD, WORD, WORD, WORD, WORD) {
    return codeINSTALL_EXIT_DONE;
}

CE_EXPORT codeUNINSTALL_INIT Uninstall_Init(HWND, LPCWSTR) {
    return UpdateDetectEntry(DetectEntryAction::Remove) ? codeUNINSTALL_INIT_CONTINUE
                                                        : codeUNINSTALL_INIT_CANCEL;
}

CE_EXPORT codeUNINSTALL_EXIT Uninstall_Exit(HWND) { return codeUNINSTALL_EXIT_DONE; }

namespace {
BOOL DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
}  // namespace
CE_MODULE_ENTRY(DllMain)
