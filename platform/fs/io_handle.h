// What ReadFile, WriteFile and SetFilePointer reach through a handle: an open file of the file
// system or an open stream device. Each sets the last error itself when it fails.
#pragma once

#include <platform/kernel_object.h>

namespace platform::fs {

class IoHandle : public KernelObject {
public:
    virtual BOOL Read(void* buffer, DWORD count, DWORD& done) = 0;
    virtual BOOL Write(const void* buffer, DWORD count, DWORD& done) = 0;
    virtual DWORD Seek(LONG distance, LONG* distanceHigh, DWORD method) = 0;
};

}  // namespace platform::fs
