// A stream driver library for the device manager's tests, prefix TST. It records what reached
// it, echoes control code 1 from the input to the output buffer and fails code 2 with 21.
#include "test_driver_log.h"

#include <windows.h>

namespace {

DriverLog log;
int device = 0;  // its address is the device context
int openContext = 0;

}  // namespace

CE_EXPORT DriverLog* TestDriverLog() { return &log; }

CE_EXPORT DWORD_PTR TST_Init(DWORD_PTR context) {
    ++log.inits;
    log.initContext = context;
    if (context == 0) {
        SetLastError(ERROR_BAD_UNIT);
        return 0;
    }
    return reinterpret_cast<DWORD_PTR>(&device);
}

CE_EXPORT BOOL TST_Deinit(DWORD_PTR dev) {
    if (dev != reinterpret_cast<DWORD_PTR>(&device)) return FALSE;
    ++log.deinits;
    return TRUE;
}

CE_EXPORT DWORD_PTR TST_Open(DWORD_PTR dev, DWORD access, DWORD share) {
    if (dev != reinterpret_cast<DWORD_PTR>(&device)) return 0;
    ++log.opens;
    log.lastAccess = access;
    log.lastShare = share;
    return reinterpret_cast<DWORD_PTR>(&openContext);
}

CE_EXPORT BOOL TST_Close(DWORD_PTR open) {
    if (open != reinterpret_cast<DWORD_PTR>(&openContext)) return FALSE;
    ++log.closes;
    return TRUE;
}

CE_EXPORT DWORD TST_Read(DWORD_PTR, LPVOID buffer, DWORD count) {
    for (DWORD i = 0; i < count; ++i) static_cast<BYTE*>(buffer)[i] = static_cast<BYTE>(i);
    return count;
}

CE_EXPORT DWORD TST_Write(DWORD_PTR, LPCVOID, DWORD) {
    SetLastError(ERROR_WRITE_PROTECT);
    return 0xFFFFFFFFu;
}

CE_EXPORT DWORD TST_Seek(DWORD_PTR, LONG, DWORD) { return 0; }

CE_EXPORT BOOL TST_IOControl(DWORD_PTR open, DWORD code, PBYTE in, DWORD inSize, PBYTE out,
                             DWORD outSize, PDWORD actualOut) {
    if (open != reinterpret_cast<DWORD_PTR>(&openContext)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ++log.controls;
    if (code == 1 && in != nullptr && out != nullptr && outSize >= inSize) {
        for (DWORD i = 0; i < inSize; ++i) out[i] = in[i];
        *actualOut = inSize;
        return TRUE;
    }
    SetLastError(code == 2 ? ERROR_NOT_READY : ERROR_INVALID_PARAMETER);
    return FALSE;
}

CE_EXPORT void TST_PowerUp(DWORD_PTR dev) {
    if (dev == reinterpret_cast<DWORD_PTR>(&device)) ++log.powerUps;
}
CE_EXPORT void TST_PowerDown(DWORD_PTR dev) {
    if (dev == reinterpret_cast<DWORD_PTR>(&device)) ++log.powerDowns;
}
