#include "copy_tree.h"

#include "drive_folder.h"
#include "program_objects.h"
#include "shared_flags.h"

namespace {

constexpr DWORD NO_ATTRIBUTES = 0xFFFFFFFF;
// While files are still being copied the bar stays below this; only the end sets 100.
constexpr DWORD PROGRESS_CAP = 95;

bool IsDriveFolder(const ui::TextString& folder) { return folder == driveFolder; }

bool Cancelled() { return cancelRequested.load(std::memory_order_relaxed) != 0; }

ui::TextString ListingPattern(const ui::TextString& folder) {
    return folder + pathSeparator + u"*.*";
}

bool IsEndOfListing(DWORD code) { return code == ERROR_NO_MORE_FILES || code == ERROR_NO_MORE_ITEMS; }

void AddProgress(const TransferContext& context, DWORD size) {
    const uint64_t increment = ProgressIncrement(size, context.totalBytes);
    const DWORD now = progressPercent.load(std::memory_order_relaxed);
    if (now + increment < PROGRESS_CAP) {
        progressPercent.store(now + static_cast<DWORD>(increment), std::memory_order_relaxed);
    }
}

// The outcome of one file's step as the walk sees it.
ResultCode FileResult(const TransferContext& context, bool placed) {
    if (placed) return RESULT_SUCCESS;
    const ResultCode code = GetLastError();
    // A file in use is skipped in both directions; a device file that may not be replaced is
    // skipped in a restore, while a backup that may not write stops.
    if (code == ERROR_SHARING_VIOLATION) return RESULT_SUCCESS;
    if (code == ERROR_ACCESS_DENIED && context.job->mode == MODE_RESTORE) return RESULT_SUCCESS;
    return code;
}

ResultCode CopyFileEntry(TransferContext& context, const ui::TextString& folder, const WIN32_FIND_DATA& entry) {
    const bool placed = context.job->mode == MODE_RESTORE ? RestoreFile(context, folder, entry)
                                                          : BackupFile(context, folder, entry);
    const ResultCode result = FileResult(context, placed);
    AddProgress(context, entry.nFileSizeLow);
    return result;
}

}  // namespace

uint64_t ProgressIncrement(DWORD size, DWORD totalBytes) {
    if (totalBytes == 0) return 0;
    return (uint64_t{size} * 100u) / totalBytes;
}

ResultCode CreateFolderChain(TransferContext&, const ui::TextString& path) {
    ResultCode result = RESULT_SUCCESS;
    const WCHAR separator = pathSeparator.GetAt(0);
    const int length = path.GetLength();
    int count = 0;
    for (int i = 0; i < length; ++i) {
        if (path.GetAt(i) == separator) ++count;
    }
    ui::TextString partial = path;
    int cut = 0;
    for (int n = 0; n < count; ++n) {
        int k = cut + 1;
        while (k < length && partial.GetAt(k) != separator) ++k;
        cut = k;
        if (k < length) partial.SetAt(k, 0);
        if (!CreateDirectory(partial.c_str(), nullptr)) {
            const DWORD error = GetLastError();
            result = (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) ? RESULT_SUCCESS : error;
        }
        if (k < length) partial.SetAt(k, separator);
    }
    return result;
}

DWORD CountTreeBytes(TransferContext& context, const ui::TextString& folder) {
    DWORD sum = 0;
    if (IsDriveFolder(folder) || Cancelled()) return 0;
    WIN32_FIND_DATA entry;
    HANDLE listing = FindFirstFile(ListingPattern(folder), &entry);
    if (listing == INVALID_HANDLE_VALUE) return 0;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            sum += CountTreeBytes(context, folder + pathSeparator + entry.cFileName);
        } else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_INROM)) {
            sum += entry.nFileSizeLow;
        }
    } while (FindNextFile(listing, &entry));
    FindClose(listing);
    return sum;
}

ResultCode CopyTree(TransferContext& context, const ui::TextString& folder) {
    ResultCode result = RESULT_SUCCESS;
    if (IsDriveFolder(folder) || Cancelled()) return RESULT_SUCCESS;
    WIN32_FIND_DATA entry;
    HANDLE listing = FindFirstFile(ListingPattern(folder), &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        result = GetLastError();
    } else {
        for (;;) {
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                result = CopyTree(context, folder + pathSeparator + entry.cFileName);
            } else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_INROM)) {
                result = CopyFileEntry(context, folder, entry);
            }
            if (result != RESULT_SUCCESS || Cancelled()) break;
            if (!FindNextFile(listing, &entry)) {
                result = GetLastError();
                break;
            }
        }
        FindClose(listing);
    }
    // The end of a listing is no failure, and 259 must never leave a worker: it reads as a
    // thread that still runs.
    if (IsEndOfListing(result)) result = RESULT_SUCCESS;
    return result;
}

void DeleteTree(const ui::TextString& folder) {
    WIN32_FIND_DATA entry;
    HANDLE listing = FindFirstFile(ListingPattern(folder), &entry);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            const ui::TextString path = folder + pathSeparator + entry.cFileName;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path);
            } else {
                ClearProtectionAttributes(path);
                DeleteFile(path);
            }
        } while (FindNextFile(listing, &entry));
        FindClose(listing);
    }
    ClearProtectionAttributes(folder);
    RemoveDirectory(folder);
}

void ClearProtectionAttributes(const ui::TextString& path) {
    const DWORD attributes = GetFileAttributes(path);
    if (attributes == NO_ATTRIBUTES) return;
    SetFileAttributes(path, attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
}
