// Dialog data exchange: fields move into their controls when the dialog opens and back, with
// their limits tested, on OK.
#pragma once

#include <ui_framework/controls.h>

namespace ui {

class DataExchange {
public:
    DataExchange(HWND dialog, bool saveAndValidate) : dialog_(dialog), save_(saveAndValidate) {}

    bool SaveAndValidate() const { return save_; }
    HWND Dialog() const { return dialog_; }
    bool Failed() const { return failed_; }

    // The control the last exchange touched; validation failures return the focus to it.
    void SetLastControl(HWND control) { lastControl_ = control; }
    // Shows why and returns the focus to the last control; later exchanges are skipped.
    void Fail(const TextString& message);

private:
    HWND dialog_;
    bool save_;
    bool failed_ = false;
    HWND lastControl_ = nullptr;
};

// Text between a field and control `id`.
void ExchangeText(DataExchange& exchange, int id, TextString& value);
// When saving: a text longer than `maxChars` fails with string 61716 ("%1" = the limit).
void ValidateMaxChars(DataExchange& exchange, const TextString& value, int maxChars);
// Attaches a control object to control `id` (the first exchange of each opening).
void ExchangeControl(DataExchange& exchange, int id, Control& control);

}  // namespace ui
