#include "backup_application.h"

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

void BackupApplication::ActOnButton(INT_PTR button, ResultCode&) {
    switch (button) {
        case IDC_BACKUP:
        case IDC_RESTORE:
            // The copy engines are not part of the program yet: the action returns to the
            // main dialog with the drive found.
            break;
        case IDCANCEL:
            quitLoop = 1;
            break;
        default:
            break;
    }
}
