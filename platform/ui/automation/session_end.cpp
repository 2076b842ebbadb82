// Ending a session as its user would: Cancel in whatever the program shows, until it has ended.
#include <platform/ui/automation.h>

namespace platform::ui::automation {

bool CancelUntilEnded(const std::function<bool()>& ended, Limit limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    HWND lastCancelled = nullptr;
    auto cancelledAt = std::chrono::steady_clock::now();
    while (!ended()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        Settle(Limit(200));
        const auto windows = Windows();
        const auto now = std::chrono::steady_clock::now();
        // A dialog that takes its Cancel ends; one still up a while later (a worker finishing
        // its current file first) gets it again.
        if (!windows.empty() && (windows.front().window != lastCancelled || now - cancelledAt > Limit(1000))) {
            const HWND front = windows.front().window;
            const auto cancel = Control(front, IDCANCEL);
            PostMessage(front, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                        reinterpret_cast<LPARAM>(cancel ? cancel->window : nullptr));
            lastCancelled = front;
            cancelledAt = now;
        }
        WaitUntil(ended, Limit(20));
    }
    return true;
}

}  // namespace platform::ui::automation
