// Test helpers for the window system: dialogs run on their own threads (as a program's UI
// thread would) while the test drives them through the automation interface.
#pragma once

#include <platform/clock.h>
#include <platform/ui/automation.h>
#include <ui_framework.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <thread>

namespace ui_testing {

namespace automation = platform::ui::automation;

// Runs `body` on a thread of its own and keeps its result.
class UiThread {
public:
    explicit UiThread(std::function<INT_PTR()> body)
        : future_(promise_.get_future()), thread_([this, body = std::move(body)] {
              id_ = GetCurrentThreadId();
              promise_.set_value(body());
          }) {}
    // A thread whose dialogs were left open by a failed test is ended rather than waited for.
    ~UiThread() {
        for (int attempt = 0; attempt < 50 && !Ready(); ++attempt) {
            for (const auto& window : automation::Windows()) {
                if (window.thread == id_) EndDialog(window.window, -2);
            }
            if (!result_) future_.wait_for(std::chrono::milliseconds(100));
        }
        if (Ready()) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }
    bool Ready() const {
        return result_.has_value() ||
               future_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
    DWORD Id() const { return id_; }
    // The result, or nothing when the thread has not finished within a few seconds. Waits in
    // real time only: virtual time stays where the test put it.
    std::optional<INT_PTR> Result() {
        if (!result_ && future_.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            return std::nullopt;
        }
        if (!result_.has_value()) result_ = future_.get();
        return result_;
    }

private:
    std::promise<INT_PTR> promise_;
    std::future<INT_PTR> future_;
    std::optional<INT_PTR> result_;
    std::atomic<DWORD> id_{0};
    std::thread thread_;
};

// A dialog whose buttons end it with their ids and which records what reached its handlers.
class RecordingDialog : public ui::Dialog {
public:
    explicit RecordingDialog(UINT templateId, HACCEL accelerators = nullptr)
        : Dialog(templateId), accelerators_(accelerators) {}

    std::atomic<int> closeRequests{0};
    std::atomic<int> lastCommand{0};
    std::atomic<int> helpCommands{0};
    std::function<void(RecordingDialog&)> onInit;

protected:
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        if (onInit) onInit(*this);
        return TRUE;
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        const int id = LOWORD(wParam);
        lastCommand = id;
        if (id == 1022) {
            ++helpCommands;
            return TRUE;
        }
        if (id == IDOK || id == IDCANCEL) return Dialog::OnCommand(wParam, lParam);
        // Buttons end the dialog with their ids; other controls' notifications do not.
        if (HIWORD(wParam) == BN_CLICKED) EndDialog(id);
        return TRUE;
    }
    void OnClose() override {
        ++closeRequests;
        Dialog::OnClose();
    }
    BOOL PreTranslateMessage(MSG* message) override {
        return accelerators_ && TranslateAccelerator(GetSafeHwnd(), accelerators_, message);
    }

private:
    HACCEL accelerators_;
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18, 23, 5));
    }
    void TearDown() override {
        // Nothing may outlive a test: a leftover window would confuse the next one.
        EXPECT_TRUE(automation::WaitUntil([] { return automation::Windows().empty(); },
                                          std::chrono::milliseconds(3000)));
    }

    // Starts the dialog on its own thread and waits until it is on the screen.
    std::unique_ptr<UiThread> Show(ui::Dialog& dialog, HWND* window = nullptr) {
        auto thread = std::make_unique<UiThread>([&dialog] { return dialog.DoModal(); });
        auto shown = automation::WaitForTemplate(static_cast<int>(dialog.TemplateId()));
        EXPECT_TRUE(shown.has_value()) << "template " << dialog.TemplateId() << " never shown";
        if (shown && window) *window = shown->window;
        automation::Settle();
        return thread;
    }
};

inline HWND FocusedControl(HWND dialog) {
    for (const auto& control : automation::Controls(dialog)) {
        if (control.focused) return control.window;
    }
    return nullptr;
}

inline int FocusedId(HWND dialog) {
    for (const auto& control : automation::Controls(dialog)) {
        if (control.focused) return control.id;
    }
    return 0;
}

// Presses a key and lets the dialog's loop take it.
inline void Press(UINT key, uint8_t modifiers = automation::kNone) {
    ASSERT_TRUE(automation::PressKey(key, modifiers));
    automation::Settle();
}

}  // namespace ui_testing

namespace ui_testing {
// Moves the focus as a tap would (the tap lands on the button's edge-free centre and is
// released elsewhere, so it does not click): posts the focus change to the dialog's thread.
inline void SetFocusOn(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    ASSERT_NE(control, nullptr);
    SendMessage(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    automation::Settle();
}
}  // namespace ui_testing
