// QVDISK's entry points. The device handle and the open handle are both the context's address;
// every handle is checked against the live set before it is used, so a stale handle from the
// file system gets an error instead of touching freed memory. Block requests run without the
// lock: the card driver's handler serialises access to the drive itself.
#include <cedevice.h>
#include <diskio.h>

#include <cstring>

#include "live_contexts.h"

namespace {

constexpr DWORD kNoError = 0;

DriveContext* ContextOf(DWORD_PTR handle) { return reinterpret_cast<DriveContext*>(handle); }

DWORD DiskControl(DriveContext* context, DWORD code, PBYTE in, DWORD inSize) {
    switch (code) {
    case DISK_IOCTL_GETINFO:
        // A buffer shorter than the record would be overrun.
        if (inSize < sizeof(DiskInfo)) return ERROR_INVALID_PARAMETER;
        std::memcpy(in, &context->diskInfo, sizeof(DiskInfo));
        return kNoError;
    case DISK_IOCTL_SETINFO:
        if (inSize < sizeof(DiskInfo)) return ERROR_INVALID_PARAMETER;
        std::memcpy(&context->diskInfo, in, sizeof(DiskInfo));
        return kNoError;
    case DISK_IOCTL_READ:
    case DISK_IOCTL_WRITE:
        if (context->readWriteHandler == nullptr) return ERROR_NOT_READY;
        return context->readWriteHandler(context, code, reinterpret_cast<DiskRequest*>(in));
    case DISK_IOCTL_FORMAT_MEDIA:
        // The medium is written by the file system's formatter; here it only stops counting
        // as unformatted.
        context->diskInfo.diskFlags &= ~DISK_INFO_FLAG_UNFORMATTED;
        return kNoError;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) qvdisk::CreateLock();
    if (reason == DLL_PROCESS_DETACH) qvdisk::DeleteLock();
    return TRUE;
}

}  // namespace

CE_MODULE_ENTRY(DllMain)

CE_EXPORT DWORD_PTR DSK_Init(DWORD_PTR activationContext) {
    DriveContext* context = ContextOf(activationContext);
    if (context == nullptr) return 0;
    qvdisk::Add(context);
    return activationContext;
}

CE_EXPORT BOOL DSK_Deinit(DWORD_PTR device) { return qvdisk::Remove(ContextOf(device)) ? TRUE : FALSE; }

CE_EXPORT DWORD_PTR DSK_Open(DWORD_PTR device, DWORD, DWORD) {
    return qvdisk::CountOpen(ContextOf(device)) ? device : 0;
}

CE_EXPORT BOOL DSK_Close(DWORD_PTR open) { return qvdisk::CountClose(ContextOf(open)) ? TRUE : FALSE; }

CE_EXPORT DWORD DSK_Read(DWORD_PTR, LPVOID, DWORD) { return 0; }
CE_EXPORT DWORD DSK_Write(DWORD_PTR, LPCVOID, DWORD) { return 0; }
CE_EXPORT DWORD DSK_Seek(DWORD_PTR, LONG, DWORD) { return 0; }
CE_EXPORT void DSK_PowerUp(DWORD_PTR) {}
CE_EXPORT void DSK_PowerDown(DWORD_PTR) {}

CE_EXPORT BOOL DSK_IOControl(DWORD_PTR open, DWORD code, PBYTE in, DWORD inSize, PBYTE, DWORD,
                             PDWORD) {
    DriveContext* context = ContextOf(open);
    DWORD opens = 0;
    DWORD error = kNoError;
    if (!qvdisk::OpensOfLive(context, opens) || opens == 0) {
        error = ERROR_INVALID_HANDLE;
    } else if (in == nullptr) {
        error = ERROR_INVALID_PARAMETER;
    } else {
        error = DiskControl(context, code, in, inSize);
    }
    if (error != kNoError) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
