// User input for automation: taps land on the frontmost window under the point, keys on the
// foreground window's thread. Both are queued like real input, so the programs' loops take
// them in order.
#include <platform/ui/automation.h>

#include "../windows/window_system.h"

namespace platform::ui::automation {
namespace {

using WindowRecord = detail::Window;
using detail::WindowSystem;

bool Inside(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The rectangle a control answers taps in: a dropped list reaches below the closed box.
RECT TapRectLocked(WindowRecord* c) {
    RECT rect = detail::ScreenRectLocked(c);
    if (c->kind == detail::Kind::ComboBox && c->dropped) {
        rect.bottom = rect.top + std::max<LONG>(c->droppedHeight, rect.bottom - rect.top);
    }
    return rect;
}

WindowRecord* ChildAtLocked(WindowRecord* dialog, POINT p) {
    auto& system = WindowSystem::Get();
    // Dropped lists lie over their neighbours.
    for (HWND child : dialog->children) {
        WindowRecord* c = system.Find(child);
        if (c && c->dropped && detail::IsVisibleLocked(c) && Inside(TapRectLocked(c), p)) return c;
    }
    for (auto it = dialog->children.rbegin(); it != dialog->children.rend(); ++it) {
        WindowRecord* c = system.Find(*it);
        if (c && detail::IsVisibleLocked(c) && Inside(TapRectLocked(c), p)) return c;
    }
    return nullptr;
}

void ActivateLocked(WindowRecord* top) {
    detail::BringForwardLocked(top);
    detail::MarkForPaintLocked(top);
    detail::NotifyLocked();
}

void PostLocked(WindowRecord* target, UINT message, WPARAM wParam, LPARAM lParam) {
    detail::ThreadQueue& queue = WindowSystem::Get().Queue(target->thread);
    detail::QueuedMessage posted;
    posted.message = MSG{target->handle, message, wParam, lParam, GetTickCount(), {}};
    queue.posted.push_back(posted);
    queue.wake.notify_all();
    detail::NotifyLocked();
}

// The thread whose window is in front: it takes the keyboard's input.
DWORD KeyboardThread() {
    auto lock = detail::Lock();
    WindowRecord* top = WindowSystem::Get().Find(WindowSystem::Get().foreground);
    return top ? top->thread : 0;
}

bool PostKey(DWORD thread, UINT message, UINT virtualKey, uint8_t modifiers) {
    if (thread == 0) return false;
    detail::PostInput(thread, message, virtualKey, modifiers, nullptr);
    return true;
}

UINT DownMessage(uint8_t modifiers) { return (modifiers & kAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN; }
UINT UpMessage(uint8_t modifiers) { return (modifiers & kAlt) ? WM_SYSKEYUP : WM_KEYUP; }

RECT TaskbarRect() { return RECT{0, kScreenHeight - kTaskbarHeight, kScreenWidth, kScreenHeight}; }

// A tap on the taskbar brings that button's window to the front.
bool ClickTaskbar(POINT p) {
    const auto entries = TaskbarEntries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!Inside(TaskbarButtonRect(TaskbarRect(), i, entries.size()), p)) continue;
        auto lock = detail::Lock();
        if (WindowRecord* top = WindowSystem::Get().Find(entries[i].window)) ActivateLocked(top);
        return true;
    }
    return false;
}

}  // namespace

bool ClickTaskbarEntry(HWND window) {
    const auto entries = TaskbarEntries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].window != window) continue;
        const RECT r = TaskbarButtonRect(TaskbarRect(), i, entries.size());
        return ClickPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    }
    return false;
}

bool ClickPoint(POINT p) {
    if (Inside(TaskbarRect(), p)) return ClickTaskbar(p);
    auto lock = detail::Lock();
    auto& system = WindowSystem::Get();
    for (HWND handle : system.zOrder) {
        WindowRecord* top = system.Find(handle);
        if (!top || !detail::IsVisibleLocked(top) || !Inside(top->rect, p)) continue;
        // A disabled window (the owner of a message box) ignores taps.
        if (top->style & WS_DISABLED) return false;
        ActivateLocked(top);
        if (Inside(detail::CloseBoxRectLocked(top), p)) {
            PostLocked(top, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        }
        if (Inside(detail::HelpButtonRectLocked(top), p)) {
            PostLocked(top, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
            return true;
        }
        WindowRecord* child = ChildAtLocked(top, p);
        if (!child) return true;
        if (!detail::IsEnabledLocked(child)) return false;
        const RECT at = detail::ScreenRectLocked(child);
        const LPARAM where = MAKELPARAM(p.x - at.left, p.y - at.top);
        PostLocked(child, WM_LBUTTONDOWN, 1, where);
        PostLocked(child, WM_LBUTTONUP, 0, where);
        return true;
    }
    return false;
}

bool Click(HWND control) {
    RECT rect;
    {
        auto lock = detail::Lock();
        WindowRecord* c = WindowSystem::Get().Find(control);
        if (!c) return false;
        rect = detail::ScreenRectLocked(c);
    }
    return ClickPoint(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

bool ClickCloseBox(HWND window) {
    RECT box;
    {
        auto lock = detail::Lock();
        WindowRecord* w = WindowSystem::Get().Find(window);
        if (!w) return false;
        box = detail::CloseBoxRectLocked(w);
    }
    if (box.right <= box.left) return false;
    return ClickPoint(POINT{(box.left + box.right) / 2, (box.top + box.bottom) / 2});
}

bool ClickHelpButton(HWND window) {
    RECT box;
    {
        auto lock = detail::Lock();
        WindowRecord* w = WindowSystem::Get().Find(window);
        if (!w) return false;
        box = detail::HelpButtonRectLocked(w);
    }
    if (box.right <= box.left) return false;
    return ClickPoint(POINT{(box.left + box.right) / 2, (box.top + box.bottom) / 2});
}

bool KeyDown(UINT virtualKey, uint8_t modifiers) {
    return PostKey(KeyboardThread(), DownMessage(modifiers), virtualKey, modifiers);
}

bool KeyUp(UINT virtualKey, uint8_t modifiers) {
    return PostKey(KeyboardThread(), UpMessage(modifiers), virtualKey, modifiers);
}

bool PressKey(UINT virtualKey, uint8_t modifiers) {
    // Both to the same thread: the key-down may end the window before the key-up is sent.
    const DWORD thread = KeyboardThread();
    return PostKey(thread, DownMessage(modifiers), virtualKey, modifiers) &&
           PostKey(thread, UpMessage(modifiers), virtualKey, modifiers);
}

}  // namespace platform::ui::automation
