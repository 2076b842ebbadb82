// The device manager: stream drivers named by a three-letter prefix and an index (CRD0:, DSK1:),
// loaded from a driver library whose entry points carry the prefix (DSK_Init, DSK_IOControl...).
// Contexts and device handles are pointer-sized here, so a driver's activation argument can be
// the address of a record on the 64-bit host as it is on the 32-bit target.
#pragma once

#include "windef.h"

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                     LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                     LPOVERLAPPED overlapped);

// Loads the library, resolves <prefix>_Init... and calls <prefix>_Init(context). The result is
// the device's handle for DeregisterDevice, or null with the last error set.
HANDLE RegisterDevice(LPCWSTR prefix, DWORD index, LPCWSTR library, DWORD_PTR context);
BOOL DeregisterDevice(HANDLE device);

// The same, with the prefix, index and library read from the values Prefix, Index (DWORD) and
// Dll under HKEY_LOCAL_MACHINE\<registryKey>; the argument is handed to <prefix>_Init.
HANDLE ActivateDevice(LPCWSTR registryKey, DWORD_PTR context);
BOOL DeactivateDevice(HANDLE device);

// What a stream driver library exports, with <prefix> in place of XXX.
typedef DWORD_PTR (*PFN_XXX_INIT)(DWORD_PTR context);
typedef BOOL (*PFN_XXX_DEINIT)(DWORD_PTR device);
typedef DWORD_PTR (*PFN_XXX_OPEN)(DWORD_PTR device, DWORD access, DWORD shareMode);
typedef BOOL (*PFN_XXX_CLOSE)(DWORD_PTR open);
typedef DWORD (*PFN_XXX_READ)(DWORD_PTR open, LPVOID buffer, DWORD count);
typedef DWORD (*PFN_XXX_WRITE)(DWORD_PTR open, LPCVOID buffer, DWORD count);
typedef DWORD (*PFN_XXX_SEEK)(DWORD_PTR open, LONG amount, DWORD type);
typedef BOOL (*PFN_XXX_IOCONTROL)(DWORD_PTR open, DWORD code, PBYTE inBuffer, DWORD inSize,
                                  PBYTE outBuffer, DWORD outSize, PDWORD actualOut);
typedef void (*PFN_XXX_POWERUP)(DWORD_PTR device);
typedef void (*PFN_XXX_POWERDOWN)(DWORD_PTR device);
