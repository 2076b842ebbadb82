#include "confirm_replace_dialog.h"

#include "../core/shared_flags.h"
#include "../resources/resource.h"

namespace {

constexpr int SCRATCH_CHARS = 16;
constexpr int GROUP_DIGITS = 3;
constexpr WORD NOON = 12;

struct ShownTime {
    SYSTEMTIME local{};
    int hour = 0;
    ui::TextString suffix;
};

ShownTime ToShownTime(const FILETIME& utc) {
    ShownTime shown;
    FILETIME local{};
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &shown.local);
    shown.hour = shown.local.wHour;
    if (shown.local.wHour >= NOON) {
        shown.suffix.LoadString(IDS_PM);
        if (shown.hour > NOON) shown.hour -= NOON;
    } else {
        shown.suffix.LoadString(IDS_AM);
    }
    return shown;
}

}  // namespace

ConfirmReplaceDialog::ConfirmReplaceDialog() : ui::Dialog(IDD_CONFIRM_REPLACE) {}

BOOL ConfirmReplaceDialog::OnInitDialog() {
    const BOOL result = ui::Dialog::OnInitDialog();
    // The worker asks while the progress dialog comes up on the other thread, in either order;
    // a question behind the progress dialog would leave the restore looking hung.
    SetWindowPos(GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return result;
}

// Each answer ends the dialog with its own id.
BOOL ConfirmReplaceDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    if (id == IDYES || id == IDNO || id == IDC_YES_TO_ALL) {
        EndDialog(id);
        return TRUE;
    }
    return ui::Dialog::OnCommand(wParam, lParam);
}

void ConfirmReplaceDialog::DoDataExchange(ui::DataExchange& exchange) {
    ui::ExchangeText(exchange, IDC_CONFIRM_TEXT, messageText);
}

void FormatByteCount(DWORD value, WCHAR* destination, int capacity) {
    ui::TextString separator;
    separator.LoadString(IDS_THOUSANDS_SEPARATOR);
    if (destination == nullptr || capacity == 0) return;
    WCHAR scratch[SCRATCH_CHARS];
    int length = 0;
    int inGroup = 0;
    do {
        const WCHAR digit = static_cast<WCHAR>(u'0' + value % 10);
        value /= 10;
        if (++inGroup > GROUP_DIGITS) {
            inGroup = 1;
            for (int i = 0; i < separator.GetLength() && length < SCRATCH_CHARS; ++i) scratch[length++] = separator.GetAt(i);
        }
        if (length < SCRATCH_CHARS) scratch[length++] = digit;
    } while (value != 0);
    int written = 0;
    while (written < length && written < capacity) {
        destination[written] = scratch[length - 1 - written];
        ++written;
    }
    destination[written] = 0;
}

int ConfirmReplace(TransferContext&, const ui::TextString& destination, const WIN32_FIND_DATA& backupEntry,
                   const WIN32_FIND_DATA& existingEntry) {
    if (replaceAll.load(std::memory_order_relaxed) == 1) return 1;
    const ShownTime existing = ToShownTime(existingEntry.ftLastWriteTime);
    const ShownTime backup = ToShownTime(backupEntry.ftLastWriteTime);
    WCHAR existingSize[BYTE_COUNT_CHARS + 1];
    WCHAR backupSize[BYTE_COUNT_CHARS + 1];
    FormatByteCount(existingEntry.nFileSizeLow, existingSize, BYTE_COUNT_CHARS);
    FormatByteCount(backupEntry.nFileSizeLow, backupSize, BYTE_COUNT_CHARS);

    ConfirmReplaceDialog dialog;
    ui::TextString format;
    format.LoadString(IDS_CONFIRM_REPLACE);
    dialog.messageText.Format(format, destination.c_str(),
                              existingSize, existing.local.wMonth, existing.local.wDay, existing.local.wYear,
                              existing.hour, existing.local.wMinute, existing.suffix.c_str(),
                              backupSize, backup.local.wMonth, backup.local.wDay, backup.local.wYear,
                              backup.hour, backup.local.wMinute, backup.suffix.c_str());
    switch (dialog.DoModal()) {
        case IDNO:
            return 0;
        case IDYES:
            return 1;
        case IDC_YES_TO_ALL:
            replaceAll.store(1, std::memory_order_relaxed);
            return 1;
        default:
            // Escape, the close box, or no dialog at all: keep the file and stop the restore.
            cancelRequested.store(1, std::memory_order_relaxed);
            return 0;
    }
}
