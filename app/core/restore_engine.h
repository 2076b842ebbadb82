// The restore: a worker thread copies one backup folder back to the device's tree, asking
// before it replaces a file that exists, while the user-interface thread shows progress.
#pragma once

#include <windows.h>

#include "copy_tree.h"

// Worker-thread entry; `parameter` is the application's TransferJob.
DWORD RestoreWorker(LPVOID parameter);
ResultCode PerformRestore(TransferContext& context, TransferJob& job);
// Where a folder of the backup belongs on the device: empty for the backup folder itself (the
// device root), otherwise the folder path from its third backslash on.
ui::TextString RestoreDestinationFolder(const TransferJob& job, const ui::TextString& folder);
