#include "backup_application.h"

#include "../dialogs/backup_selection_dialog.h"
#include "../dialogs/main_dialog.h"
#include "../resources/resource.h"
#include "program_objects.h"

BackupApplication::BackupApplication()
    : ui::Application(u"VezazuZU", u"Quorva Tools for Windows CE.htc") {}

bool BackupApplication::RunMainLoop() {
    MainDialog mainDialog;
    ResultCode result = RESULT_SUCCESS;
    INT_PTR button = 0;
    quitLoop = 0;
    pathSeparator.LoadString(IDS_PATH_SEPARATOR);
    while (quitLoop == 0) {
        button = mainDialog.DoModal();
        if (button == -1) {
            quitLoop = 1;
            continue;
        }
        // Every pass finds the drive afresh, whichever button was pressed, so an action works
        // with the drive as it is now and a backup name that carries the time of the action.
        job.source.Empty();
        result = DiscoverDrive(job.backupPath);
        if (result != RESULT_SUCCESS) {
            quitLoop = 1;
            continue;
        }
        ActOnButton(button, result);
    }
    // Cancel ends the program silently, even when the drive search on that press failed.
    if (button != IDCANCEL) ReportResult(result);
    return false;
}

void BackupApplication::ActOnButton(INT_PTR& button, ResultCode& result) {
    switch (button) {
        case IDC_BACKUP:
            result = RunBackup();
            break;
        case IDC_RESTORE: {
            BackupSelectionDialog selection;
            button = selection.DoModal();
            if (button == -1) {
                quitLoop = 1;
            } else if (button == IDOK) {
                job.source = selection.selectedPath;
                result = RunRestore();
            }
            break;
        }
        case IDCANCEL:
            quitLoop = 1;
            break;
        default:
            break;
    }
}
