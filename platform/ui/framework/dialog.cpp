#include <ui_framework/application.h>
#include <ui_framework/dialog.h>

#include "../dialogs/dialog_manager.h"

namespace ui {

using platform::ui::detail::ModalRequest;

Dialog::Dialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

Dialog::~Dialog() {
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
}

INT_PTR Dialog::DoModal() {
    ModalRequest request;
    Application* application = Application::Current();
    request.instance = application ? application->Instance() : platform::ui::ProgramInstance();
    auto dialog = platform::ui::detail::LoadDialogTemplate(
        request.instance, MAKEINTRESOURCE(templateId_), request.templateId);
    if (!dialog) return -1;
    request.dialog = &*dialog;
    request.owner = parent_;
    request.proc = &Dialog::DialogProc;
    request.parameter = reinterpret_cast<LPARAM>(this);
    request.preTranslate = [this](MSG& message) { return PreTranslateMessage(&message) != FALSE; };
    const INT_PTR result = platform::ui::detail::RunModal(request);
    window_ = nullptr;
    return result;
}

void Dialog::EndDialog(INT_PTR result) {
    if (window_) ::EndDialog(window_, result);
}

HWND Dialog::GetDlgItem(int id) const { return window_ ? ::GetDlgItem(window_, id) : nullptr; }

bool Dialog::UpdateData(bool saveAndValidate) {
    DataExchange exchange(window_, saveAndValidate);
    DoDataExchange(exchange);
    return !exchange.Failed();
}

BOOL Dialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void Dialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::OnClose() {
    // The dialog manager's default: a close request becomes the Cancel command.
    PostMessage(window_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                reinterpret_cast<LPARAM>(GetDlgItem(IDCANCEL)));
}

void Dialog::OnTimer(UINT_PTR) {}

BOOL Dialog::OnCommand(WPARAM wParam, LPARAM) {
    const UINT id = LOWORD(wParam);
    if (id == IDOK) {
        OnOK();
    } else if (id == IDCANCEL) {
        OnCancel();
    } else if (Application* application = Application::Current()) {
        return application->ExecuteCommand(id);
    }
    return TRUE;
}

void Dialog::OnPaint(HDC) {}

BOOL Dialog::PreTranslateMessage(MSG*) { return FALSE; }

void Dialog::DoDataExchange(DataExchange&) {}

UINT_PTR Dialog::SetTimer(UINT_PTR id, UINT elapse) {
    return window_ ? ::SetTimer(window_, id, elapse, nullptr) : 0;
}

BOOL Dialog::KillTimer(UINT_PTR id) { return window_ ? ::KillTimer(window_, id) : FALSE; }

void Dialog::SetIcon(HICON icon, bool big) {
    if (window_) SendMessage(window_, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void Dialog::CenterWindow() {
    if (window_) platform::ui::detail::CentreWindow(window_);
}

int Dialog::MessageBox(const WCHAR* text, const WCHAR* caption, UINT type) {
    if (caption) return ::MessageBox(window_, text, caption, type);
    return ApplicationMessageBox(window_, text, type);
}

BOOL Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtr(window, DWL_USER, lParam);
        auto* self = reinterpret_cast<Dialog*>(lParam);
        self->window_ = window;
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtr(window, DWL_USER));
    return self ? self->Handle(message, wParam, lParam) : FALSE;
}

BOOL Dialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: return OnCommand(wParam, lParam);
        case WM_TIMER: OnTimer(wParam); return TRUE;
        case WM_CLOSE: OnClose(); return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window_, &paint);
            if (dc) OnPaint(dc);
            EndPaint(window_, &paint);
            return TRUE;
        }
        default: return FALSE;
    }
}

}  // namespace ui
