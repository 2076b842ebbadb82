// Modal dialogs on two threads at once, and timers on the virtual clock.
#include "ui_test_support.h"

namespace {

using namespace ui_testing;

class DialogThreads : public UiTest {};

class TickingDialog : public RecordingDialog {
public:
    TickingDialog() : RecordingDialog(105) {}
    std::atomic<int> ticks{0};
    std::atomic<DWORD> lastTickAt{0};
    ui::ProgressBar bar;

protected:
    void DoDataExchange(ui::DataExchange& exchange) override { ui::ExchangeControl(exchange, 1008, bar); }
    BOOL OnInitDialog() override {
        RecordingDialog::OnInitDialog();
        SetTimer(2, 1000);
        return TRUE;
    }
    void OnTimer(UINT_PTR) override {
        ++ticks;
        lastTickAt = GetTickCount();
        bar.SetPos(ticks * 10);
    }
    void OnClose() override {
        KillTimer(2);
        RecordingDialog::OnClose();
    }
};

TEST_F(DialogThreads, TwoModalDialogsOnTwoThreadsAreBothResponsive) {
    RecordingDialog main(101);
    HWND mainWindow;
    auto mainThread = Show(main, &mainWindow);
    RecordingDialog confirm(139);
    HWND confirmWindow;
    auto confirmThread = Show(confirm, &confirmWindow);
    EXPECT_NE(mainThread->Id(), confirmThread->Id());
    // Neither disables the other.
    EXPECT_TRUE(automation::Window(mainWindow)->enabled);
    EXPECT_TRUE(automation::Window(confirmWindow)->enabled);

    // Keys go to the foreground dialog. The main dialog lies wholly under the confirm dialog;
    // its taskbar button brings it forward.
    Press(VK_TAB);
    EXPECT_EQ(FocusedId(confirmWindow), 1021);
    ASSERT_TRUE(automation::ClickTaskbarEntry(mainWindow));
    EXPECT_TRUE(automation::Window(mainWindow)->active);
    ASSERT_TRUE(automation::Click(GetDlgItem(mainWindow, 1003)));
    EXPECT_EQ(mainThread->Result(), 1003);
    EXPECT_TRUE(IsWindow(confirmWindow));
    EXPECT_TRUE(automation::Window(confirmWindow)->active);
    Press(VK_RETURN);
    EXPECT_EQ(confirmThread->Result(), 1021);
}

// A topmost dialog keeps the front and the keys against a dialog of another thread that comes
// up or is brought forward after it, until it stops being topmost.
TEST_F(DialogThreads, ATopmostDialogStaysInFrontWithTheKeysWhateverComesUpAfterIt) {
    RecordingDialog question(139);
    question.onInit = [](RecordingDialog& d) {
        EXPECT_TRUE(SetWindowPos(d.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    };
    HWND questionWindow;
    auto questionThread = Show(question, &questionWindow);
    RecordingDialog later(105);
    HWND laterWindow;
    auto laterThread = Show(later, &laterWindow);
    EXPECT_EQ(automation::Windows().front().window, questionWindow);
    EXPECT_TRUE(automation::Window(questionWindow)->active);
    SetForegroundWindow(laterWindow);
    EXPECT_EQ(automation::Windows().front().window, questionWindow);
    EXPECT_TRUE(automation::Window(questionWindow)->active);

    // No longer topmost: the other can come forward, and the keys go with it.
    ASSERT_TRUE(SetWindowPos(questionWindow, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    SetForegroundWindow(laterWindow);
    EXPECT_EQ(automation::Windows().front().window, laterWindow);
    Press(VK_ESCAPE);
    EXPECT_EQ(laterThread->Result(), IDCANCEL);
    EXPECT_TRUE(automation::Window(questionWindow)->active);
    Press(VK_RETURN);
    EXPECT_EQ(questionThread->Result(), IDYES);
    EXPECT_EQ(SetWindowPos(nullptr, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE), FALSE);
}

TEST_F(DialogThreads, TimerTicksWhileAnotherThreadsDialogIsModal) {
    // The confirm dialog first: waiting for a window moves virtual time on to the next timer
    // once everything is idle, and the progress dialog's timer should start at a known time.
    RecordingDialog confirm(139);
    HWND confirmWindow;
    auto confirmThread = Show(confirm, &confirmWindow);
    TickingDialog progress;
    HWND progressWindow;
    auto progressThread = Show(progress, &progressWindow);

    const DWORD start = GetTickCount();
    automation::AdvanceTime(999);
    EXPECT_EQ(progress.ticks, 0);
    automation::AdvanceTime(1);
    EXPECT_EQ(progress.ticks, 1);
    automation::AdvanceTime(2000);
    EXPECT_EQ(progress.ticks, 3);
    EXPECT_EQ(progress.lastTickAt, start + 3000);
    EXPECT_EQ(automation::Control(progressWindow, 1008)->position, 30);
    EXPECT_TRUE(IsWindow(confirmWindow));

    // The confirm dialog still answers while the progress dialog ticks on.
    ASSERT_TRUE(automation::Click(GetDlgItem(confirmWindow, IDNO)));
    EXPECT_EQ(confirmThread->Result(), IDNO);
    automation::AdvanceTime(1000);
    EXPECT_EQ(progress.ticks, 4);
    ASSERT_TRUE(automation::Click(GetDlgItem(progressWindow, IDCANCEL)));
    EXPECT_EQ(progressThread->Result(), 2);
}

TEST_F(DialogThreads, AWaitMovesVirtualTimeToTheNextTimer) {
    TickingDialog progress;
    HWND window;
    auto thread = Show(progress, &window);
    // Waiting for five ticks costs five virtual seconds and no real ones.
    EXPECT_TRUE(automation::WaitUntil([&] { return progress.ticks >= 5; }));
    EXPECT_EQ(progress.ticks, 5);
    PostMessage(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(thread->Result(), 2);
}

TEST_F(DialogThreads, TimersDieWithTheirWindow) {
    TickingDialog progress;
    HWND window;
    auto thread = Show(progress, &window);
    ASSERT_TRUE(automation::ClickCloseBox(window) == false);  // no system menu: no close box
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
    const int ticks = progress.ticks;
    automation::AdvanceTime(5000);
    EXPECT_EQ(progress.ticks, ticks);
}

}  // namespace
