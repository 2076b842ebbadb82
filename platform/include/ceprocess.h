// Processes: starting a program of the handheld by its CE file name. A program is a module
// (Tandel.exe, PegHelp.exe) exporting WinMain; it runs on a thread of its own and its handle
// is waited on and read like a thread's.
#pragma once

#include "windef.h"

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// CE takes neither a startup record nor security attributes; the parameters keep their place.
BOOL CreateProcess(LPCWSTR imageName, LPCWSTR commandLine, void* processAttributes,
                   void* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                   LPVOID environment, LPCWSTR currentDirectory, void* startupInfo,
                   LPPROCESS_INFORMATION processInformation);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

// A program's entry.
typedef int (*WINMAIN_ENTRY)(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine,
                             int showCommand);
