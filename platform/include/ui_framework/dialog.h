// A modal dialog built from a numbered template. Handlers are virtual; each has the dialog
// manager's standard behaviour by default. A modal run is a nested message loop on the calling
// thread that ends when EndDialog has been called.
#pragma once

#include <ui_framework/data_exchange.h>

namespace ui {

class Dialog {
public:
    explicit Dialog(UINT templateId, HWND parent = nullptr);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the window from the template, runs it and gives the ending id; -1 when the
    // template or one of its controls cannot be created.
    virtual INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    UINT TemplateId() const { return templateId_; }
    HWND GetSafeHwnd() const { return window_; }
    HWND GetDlgItem(int id) const;

    // Moves data between fields and controls (false: the dialog's controls), with validation
    // when saving; false when validation failed.
    bool UpdateData(bool saveAndValidate = true);

protected:
    // Handlers. The defaults: data into controls, then the platform sets the focus (true);
    // OK: data out with validation, then end with 1; Cancel: end with 2; close: the platform's
    // conversion into Cancel; command: OK/Cancel, then the application's command table.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnClose();
    virtual void OnTimer(UINT_PTR id);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void OnPaint(HDC dc);
    // Offered every message the dialog's loop takes, before the dialog keys; true consumes it.
    virtual BOOL PreTranslateMessage(MSG* message);
    virtual void DoDataExchange(DataExchange& exchange);

    UINT_PTR SetTimer(UINT_PTR id, UINT elapse);
    BOOL KillTimer(UINT_PTR id);
    void SetIcon(HICON icon, bool big);
    // Centres over the visible owner, else in the work area, kept inside the work area.
    void CenterWindow();
    int MessageBox(const WCHAR* text, const WCHAR* caption = nullptr, UINT type = MB_OK);
    HWND Parent() const { return parent_; }

private:
    static BOOL DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL Handle(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND parent_;
    HWND window_ = nullptr;
};

}  // namespace ui
