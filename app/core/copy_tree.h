// The copy walk both directions share: counting the bytes to copy, walking a folder tree with
// its skip rules, error mapping and progress arithmetic, and creating a chain of folders. What
// happens to each file is the per-file step of the job's mode.
#pragma once

#include <windows.h>

#include <cstdint>

#include "result_code.h"
#include "transfer_job.h"

// One per worker, on the worker's own stack.
struct TransferContext {
    TransferJob* job = nullptr;
    // Sum of the low 32 bits of the sizes of every file the walk will visit (wraps).
    DWORD totalBytes = 0;
};

// Creates every folder along `path`, shortest first; 183 and 5 count as success. The code of
// the last creation that failed with another code, unless a later 183 or 5 reset it.
ResultCode CreateFolderChain(TransferContext& context, const ui::TextString& path);
// The bytes of all files below `folder` that are not in ROM, leaving out the drive's folder.
DWORD CountTreeBytes(TransferContext& context, const ui::TextString& folder);
// Copies the files below `folder` by the job's mode; the first nonzero result ends the walk.
ResultCode CopyTree(TransferContext& context, const ui::TextString& folder);
// What one file of `size` bytes adds to the percentage, out of `totalBytes` (truncated; 0 for
// an empty tree). Wide enough for any file: a product in 32 bits wraps above about 42 MB.
uint64_t ProgressIncrement(DWORD size, DWORD totalBytes);
// Removes a folder and everything below it; nothing is checked.
void DeleteTree(const ui::TextString& folder);
// Clears read-only and system, so the entry can be deleted or overwritten.
void ClearProtectionAttributes(const ui::TextString& path);

// The per-file steps: true when the file was placed (copied, or left alone by rule); false
// leaves the reason in the last error.
bool BackupFile(TransferContext& context, const ui::TextString& folder, const WIN32_FIND_DATA& entry);
bool RestoreFile(TransferContext& context, const ui::TextString& folder, const WIN32_FIND_DATA& entry);
