// The order of the top-level windows: topmost windows in a band of their own in front, and
// the keyboard with the frontmost one. A question a program asks with a topmost window thus
// stays in front of, and keeps the keys from, a window that came up after it.
#include "window_system.h"

#include <algorithm>

namespace platform::ui::detail {
namespace {

bool IsTopmostLocked(HWND handle) {
    Window* window = WindowSystem::Get().Find(handle);
    return window && (window->exStyle & WS_EX_TOPMOST);
}

HWND FrontmostVisibleLocked() {
    auto& system = WindowSystem::Get();
    for (HWND top : system.zOrder) {
        if (IsVisibleLocked(system.Find(top))) return top;
    }
    return nullptr;
}

}  // namespace

void KeepTopmostInFrontLocked() {
    auto& z = WindowSystem::Get().zOrder;
    std::stable_partition(z.begin(), z.end(), IsTopmostLocked);
}

void RaiseLocked(HWND top) {
    auto& z = WindowSystem::Get().zOrder;
    std::erase(z, top);
    z.insert(z.begin(), top);
    KeepTopmostInFrontLocked();
}

void BringForwardLocked(Window* top) {
    auto& system = WindowSystem::Get();
    RaiseLocked(top->handle);
    system.Queue(top->thread).active = top->handle;
    system.foreground = FrontmostVisibleLocked();
}

}  // namespace platform::ui::detail

using namespace platform::ui::detail;

BOOL SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    Window* window = system.Find(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!(flags & SWP_NOMOVE)) {
        OffsetRect(&window->rect, x - window->rect.left, y - window->rect.top);
    }
    if (!(flags & SWP_NOSIZE)) {
        window->rect.right = window->rect.left + width;
        window->rect.bottom = window->rect.top + height;
    }
    const bool topLevel = window->parent == nullptr;
    if (!(flags & SWP_NOZORDER) && topLevel) {
        auto& z = system.zOrder;
        if (insertAfter == HWND_TOPMOST) {
            window->exStyle |= WS_EX_TOPMOST;
        } else if (insertAfter == HWND_NOTOPMOST || insertAfter == HWND_BOTTOM) {
            window->exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
        }
        std::erase(z, handle);
        if (insertAfter == HWND_BOTTOM) {
            z.push_back(handle);
        } else if (auto after = std::find(z.begin(), z.end(), insertAfter); after != z.end()) {
            z.insert(after + 1, handle);
        } else {
            z.insert(z.begin(), handle);
        }
        KeepTopmostInFrontLocked();
    }
    if (topLevel) {
        if (!(flags & SWP_NOACTIVATE) && IsVisibleLocked(window)) system.Queue(window->thread).active = handle;
        // Whichever window now lies in front takes the keyboard.
        system.foreground = FrontmostVisibleLocked();
    }
    MarkForPaintLocked(window);
    NotifyLocked();
    return TRUE;
}
