// The progress dialog: a one-second poll of the shared percentage while a job runs on its
// worker thread. It ends by itself with 1 once the worker reports 100, and turns Cancel (the
// button, Escape, or a close request) into a stop request with the result 2.
#pragma once

#include <ui_framework/controls.h>
#include <ui_framework/dialog.h>

class ProgressDialog : public ui::Dialog {
public:
    // Zeroes progressPercent: construct it before the worker starts, so no progress is lost.
    ProgressDialog();

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    void OnCancel() override;
    void OnClose() override;
    void DoDataExchange(ui::DataExchange& exchange) override;

private:
    ui::ProgressBar progressBar;
};
