// The closing message: one string-table entry per kind of outcome, with the code's number.
#include "../dialogs/message_dialog.h"
#include "../resources/resource.h"
#include "backup_application.h"

namespace {

UINT MessageFor(ResultCode code) {
    switch (code) {
        case RESULT_SUCCESS: return IDS_OPERATION_COMPLETE;
        case RESULT_NO_DRIVE: return IDS_NO_DRIVE;
        case ERROR_DISK_FULL: return IDS_DISK_FULL;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_NOT_READY:
        case ERROR_WRITE_FAULT:
        case ERROR_BAD_PATHNAME: return IDS_WRITE_FAILED;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: return IDS_WRITE_PROTECTED;
        default: return IDS_APPLICATION_ERROR;
    }
}

}  // namespace

void BackupApplication::ReportResult(ResultCode code) {
    MessageDialog dialog;
    const UINT message = MessageFor(code);
    if (message == IDS_OPERATION_COMPLETE) {
        dialog.text.LoadString(message);
    } else {
        ui::TextString format;
        format.LoadString(message);
        dialog.text.Format(format, code);
    }
    dialog.DoModal();
}
