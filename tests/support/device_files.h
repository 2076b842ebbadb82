// Files on the simulated handheld written whole through the CE file API, for tests that care
// only whether the write as a whole went through.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// True when the file was created (or emptied) and every byte written.
inline bool WriteWholeFile(const char16_t* path, const std::string& bytes) {
    HANDLE file = CreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

}  // namespace testing_support
