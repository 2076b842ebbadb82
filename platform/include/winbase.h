// Kernel services of the CE stand-in: last error, threads, waits, time, critical sections,
// module loading.
#pragma once

#include "windef.h"
#include "winerror.h"

// --- last error (per thread) ---
DWORD GetLastError();
void SetLastError(DWORD error);

// --- handles and waits ---
#define STILL_ACTIVE 259u
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu

BOOL CloseHandle(HANDLE object);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);

// --- threads ---
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);
#define CREATE_SUSPENDED 0x00000004u

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, DWORD stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creationFlags,
                    LPDWORD threadId);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD GetCurrentThreadId();

// --- time ---
void Sleep(DWORD milliseconds);
DWORD GetTickCount();
void GetLocalTime(LPSYSTEMTIME localTime);
void GetSystemTime(LPSYSTEMTIME systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime);
LONG CompareFileTime(const FILETIME* first, const FILETIME* second);

// --- critical sections ---
// Five 32-bit words on the target, as CE lays it out; the lock lives in the record itself, so
// it needs no allocation and fits the 20 bytes that records sharing it across modules reserve.
typedef struct CRITICAL_SECTION {
    LONG LockCount;      // 0 free, 1 held, 2 held with waiters
    HANDLE OwnerThread;  // owning thread's id while held
    HANDLE hCrit;        // unused here
    DWORD needtrap;      // unused here
    DWORD dwContentions; // recursion depth of the owner
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);

// --- modules ---
#define DLL_PROCESS_DETACH 0u
#define DLL_PROCESS_ATTACH 1u
#define DLL_THREAD_ATTACH 2u
#define DLL_THREAD_DETACH 3u

HMODULE LoadLibrary(LPCWSTR fileName);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, LPCWSTR procName);

// A module's entry (DllMain). ELF has no PE entry point, so the module's load and unload
// hooks call it; a FALSE answer at attach makes LoadLibrary fail with ERROR_DLL_INIT_FAILED.
// Use once per module: CE_MODULE_ENTRY(DllMain)
namespace platform::detail {
void ReportModuleAttach(BOOL ok);
HINSTANCE ModuleInstanceOf(const void* addressInModule);
}
#define CE_MODULE_ENTRY(entry)                                                              \
    namespace {                                                                             \
    __attribute__((constructor)) void ceModuleAttach() {                                    \
        platform::detail::ReportModuleAttach(entry(                                         \
            platform::detail::ModuleInstanceOf(reinterpret_cast<const void*>(&ceModuleAttach)), \
            DLL_PROCESS_ATTACH, nullptr));                                                  \
    }                                                                                       \
    __attribute__((destructor)) void ceModuleDetach() {                                     \
        entry(platform::detail::ModuleInstanceOf(reinterpret_cast<const void*>(&ceModuleAttach)), \
              DLL_PROCESS_DETACH, nullptr);                                                 \
    }                                                                                       \
    }
