#include "window_system.h"

#include <platform/clock.h>

namespace platform::ui::detail {

WindowSystem& WindowSystem::Get() {
    static auto* system = new WindowSystem;
    return *system;
}

Window* WindowSystem::Find(HWND handle) {
    auto found = windows_.find(handle);
    return found == windows_.end() ? nullptr : found->second.get();
}

HWND WindowSystem::Add(std::unique_ptr<Window> window) {
    // Handles are never reused, so a stale handle never reaches a newer window.
    HWND handle = reinterpret_cast<HWND>(nextHandle_);
    nextHandle_ += 4;
    window->handle = handle;
    windows_[handle] = std::move(window);
    return handle;
}

void WindowSystem::Erase(HWND handle) { windows_.erase(handle); }

ThreadQueue& WindowSystem::Queue(DWORD thread) {
    auto& queue = queues_[thread];
    if (!queue) {
        queue = std::make_unique<ThreadQueue>();
        queue->thread = thread;
    }
    return *queue;
}

ThreadQueue* WindowSystem::ExistingQueue(DWORD thread) {
    auto found = queues_.find(thread);
    return found == queues_.end() ? nullptr : found->second.get();
}

std::vector<ThreadQueue*> WindowSystem::Queues() {
    std::vector<ThreadQueue*> all;
    for (auto& [thread, queue] : queues_) all.push_back(queue.get());
    return all;
}

bool IsVisibleLocked(Window* window) {
    auto& system = WindowSystem::Get();
    for (; window; window = system.Find(window->parent)) {
        if (!(window->style & WS_VISIBLE)) return false;
        if (!window->parent) return true;
    }
    return false;
}

bool IsEnabledLocked(Window* window) { return window && !(window->style & WS_DISABLED); }

HWND TopLevelOfLocked(HWND handle) {
    auto& system = WindowSystem::Get();
    Window* window = system.Find(handle);
    while (window && window->parent) window = system.Find(window->parent);
    return window ? window->handle : nullptr;
}

RECT ScreenRectLocked(Window* window) {
    RECT rect = window->rect;
    if (Window* parent = WindowSystem::Get().Find(window->parent)) {
        const RECT client = ClientRectOnScreenLocked(parent);
        rect.left += client.left;
        rect.right += client.left;
        rect.top += client.top;
        rect.bottom += client.top;
    }
    return rect;
}

RECT ClientRectOnScreenLocked(Window* window) {
    RECT rect = ScreenRectLocked(window);
    if (window->parent) return rect;
    if ((window->style & WS_CAPTION) == WS_CAPTION || (window->style & WS_DLGFRAME) ||
        (window->exStyle & WS_EX_DLGMODALFRAME) || window->kind == Kind::Dialog) {
        rect.left += kDialogFrameWidth;
        rect.right -= kDialogFrameWidth;
        rect.bottom -= kDialogFrameWidth;
        rect.top += kDialogFrameWidth;
    }
    if ((window->style & WS_CAPTION) == WS_CAPTION) rect.top += kCaptionHeight;
    return rect;
}

void NotifyLocked() { WindowSystem::Get().changed.notify_all(); }

void MarkForPaintLocked(Window* window) {
    window->needsPaint = true;
    if (ThreadQueue* queue = WindowSystem::Get().ExistingQueue(window->thread)) queue->wake.notify_all();
}

DWORD NextTimerDueLocked(bool& any) {
    any = false;
    DWORD best = 0;
    const DWORD now = GetTickCount();
    for (ThreadQueue* queue : WindowSystem::Get().Queues()) {
        for (const Timer& timer : queue->timers) {
            const DWORD wait = timer.due - now;  // wraps like the tick count itself
            const DWORD bounded = static_cast<int32_t>(wait) < 0 ? 0 : wait;
            if (!any || bounded < best) best = bounded;
            any = true;
        }
    }
    return best;
}

bool HasWorkLocked(ThreadQueue& queue) {
    if (!queue.posted.empty() || !queue.sent.empty()) return true;
    auto& system = WindowSystem::Get();
    for (HWND top : system.zOrder) {
        Window* w = system.Find(top);
        if (w && w->thread == queue.thread && w->needsPaint && IsVisibleLocked(w)) return true;
    }
    const DWORD now = GetTickCount();
    for (const Timer& timer : queue.timers) {
        if (static_cast<int32_t>(now - timer.due) >= 0) return true;
    }
    return false;
}

void RunShownHook(HWND window) {
    std::function<void(HWND)> hook;
    {
        auto lock = Lock();
        hook = WindowSystem::Get().onShown;
    }
    if (hook) hook(window);
}

}  // namespace platform::ui::detail

namespace platform::ui::detail {
namespace {

FrameLook LookOf(Window* w) {
    const bool caption = !w->parent && (w->style & WS_CAPTION) == WS_CAPTION;
    FrameLook look;
    look.closeBox = caption && (w->style & WS_SYSMENU);
    look.helpButton = caption && (w->exStyle & WS_EX_CONTEXTHELP);
    return look;
}

}  // namespace

// The painter's geometry, so taps land where the buttons are drawn.
RECT CloseBoxRectLocked(Window* w) { return CaptionCloseBoxRect(w->rect, LookOf(w)); }
RECT HelpButtonRectLocked(Window* w) { return CaptionHelpButtonRect(w->rect, LookOf(w)); }

}  // namespace platform::ui::detail
