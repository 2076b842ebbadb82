// Before a restore: a drop-down list of this device's backups on the drive's disk; OK yields
// the chosen backup folder's full path.
#pragma once

#include <ui_framework/controls.h>
#include <ui_framework/dialog.h>
#include <ui_framework/string_list.h>

class BackupSelectionDialog : public ui::Dialog {
public:
    BackupSelectionDialog();

    // driveFolder, "\" and the chosen name; set by OK only.
    ui::TextString selectedPath;
    ui::ComboBox backupCombo;
    // The backup folder names, in the order the disk listed them.
    ui::StringList backupNames;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(ui::DataExchange& exchange) override;
};

// Empties `names` and fills it with the folders directly in the drive's folder whose names
// begin with the device's name (letter case counts), in listing order.
void ListDeviceBackups(ui::StringList& names);
