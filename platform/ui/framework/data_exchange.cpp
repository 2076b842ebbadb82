#include <ui_framework/application.h>
#include <ui_framework/data_exchange.h>

namespace ui {

void DataExchange::Fail(const TextString& message) {
    failed_ = true;
    ApplicationMessageBox(dialog_, message, MB_OK | MB_ICONEXCLAMATION);
    // The focus goes back to the field that failed, and the dialog stays open.
    if (lastControl_) ::SetFocus(lastControl_);
}

void ExchangeText(DataExchange& exchange, int id, TextString& value) {
    if (exchange.Failed()) return;
    HWND control = ::GetDlgItem(exchange.Dialog(), id);
    exchange.SetLastControl(control);
    if (!control) return;
    if (exchange.SaveAndValidate()) {
        const int length = GetWindowTextLength(control);
        ::GetWindowText(control, value.GetBuffer(length + 1), length + 1);
        value.ReleaseBuffer();
    } else {
        ::SetWindowText(control, value);
    }
}

void ValidateMaxChars(DataExchange& exchange, const TextString& value, int maxChars) {
    if (exchange.Failed() || !exchange.SaveAndValidate() || value.GetLength() <= maxChars) return;
    TextString message = FrameworkString(IDS_FIELD_TOO_LONG);
    TextString limit;
    limit.Format(u"%d", maxChars);
    std::u16string text = message.str();
    if (auto at = text.find(u"%1"); at != std::u16string::npos) text.replace(at, 2, limit.str());
    exchange.Fail(TextString(text));
}

void ExchangeControl(DataExchange& exchange, int id, Control& control) {
    HWND window = ::GetDlgItem(exchange.Dialog(), id);
    if (window && control.GetHwnd() != window) control.Attach(window);
}

}  // namespace ui
