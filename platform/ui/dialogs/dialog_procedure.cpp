// The dialog class's window procedure: the dialog's own procedure first, then the dialog
// manager's default processing (close requests become Cancel, the default button, focus moves).
#include "dialog_manager.h"

#include "../windows/window_system.h"

namespace platform::ui::detail {
namespace {

DLGPROC DialogProcOf(HWND dialog) {
    auto lock = Lock();
    Window* w = WindowSystem::Get().Find(dialog);
    return w ? w->dialogProc : nullptr;
}

int DefaultIdOf(HWND dialog) {
    auto lock = Lock();
    Window* w = WindowSystem::Get().Find(dialog);
    return w ? w->defaultId : IDOK;
}

UINT DialogCode(HWND control) {
    return control ? static_cast<UINT>(SendMessage(control, WM_GETDLGCODE, 0, 0)) : 0;
}

HWND FindDefaultLook(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (DialogCode(child) & DLGC_DEFPUSHBUTTON) return child;
    }
    return nullptr;
}

// A push button that gets the focus takes the default look; when the focus goes elsewhere the
// look returns to the button of the default id.
void SetDefaultLook(HWND dialog, HWND focused) {
    HWND defaultButton = GetDlgItem(dialog, DefaultIdOf(dialog));
    HWND target = focused;
    if (!target || !(DialogCode(target) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
        target = defaultButton;
    }
    HWND old = FindDefaultLook(dialog);
    if (old && old != target) SendMessage(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (target && (DialogCode(target) & DLGC_UNDEFPUSHBUTTON)) {
        SendMessage(target, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    }
}

LRESULT DefaultDialogProcessing(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // A close request becomes the Cancel command.
            PostMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
            return 0;
        case DM_GETDEFID:
            return MAKELONG(DefaultIdOf(dialog), DC_HASDEFID);
        case DM_SETDEFID: {
            {
                auto lock = Lock();
                if (Window* w = WindowSystem::Get().Find(dialog)) w->defaultId = static_cast<int>(wParam);
            }
            SetDefaultLook(dialog, GetFocus());
            return TRUE;
        }
        case WM_NEXTDLGCTL: {
            HWND target = lParam ? reinterpret_cast<HWND>(wParam)
                                 : GetNextDlgTabItem(dialog, GetFocus(), wParam != 0);
            if (target) {
                SetFocus(target);
                SetDefaultLook(dialog, target);
            }
            return 0;
        }
        case WM_COMMAND:
        case WM_TIMER:
        case WM_INITDIALOG:
            return 0;
        default:
            return DefWindowProc(dialog, message, wParam, lParam);
    }
}

}  // namespace

LRESULT DialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = DialogProcOf(dialog);
    const BOOL handled = proc ? proc(dialog, message, wParam, lParam) : FALSE;
    if (message == WM_INITDIALOG) return handled;
    if (handled) return GetWindowLongPtr(dialog, DWL_MSGRESULT);
    return DefaultDialogProcessing(dialog, message, wParam, lParam);
}

}  // namespace platform::ui::detail

using namespace platform::ui::detail;

LRESULT DefDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return DialogWindowProc(dialog, message, wParam, lParam);
}

HWND GetDlgItem(HWND dialog, int id) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    Window* w = system.Find(dialog);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : w->children) {
        Window* c = system.Find(child);
        if (c && static_cast<int16_t>(c->id) == static_cast<int16_t>(id)) return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int GetDlgCtrlID(HWND control) { return static_cast<int>(GetWindowLongPtr(control, GWL_ID)); }

BOOL SetDlgItemText(HWND dialog, int id, LPCWSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowText(control, text) : FALSE;
}

UINT GetDlgItemText(HWND dialog, int id, LPWSTR buffer, int maxCount) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        if (buffer && maxCount > 0) buffer[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowText(control, buffer, maxCount));
}

LRESULT SendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessage(control, message, wParam, lParam) : 0;
}

BOOL MapDialogRect(HWND, LPRECT rect) {
    if (!rect) return FALSE;
    rect->left = DialogUnitsToPixelsX(rect->left);
    rect->right = DialogUnitsToPixelsX(rect->right);
    rect->top = DialogUnitsToPixelsY(rect->top);
    rect->bottom = DialogUnitsToPixelsY(rect->bottom);
    return TRUE;
}
