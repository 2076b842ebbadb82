#include "device_name.h"

LONG ReadDeviceName(WCHAR (&name)[DEVICE_NAME_CHARS]) {
    name[0] = 0;
    HKEY key;
    const LONG opened = RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Ident", 0, KEY_QUERY_VALUE, &key);
    if (opened != ERROR_SUCCESS) return opened;
    DWORD size = sizeof name;
    // The value's type is not looked at: whatever bytes it holds are taken as the name.
    const LONG read = RegQueryValueEx(key, u"Name", nullptr, nullptr, reinterpret_cast<LPBYTE>(name), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) {
        name[0] = 0;
        return ERROR_SUCCESS;
    }
    // The registry returns the bytes as stored: a value without its own terminator would run on
    // into whatever the buffer held before.
    const DWORD chars = size / sizeof(WCHAR);
    name[chars < DEVICE_NAME_CHARS ? chars : DEVICE_NAME_CHARS - 1] = 0;
    return ERROR_SUCCESS;
}
