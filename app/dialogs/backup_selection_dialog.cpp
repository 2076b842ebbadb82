#include "backup_selection_dialog.h"

#include "../core/device_name.h"
#include "../core/drive_folder.h"
#include "../resources/resource.h"

void ListDeviceBackups(ui::StringList& names) {
    WCHAR deviceName[DEVICE_NAME_CHARS];
    // Without the key the name is empty, and every folder is offered.
    ReadDeviceName(deviceName);
    names.RemoveAll();
    const ui::TextString pattern = ui::TextString(driveFolder) + u"\\*.*";
    const size_t prefix = wcslen(deviceName);
    WIN32_FIND_DATA entry;
    HANDLE listing = FindFirstFile(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && wcsncmp(entry.cFileName, deviceName, prefix) == 0) {
            names.AddTail(entry.cFileName);
        }
    } while (FindNextFile(listing, &entry));
    FindClose(listing);
}

BackupSelectionDialog::BackupSelectionDialog() : ui::Dialog(IDD_SELECT_BACKUP) {}

BOOL BackupSelectionDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    ListDeviceBackups(backupNames);
    int index = 0;
    for (auto position = backupNames.GetHeadPosition(); position != 0; ++index) {
        const int item = backupCombo.AddString(backupNames.GetNext(position));
        backupCombo.SetItemData(item, static_cast<DWORD_PTR>(index));
    }
    backupCombo.SetCurSel(0);
    return TRUE;
}

void BackupSelectionDialog::OnOK() {
    // With nothing to choose, OK is Cancel.
    if (backupNames.IsEmpty()) {
        EndDialog(IDCANCEL);
        return;
    }
    const int selected = backupCombo.GetCurSel();
    const auto index = selected < 0 ? -1 : static_cast<int>(backupCombo.GetItemData(selected));
    // No item chosen, or an item whose data names no backup: nothing to restore.
    if (index < 0 || index >= backupNames.GetCount()) {
        EndDialog(IDCANCEL);
        return;
    }
    selectedPath = ui::TextString(driveFolder) + u"\\" + backupNames.GetAt(index);
    ui::Dialog::OnOK();
}

void BackupSelectionDialog::DoDataExchange(ui::DataExchange& exchange) {
    ui::ExchangeControl(exchange, IDC_BACKUP_LIST, backupCombo);
}
