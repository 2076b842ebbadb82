// Queues, sent messages between threads, timers on the virtual clock, and the automation waits.
#include "ui_test_support.h"

#include <platform/ui/presenter.h>

namespace {

using namespace ui_testing;

class MessageQueues : public UiTest {};

struct Log {
    std::mutex mutex;
    std::vector<std::pair<UINT, WPARAM>> messages;
    std::atomic<DWORD> thread{0};
};

Log* theLog = nullptr;

BOOL LoggingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_USER + 7) {
        theLog->thread = GetCurrentThreadId();
        SetWindowLongPtr(dialog, DWL_MSGRESULT, static_cast<LONG_PTR>(wParam * 2));
        return TRUE;
    }
    if (message == WM_TIMER || message == WM_USER + 1 || message == WM_USER + 2) {
        std::lock_guard lock(theLog->mutex);
        theLog->messages.emplace_back(message, wParam);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

class LoggedDialog {
public:
    LoggedDialog() {
        theLog = &log;
        thread = std::make_unique<UiThread>(
            [] { return DialogBoxParam(nullptr, MAKEINTRESOURCE(104), nullptr, LoggingProc, 0); });
        auto shown = automation::WaitForTemplate(104);
        window = shown ? shown->window : nullptr;
        automation::Settle();
    }
    ~LoggedDialog() {
        if (IsWindow(window)) PostMessage(window, WM_COMMAND, IDCANCEL, 0);
        thread->Result();
        theLog = nullptr;
    }
    std::vector<std::pair<UINT, WPARAM>> Messages() {
        std::lock_guard lock(log.mutex);
        return log.messages;
    }
    Log log;
    std::unique_ptr<UiThread> thread;
    HWND window = nullptr;
};

TEST_F(MessageQueues, SendingToAnotherThreadsWindowRunsThereAndGivesItsResult) {
    LoggedDialog dialog;
    ASSERT_NE(dialog.window, nullptr);
    EXPECT_EQ(SendMessage(dialog.window, WM_USER + 7, 21, 0), 42);
    EXPECT_EQ(dialog.log.thread, dialog.thread->Id());
    EXPECT_NE(dialog.log.thread, GetCurrentThreadId());
}

TEST_F(MessageQueues, PostedMessagesArriveInOrderBeforeTimers) {
    LoggedDialog dialog;
    SetLastError(0);
    EXPECT_EQ(SetTimer(dialog.window, 9, 100, nullptr), 0u);  // only the window's own thread
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    PostMessage(dialog.window, WM_USER + 1, 1, 0);
    PostMessage(dialog.window, WM_USER + 2, 2, 0);
    PostMessage(dialog.window, WM_USER + 1, 3, 0);
    automation::Settle();
    EXPECT_EQ(dialog.Messages(), (std::vector<std::pair<UINT, WPARAM>>{
                                     {WM_USER + 1, 1}, {WM_USER + 2, 2}, {WM_USER + 1, 3}}));
    EXPECT_FALSE(PostMessage(reinterpret_cast<HWND>(0x12345), WM_USER, 0, 0));
}

class TimerDialog : public RecordingDialog {
public:
    TimerDialog() : RecordingDialog(104) {}
    std::atomic<int> ticks{0};
    std::atomic<bool> stop{false};

protected:
    BOOL OnInitDialog() override {
        RecordingDialog::OnInitDialog();
        SetTimer(5, 1000);
        return TRUE;
    }
    void OnTimer(UINT_PTR id) override {
        EXPECT_EQ(id, 5u);
        ++ticks;
        if (stop) KillTimer(5);
    }
};

TEST_F(MessageQueues, ALateTimerFiresOnceNotOncePerMissedPeriod) {
    TimerDialog dialog;
    HWND window;
    auto thread = Show(dialog, &window);
    // Time jumps 5.5 s past the loop (as a worker's Sleep would move it).
    auto& clock = static_cast<platform::VirtualClock&>(platform::CurrentClock());
    clock.Advance(5500);
    ASSERT_TRUE(automation::WaitUntil([&] { return dialog.ticks >= 1; }));
    automation::Settle();
    EXPECT_EQ(dialog.ticks, 1);
    // The next one falls a whole period after that delivery.
    automation::AdvanceTime(999);
    EXPECT_EQ(dialog.ticks, 1);
    automation::AdvanceTime(1);
    EXPECT_EQ(dialog.ticks, 2);
    dialog.stop = true;
    automation::AdvanceTime(1000);
    EXPECT_EQ(dialog.ticks, 3);
    automation::AdvanceTime(5000);  // killed
    EXPECT_EQ(dialog.ticks, 3);
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

TEST_F(MessageQueues, WaitsGiveUpAtTheirLimit) {
    RecordingDialog dialog(104);
    HWND window;
    auto thread = Show(dialog, &window);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(automation::WaitGone(window, std::chrono::milliseconds(30)));
    EXPECT_FALSE(automation::WaitForTitle(u"Nothing like this", std::chrono::milliseconds(30)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    Press(VK_ESCAPE);
    EXPECT_TRUE(automation::WaitGone(window));
    EXPECT_EQ(thread->Result(), 2);
}

TEST_F(MessageQueues, TerminalScreenShowsFramesButtonsAndFocus) {
    RecordingDialog dialog(139);
    HWND window = nullptr;
    auto thread = Show(dialog, &window);
    // Longer than its control is wide: wrapped within it, as the screen draws it.
    SetDlgItemText(window, 1006,
                   u"\\My Documents\\A folder with a long name\\Another one inside it\\notes.txt already exists.\n"
                   u"Replace it?");
    const auto lines = platform::ui::TerminalScreen();
    ASSERT_EQ(lines.size(), 24u);
    std::string all;
    size_t right = std::string::npos;
    for (const auto& line : lines) {
        EXPECT_EQ(line.size(), 80u);
        all += line + "\n";
        if (line.find(" Confirm Replace ") != std::string::npos) right = line.rfind('+');
        // Nothing of the window lies right of its frame.
        if (right != std::string::npos) {
            EXPECT_EQ(line.find_first_not_of(' ', right + 1), std::string::npos) << all;
        }
    }
    EXPECT_NE(all.find("[X]"), std::string::npos) << all;
    EXPECT_NE(all.find(">[Yes]"), std::string::npos) << all;
    EXPECT_NE(all.find("[Yes to All]"), std::string::npos) << all;
    EXPECT_NE(all.find("notes.txt already exists."), std::string::npos) << all;
    EXPECT_NE(all.find("Replace it?"), std::string::npos) << all;
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

}  // namespace
