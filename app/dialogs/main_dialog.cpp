#include "main_dialog.h"

#include <ui_framework/application.h>

#include "../resources/resource.h"
#include "logo_drawing.h"

namespace {

constexpr int LOGO_X = 150;
constexpr int LOGO_Y = 17;

HINSTANCE ProgramResources() { return ui::Application::Current()->Instance(); }

void SendCancelModeToTree(HWND window) {
    if (!window) return;
    SendMessage(window, WM_CANCELMODE, 0, 0);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SendCancelModeToTree(child);
    }
}

}  // namespace

MainDialog::MainDialog() : ui::Dialog(IDD_MAIN) {
    icon = LoadIcon(ProgramResources(), MAKEINTRESOURCE(IDI_MAIN));
    accelerators = LoadAccelerators(ProgramResources(), MAKEINTRESOURCE(IDR_MAIN_ACCELERATORS));
}

BOOL MainDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    SetIcon(icon, true);
    SetIcon(icon, false);
    CenterWindow();
    return TRUE;
}

BOOL MainDialog::PreTranslateMessage(MSG* message) {
    if (accelerators && TranslateAccelerator(GetSafeHwnd(), accelerators, message)) return TRUE;
    return ui::Dialog::PreTranslateMessage(message);
}

BOOL MainDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDC_BACKUP:
        case IDC_RESTORE:
            EndDialog(LOWORD(wParam));
            return TRUE;
        case ID_SHOW_HELP:
            ShowHelp();
            return TRUE;
        default:
            return ui::Dialog::OnCommand(wParam, lParam);
    }
}

void MainDialog::OnPaint(HDC dc) { DrawLogoMasked(dc, LOGO_X, LOGO_Y, TRANSPARENT_COLOUR); }

void MainDialog::ShowHelp() {
    // Whatever is in progress with the pointer or a drop-down is called off before the viewer
    // takes the screen.
    HWND dialog = GetSafeHwnd();
    SendCancelModeToTree(dialog);
    HWND topLevel = dialog;
    while (GetParent(topLevel)) topLevel = GetParent(topLevel);
    if (topLevel != dialog) SendCancelModeToTree(topLevel);
    if (HWND capture = GetCapture()) SendMessage(capture, WM_CANCELMODE, 0, 0);
    ui::Application::Current()->ExecuteCommand(ui::ID_HELP);
}
