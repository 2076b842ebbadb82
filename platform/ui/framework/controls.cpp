#include <ui_framework/controls.h>

namespace ui {

LRESULT Control::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return window_ ? SendMessage(window_, message, wParam, lParam) : 0;
}

void Control::SetWindowText(const WCHAR* text) const {
    if (window_) ::SetWindowText(window_, text);
}

TextString Control::GetWindowText() const {
    TextString text;
    if (!window_) return text;
    const int length = GetWindowTextLength(window_);
    ::GetWindowText(window_, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer();
    return text;
}

void Control::EnableWindow(bool enable) const {
    if (window_) ::EnableWindow(window_, enable);
}

void Control::SetFocus() const {
    if (window_) ::SetFocus(window_);
}

int ComboBox::AddString(const WCHAR* text) const {
    return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}
int ComboBox::GetCount() const { return static_cast<int>(Send(CB_GETCOUNT)); }
int ComboBox::GetCurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
int ComboBox::SetCurSel(int index) const {
    return static_cast<int>(Send(CB_SETCURSEL, static_cast<WPARAM>(index)));
}
DWORD_PTR ComboBox::GetItemData(int index) const {
    return static_cast<DWORD_PTR>(Send(CB_GETITEMDATA, static_cast<WPARAM>(index)));
}
int ComboBox::SetItemData(int index, DWORD_PTR data) const {
    return static_cast<int>(Send(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
}
TextString ComboBox::GetLBText(int index) const {
    TextString text;
    const auto length = static_cast<int>(Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
    if (length < 0) return text;
    Send(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.GetBuffer(length + 1)));
    text.ReleaseBuffer();
    return text;
}
void ComboBox::ResetContent() const { Send(CB_RESETCONTENT); }
void ComboBox::ShowDropDown(bool show) const { Send(CB_SHOWDROPDOWN, show); }
bool ComboBox::GetDroppedState() const { return Send(CB_GETDROPPEDSTATE) != 0; }

}  // namespace ui
