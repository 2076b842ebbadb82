#include "restore_engine.h"

#include "../dialogs/confirm_replace_dialog.h"
#include "backup_application.h"
#include "backup_engine.h"
#include "program_objects.h"
#include "shared_flags.h"

namespace {
// The program's own file is never written back: it is running.
constexpr WCHAR PROGRAM_FILE_NAME[] = u"Tandel.exe";
constexpr int DESTINATION_BACKSLASH = 3;
}  // namespace

ResultCode BackupApplication::RunRestore() {
    cancelRequested.store(0, std::memory_order_relaxed);
    replaceAll.store(0, std::memory_order_relaxed);
    bool started = false;
    // Files already restored stay, whatever the ending.
    const ResultCode result = RunWorkerUnderProgress(RestoreWorker, job, quitLoop, started);
    // A restore the user stopped at a replace question is not complete: it ends as one stopped
    // from the progress dialog, back at the main dialog without a message.
    if (started && cancelRequested.load(std::memory_order_relaxed) == 1) quitLoop = 0;
    return result;
}

DWORD RestoreWorker(LPVOID parameter) {
    TransferContext context;
    return PerformRestore(context, *static_cast<TransferJob*>(parameter));
}

ResultCode PerformRestore(TransferContext& context, TransferJob& job) {
    job.mode = MODE_RESTORE;
    context.job = &job;
    context.totalBytes = CountTreeBytes(context, job.source);
    const ResultCode result = CopyTree(context, job.source);
    progressPercent.store(100, std::memory_order_relaxed);
    return result;
}

ui::TextString RestoreDestinationFolder(const TransferJob& job, const ui::TextString& folder) {
    if (folder.GetLength() <= job.source.GetLength() + 1) return ui::TextString();
    int backslashes = 0;
    for (int i = 0; i < folder.GetLength(); ++i) {
        if (folder.GetAt(i) == u'\\' && ++backslashes == DESTINATION_BACKSLASH) {
            return ui::TextString(folder.str().substr(static_cast<size_t>(i)));
        }
    }
    return ui::TextString();
}

bool RestoreFile(TransferContext& context, const ui::TextString& folder, const WIN32_FIND_DATA& entry) {
    if (ui::TextString(entry.cFileName) == PROGRAM_FILE_NAME) return true;
    ui::TextString destinationFolder = RestoreDestinationFolder(*context.job, folder);
    destinationFolder += pathSeparator;
    // Folders appear on the device only for files restored into them.
    CreateFolderChain(context, destinationFolder);
    const ui::TextString destination = destinationFolder + entry.cFileName;
    const ui::TextString source = folder + pathSeparator + entry.cFileName;

    int replace = 1;
    WIN32_FIND_DATA existing;
    HANDLE listing = FindFirstFile(destination, &existing);
    if (listing != INVALID_HANDLE_VALUE) {
        replace = ConfirmReplace(context, destination, entry, existing);
        FindClose(listing);
    }
    if (replace != 1) return true;
    SetFileAttributes(destination, FILE_ATTRIBUTE_NORMAL);
    return CopyFile(source, destination, FALSE) != FALSE;
}
