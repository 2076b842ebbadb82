// The program's application object: its start-up operation runs the whole program as a loop
// over the main dialog, and the drive is looked for again before every action.
#pragma once

#include <ui_framework/application.h>

#include <cstdint>

#include "result_code.h"
#include "transfer_job.h"

class BackupApplication : public ui::Application {
public:
    BackupApplication();

    bool Startup() override { return RunMainLoop(); }

    // Shows the main dialog until an action ends the program, then reports the last result
    // (unless the loop ended through Cancel). Always false: the program ends when it returns.
    bool RunMainLoop();
    // Finds the drive through the card devices and forms the path of a backup started now.
    // 0 and `backupPath` filled, 15 when no device answers, or the registry's error.
    ResultCode DiscoverDrive(ui::TextString& backupPath);
    // Copies the device's tree into job.backupPath on a worker thread under the progress
    // dialog; a cancelled backup removes the folder it created. The worker's result.
    ResultCode RunBackup();
    // Copies the backup folder job.source back to the device on a worker thread under the
    // progress dialog, asking before it replaces a file. The worker's result.
    ResultCode RunRestore();
    // Shows the closing message for `code` in the message dialog.
    void ReportResult(ResultCode code);

    // Nonzero ends the main loop.
    int32_t quitLoop = 0;
    TransferJob job;

private:
    void ActOnButton(INT_PTR& button, ResultCode& result);
};
