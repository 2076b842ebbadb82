// The application installer's setup-library interface.
#pragma once

#include "windef.h"

typedef DWORD codeINSTALL_INIT;
typedef DWORD codeINSTALL_EXIT;
typedef DWORD codeUNINSTALL_INIT;
typedef DWORD codeUNINSTALL_EXIT;

#define codeINSTALL_INIT_CONTINUE 0u
#define codeINSTALL_INIT_CANCEL 1u
#define codeINSTALL_EXIT_DONE 0u
#define codeINSTALL_EXIT_UNINSTALL 1u
#define codeUNINSTALL_INIT_CONTINUE 0u
#define codeUNINSTALL_INIT_CANCEL 1u
#define codeUNINSTALL_EXIT_DONE 0u

typedef codeINSTALL_INIT (*pfnINSTALL_INIT)(HWND parent, BOOL firstCall,
                                            BOOL previouslyInstalled, LPCWSTR installDir);
typedef codeINSTALL_EXIT (*pfnINSTALL_EXIT)(HWND parent, LPCWSTR installDir, WORD failedDirs,
                                            WORD failedFiles, WORD failedRegKeys,
                                            WORD failedRegValues, WORD failedShortcuts);
typedef codeUNINSTALL_INIT (*pfnUNINSTALL_INIT)(HWND parent, LPCWSTR installDir);
typedef codeUNINSTALL_EXIT (*pfnUNINSTALL_EXIT)(HWND parent);
