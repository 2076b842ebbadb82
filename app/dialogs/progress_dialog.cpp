#include "progress_dialog.h"

#include <algorithm>
#include <climits>

#include "../core/shared_flags.h"
#include "../resources/resource.h"

namespace {
constexpr UINT_PTR PROGRESS_TIMER = 2;
constexpr UINT PROGRESS_TICK_MS = 1000;
constexpr uint32_t PERCENT_DONE = 100;
}  // namespace

ProgressDialog::ProgressDialog() : ui::Dialog(IDD_PROGRESS) {
    progressPercent.store(0, std::memory_order_relaxed);
}

BOOL ProgressDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    SetTimer(PROGRESS_TIMER, PROGRESS_TICK_MS);
    return TRUE;
}

// Every tick counts, whatever its id.
void ProgressDialog::OnTimer(UINT_PTR id) {
    const uint32_t percent = progressPercent.load(std::memory_order_relaxed);
    // The bar clamps to its range; a value beyond INT_MAX must not wrap to an empty bar.
    progressBar.SetPos(static_cast<int>(std::min<uint32_t>(percent, INT_MAX)));
    if (percent >= PERCENT_DONE) EndDialog(IDOK);
    ui::Dialog::OnTimer(id);
}

void ProgressDialog::OnCancel() {
    cancelRequested.store(1, std::memory_order_relaxed);
    EndDialog(IDCANCEL);
}

void ProgressDialog::OnClose() {
    KillTimer(PROGRESS_TIMER);
    ui::Dialog::OnClose();
}

void ProgressDialog::DoDataExchange(ui::DataExchange& exchange) {
    ui::ExchangeControl(exchange, IDC_PROGRESS, progressBar);
}
