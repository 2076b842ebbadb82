// The backup: a worker thread copies the device's tree into the backup folder while the
// user-interface thread shows the progress dialog and then waits for it.
#pragma once

#include <windows.h>

#include "copy_tree.h"

// Worker-thread entry; `parameter` is the application's TransferJob. The thread's result is
// the backup's ResultCode.
DWORD BackupWorker(LPVOID parameter);
ResultCode PerformBackup(TransferContext& context, TransferJob& job);

// Shows the progress dialog while `worker` runs with `job`, then waits for the worker polling
// every 100 ms. `cancelled` tells whether the dialog ended through Cancel; `started` whether
// the worker ran at all. The worker's result, or 0 when it could not be started.
ResultCode RunWorkerUnderProgress(LPTHREAD_START_ROUTINE worker, TransferJob& job, int32_t& quitLoop,
                                  bool& started);
