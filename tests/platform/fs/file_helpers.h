// Calls the file-API tests make again and again: opening, whole-file reads and writes, listings,
// and catching the last error a call leaves.
#pragma once

#include <support/faulty_backend.h>
#include <support/temp_folder.h>

#include <platform/clock.h>
#include <platform/file_system.h>
#include <platform/host_folder_backend.h>
#include <platform/memory_backend.h>
#include <platform/text.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace file_tests {

using testing_support::FaultyBackend;
using testing_support::TempFolder;

// Set before every call whose last error is checked, so a call that sets nothing is caught.
constexpr DWORD kSentinel = 0xDEADBEEF;

// Runs call with the sentinel as last error and returns the last error it left.
template <class Call>
DWORD LastErrorAfter(Call call) {
    SetLastError(kSentinel);
    call();
    return GetLastError();
}

inline HANDLE Open(const char16_t* path, DWORD access = GENERIC_READ | GENERIC_WRITE,
                   DWORD share = 0, DWORD disposition = OPEN_EXISTING) {
    return CreateFile(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline bool WriteText(const char16_t* path, std::string_view text) {
    HANDLE file = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

// The whole contents, or "<error N>" when the file cannot be opened.
inline std::string ReadText(const char16_t* path) {
    HANDLE file = Open(path, GENERIC_READ, FILE_SHARE_READ);
    if (file == INVALID_HANDLE_VALUE) return "<error " + std::to_string(GetLastError()) + ">";
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    CloseHandle(file);
    return text;
}

// Names a listing yields for pattern, in order; the last error after it ended is in endError.
inline std::vector<std::string> List(const char16_t* pattern, DWORD* endError = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATA data;
    SetLastError(kSentinel);
    HANDLE listing = FindFirstFile(pattern, &data);
    if (listing == INVALID_HANDLE_VALUE) {
        if (endError) *endError = GetLastError();
        return names;
    }
    do {
        names.push_back(platform::ToUtf8(data.cFileName));
        SetLastError(kSentinel);
    } while (FindNextFile(listing, &data));
    if (endError) *endError = GetLastError();
    FindClose(listing);
    return names;
}

}  // namespace file_tests
