// A user's input: taps on buttons and the close box, keys on the dialog's thread.
#include <platform/ui/automation.h>

#include "../windows/window_system.h"

namespace platform::ui::automation {

using namespace platform::ui::detail;

bool Click(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return false;
    return PostMessage(control, BM_CLICK, 0, 0) != FALSE;
}

bool PressKey(HWND dialog, UINT virtualKey, uint8_t modifiers) {
    DWORD thread = 0;
    {
        auto lock = Lock();
        Window* w = WindowSystem::Get().Find(dialog);
        if (!w) return false;
        thread = w->thread;
    }
    // Keys held with Alt arrive as system keys, as the keyboard driver reports them.
    const bool alt = (modifiers & kModAlt) != 0;
    PostInput(thread, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, modifiers, nullptr);
    PostInput(thread, alt ? WM_SYSKEYUP : WM_KEYUP, virtualKey, modifiers, nullptr);
    auto lock = Lock();
    NotifyLocked();
    return true;
}

bool ClickCloseBox(HWND dialog) {
    if (!(GetWindowLong(dialog, GWL_STYLE) & WS_SYSMENU)) return false;
    return PostMessage(dialog, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
}

}  // namespace platform::ui::automation
