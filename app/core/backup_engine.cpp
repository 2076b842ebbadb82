#include "backup_engine.h"

#include "../dialogs/progress_dialog.h"
#include "backup_application.h"
#include "program_objects.h"
#include "shared_flags.h"

namespace {
constexpr DWORD STILL_RUNNING = 259;
constexpr DWORD WAIT_POLL_MS = 100;
// Lets the bar show its last value before the final 100 closes the dialog.
constexpr DWORD FINAL_PAUSE_MS = 500;
constexpr DWORD NO_ATTRIBUTES = 0xFFFFFFFF;
}  // namespace

ResultCode RunWorkerUnderProgress(LPTHREAD_START_ROUTINE worker, TransferJob& job, int32_t& quitLoop,
                                  bool& started) {
    DWORD exitValue = 0;
    // Constructed before the worker starts: it zeroes the percentage, and no progress the
    // worker reports, the final 100 least of all, may be lost.
    ProgressDialog progress;
    HANDLE thread = CreateThread(nullptr, 0, worker, &job, 0, nullptr);
    started = thread != nullptr;
    if (!started) return RESULT_SUCCESS;
    if (progress.DoModal() == IDCANCEL) {
        cancelRequested.store(1, std::memory_order_relaxed);
    } else {
        quitLoop = 1;
    }
    exitValue = STILL_RUNNING;
    while (exitValue == STILL_RUNNING) {
        Sleep(WAIT_POLL_MS);
        if (!GetExitCodeThread(thread, &exitValue)) break;
    }
    CloseHandle(thread);
    return exitValue;
}

ResultCode BackupApplication::RunBackup() {
    cancelRequested.store(0, std::memory_order_relaxed);
    // A folder an earlier backup of the same minute left is not this backup's to remove.
    const bool folderExisted = GetFileAttributes(job.backupPath) != NO_ATTRIBUTES;
    bool started = false;
    const ResultCode result = RunWorkerUnderProgress(BackupWorker, job, quitLoop, started);
    if (started && cancelRequested.load(std::memory_order_relaxed) == 1 && !folderExisted) {
        DeleteTree(job.backupPath);
    }
    return result;
}

DWORD BackupWorker(LPVOID parameter) {
    TransferContext context;
    return PerformBackup(context, *static_cast<TransferJob*>(parameter));
}

ResultCode PerformBackup(TransferContext& context, TransferJob& job) {
    job.mode = MODE_BACKUP;
    context.job = &job;
    ResultCode result = CreateFolderChain(context, job.backupPath);
    if (result == RESULT_SUCCESS) {
        context.totalBytes = CountTreeBytes(context, job.source);
        result = CopyTree(context, job.source);
    }
    Sleep(FINAL_PAUSE_MS);
    progressPercent.store(100, std::memory_order_relaxed);
    return result;
}

bool BackupFile(TransferContext& context, const ui::TextString& folder, const WIN32_FIND_DATA& entry) {
    const TransferJob& job = *context.job;
    // Folders appear in the backup only for files that are copied into them.
    CreateFolderChain(context, job.backupPath + pathSeparator + folder);
    // The folder path is empty or begins with "\", so the destination may hold a doubled
    // separator; the file system reads it as one.
    const ui::TextString destination = job.backupPath + pathSeparator + folder + pathSeparator + entry.cFileName;
    const ui::TextString source = folder + pathSeparator + entry.cFileName;
    // A read-only copy left by an earlier backup of the same minute must not block this one.
    SetFileAttributes(destination, FILE_ATTRIBUTE_NORMAL);
    return CopyFile(source, destination, FALSE) != FALSE;
}
