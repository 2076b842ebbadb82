// The question a restore asks before it replaces a file that exists on the device: Yes, Yes to
// All or No. Shown modally on the restore's worker thread while the progress dialog stays up.
#pragma once

#include <ui_framework/dialog.h>

#include "../core/copy_tree.h"

class ConfirmReplaceDialog : public ui::Dialog {
public:
    ConfirmReplaceDialog();

    ui::TextString messageText;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(ui::DataExchange& exchange) override;
};

// Room for the longest grouped size, 4,294,967,295, and its terminator.
inline constexpr int BYTE_COUNT_CHARS = 13;

// 1: replace the device's file; 0: keep it. Asks nothing once Yes to All was given; any ending
// other than the three answers also asks the restore to stop.
int ConfirmReplace(TransferContext& context, const ui::TextString& destination,
                   const WIN32_FIND_DATA& backupEntry, const WIN32_FIND_DATA& existingEntry);
// The decimal text of `value` grouped by threes, at most `capacity` characters and a
// terminator (so `destination` holds capacity + 1).
void FormatByteCount(DWORD value, WCHAR* destination, int capacity);
