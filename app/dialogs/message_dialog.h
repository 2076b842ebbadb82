// The program's own message box: one block of centred text and OK.
#pragma once

#include <ui_framework/dialog.h>

class MessageDialog : public ui::Dialog {
public:
    MessageDialog();

    // At most 255 characters; OK refuses a longer text.
    ui::TextString text;

protected:
    void DoDataExchange(ui::DataExchange& exchange) override;
};
