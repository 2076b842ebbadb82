// Control objects attached to a dialog's controls: thin handles that send the controls'
// messages.
#pragma once

#include <ui_framework/text_string.h>

namespace ui {

class Control {
public:
    void Attach(HWND window) { window_ = window; }
    void Detach() { window_ = nullptr; }
    HWND GetHwnd() const { return window_; }
    bool IsAttached() const { return window_ != nullptr; }

    void SetWindowText(const WCHAR* text) const;
    TextString GetWindowText() const;
    void EnableWindow(bool enable) const;
    void SetFocus() const;

protected:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

private:
    HWND window_ = nullptr;
};

class PushButton : public Control {
public:
    void Click() const { Send(BM_CLICK); }
};

class StaticText : public Control {
public:
    void SetIcon(HICON icon) const { Send(STM_SETICON, reinterpret_cast<WPARAM>(icon)); }
};

// msctls_progress32: range 0..100 unless set; the position is kept within the range.
class ProgressBar : public Control {
public:
    void SetRange(int low, int high) const { Send(PBM_SETRANGE32, static_cast<WPARAM>(low), high); }
    int SetPos(int position) const { return static_cast<int>(Send(PBM_SETPOS, static_cast<WPARAM>(position))); }
    int GetPos() const { return static_cast<int>(Send(PBM_GETPOS)); }
    int SetStep(int step) const { return static_cast<int>(Send(PBM_SETSTEP, static_cast<WPARAM>(step))); }
    int StepIt() const { return static_cast<int>(Send(PBM_STEPIT)); }
};

// A drop-down list (no edit field); items keep the order they were added in.
class ComboBox : public Control {
public:
    int AddString(const WCHAR* text) const;
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index) const;
    DWORD_PTR GetItemData(int index) const;
    int SetItemData(int index, DWORD_PTR data) const;
    TextString GetLBText(int index) const;
    void ResetContent() const;
    void ShowDropDown(bool show) const;
    bool GetDroppedState() const;
};

}  // namespace ui
