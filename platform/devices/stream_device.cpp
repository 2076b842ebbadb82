// What a stream device without the optional entries answers.
#include <platform/devices.h>
#include <winbase.h>

namespace platform {

DWORD StreamDevice::Read(DWORD_PTR, void*, DWORD) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return 0xFFFFFFFFu;
}

DWORD StreamDevice::Write(DWORD_PTR, const void*, DWORD) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return 0xFFFFFFFFu;
}

DWORD StreamDevice::Seek(DWORD_PTR, LONG, DWORD) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return 0xFFFFFFFFu;
}

}  // namespace platform
