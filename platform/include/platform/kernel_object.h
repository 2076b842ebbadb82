// The kernel's handle table. Every object a HANDLE names (threads here; files, listings and
// devices in the file system and device manager) derives from KernelObject; CloseHandle and
// WaitForSingleObject reach them through this table.
#pragma once

#include <memory>

#include "../windef.h"

namespace platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Called by CloseHandle after the handle is gone from the table; returns 0 or an error.
    virtual DWORD Close() { return 0; }
    // WAIT_OBJECT_0, WAIT_TIMEOUT; objects that cannot be waited on answer WAIT_FAILED.
    virtual DWORD Wait(DWORD milliseconds);
};

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
// Removes the handle; the object lives on while others hold it.
std::shared_ptr<KernelObject> UnregisterHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

}  // namespace platform
