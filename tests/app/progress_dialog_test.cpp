// The progress dialog: a one-second poll of the shared percentage on the virtual clock.
#include <core/shared_flags.h>
#include <dialogs/progress_dialog.h>

#include "app_test_support.h"

namespace {

namespace automation = app_test::automation;

// Reads the bar back after every tick and the timer after a close request, while the window
// still exists.
class ObservedProgressDialog : public ProgressDialog {
public:
    std::atomic<int> barAfterTick{-1};
    std::atomic<int> ticks{0};
    std::atomic<bool> timerAliveAfterClose{true};

protected:
    void OnTimer(UINT_PTR id) override {
        ProgressDialog::OnTimer(id);
        barAfterTick = static_cast<int>(SendDlgItemMessage(GetSafeHwnd(), 1008, PBM_GETPOS, 0, 0));
        ++ticks;
    }
    void OnClose() override {
        ProgressDialog::OnClose();
        timerAliveAfterClose = KillTimer(2) != FALSE;
    }
};

class ProgressDialogTest : public app_test::HandheldTest {
protected:
    void SetUp() override {
        HandheldTest::SetUp();
        cancelRequested.store(0);
        progressPercent.store(77);
        dialog = std::make_unique<ObservedProgressDialog>();
        ui = std::make_unique<app_test::UiThread<INT_PTR>>([this] { return dialog->DoModal(); });
        shown = app_test::Expect(automation::WaitForTemplate(105), "the progress dialog");
    }
    void TearDown() override {
        ui.reset();
        HandheldTest::TearDown();
    }

    // Moves the virtual clock and lets the dialog handle what came due.
    void Advance(DWORD ms) { automation::AdvanceTime(ms); }
    int Bar() {
        auto bar = automation::Control(shown.window, 1008);
        return bar ? bar->position : -1;
    }

    std::unique_ptr<ObservedProgressDialog> dialog;
    std::unique_ptr<app_test::UiThread<INT_PTR>> ui;
    automation::WindowInfo shown;
};

TEST_F(ProgressDialogTest, ConstructionZeroesTheValueAndTheFirstTickComesAfterOneSecond) {
    EXPECT_EQ(progressPercent.load(), 0u);
    progressPercent.store(40);
    Advance(999);
    EXPECT_EQ(dialog->ticks, 0);
    EXPECT_EQ(Bar(), 0);
    Advance(1);
    EXPECT_EQ(dialog->ticks, 1);
    EXPECT_EQ(Bar(), 40);
    progressPercent.store(60);
    Advance(1000);
    EXPECT_EQ(Bar(), 60);
    EXPECT_FALSE(ui->Ended(0));
    app_test::Press(shown.window, IDCANCEL);
    EXPECT_EQ(ui->Result(), 2);
}

TEST_F(ProgressDialogTest, OneHundredEndsTheDialogWithOneAtTheNextTick) {
    progressPercent.store(100);
    Advance(500);
    EXPECT_FALSE(ui->Ended(0));
    Advance(500);
    EXPECT_EQ(ui->Result(), 1);
    EXPECT_EQ(dialog->barAfterTick, 100);
    EXPECT_EQ(cancelRequested.load(), 0);
}

TEST_F(ProgressDialogTest, AValueAboveOneHundredShowsAFullBarAndEnds) {
    progressPercent.store(250);
    Advance(1000);
    EXPECT_EQ(ui->Result(), 1);
    EXPECT_EQ(dialog->barAfterTick, 100);
}

TEST_F(ProgressDialogTest, CancelAfterTheWorkerReachedOneHundredStillCancels) {
    progressPercent.store(100);
    app_test::Press(shown.window, IDCANCEL);
    EXPECT_EQ(ui->Result(), 2);
    EXPECT_EQ(cancelRequested.load(), 1);
}

TEST_F(ProgressDialogTest, EscapeCancels) {
    automation::PressKey(VK_ESCAPE);
    EXPECT_EQ(ui->Result(), 2);
    EXPECT_EQ(cancelRequested.load(), 1);
}

TEST_F(ProgressDialogTest, ACloseRequestStopsTheTimerAndCancels) {
    EXPECT_FALSE(shown.closeBox) << "no close box: close requests come from the program";
    PostMessage(shown.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(ui->Result(), 2);
    EXPECT_FALSE(dialog->timerAliveAfterClose);
    EXPECT_EQ(cancelRequested.load(), 1);
}

TEST_F(ProgressDialogTest, EnterEndsWithOneAndLeavesTheCancelFlagAlone) {
    automation::PressKey(VK_RETURN);
    EXPECT_EQ(ui->Result(), 1);
    EXPECT_EQ(cancelRequested.load(), 0);
}

TEST_F(ProgressDialogTest, ATimerWithAnotherIdActsAsATick) {
    progressPercent.store(100);
    PostMessage(shown.window, WM_TIMER, 7, 0);
    EXPECT_EQ(ui->Result(), 1);
    EXPECT_EQ(dialog->ticks, 1);
}

TEST_F(ProgressDialogTest, TheFocusStartsOnCancel) {
    EXPECT_TRUE(automation::Control(shown.window, IDCANCEL)->focused);
    app_test::Press(shown.window, IDCANCEL);
    ui->Result();
}

}  // namespace
