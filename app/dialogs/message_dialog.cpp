#include "message_dialog.h"

#include "../resources/resource.h"

namespace {
constexpr int MESSAGE_MAX_CHARS = 255;
}

MessageDialog::MessageDialog() : ui::Dialog(IDD_MESSAGE) {}

void MessageDialog::DoDataExchange(ui::DataExchange& exchange) {
    ui::ExchangeText(exchange, IDC_MESSAGE_TEXT, text);
    ui::ValidateMaxChars(exchange, text, MESSAGE_MAX_CHARS);
}
