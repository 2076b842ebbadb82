// The main dialog: Backup, Restore and Cancel beside the logo; Alt+H opens the help. Each
// button ends the dialog with its own id; the main loop acts on it. One object is shown many
// times, each showing creating the window afresh from its template.
#pragma once

#include <ui_framework/dialog.h>

class MainDialog : public ui::Dialog {
public:
    MainDialog();

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* message) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnPaint(HDC dc) override;

private:
    void ShowHelp();

    // Both are the program's own resources and live as long as it runs.
    HICON icon = nullptr;
    HACCEL accelerators = nullptr;
};
