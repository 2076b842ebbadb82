// Per-thread message queues: posted messages, messages sent from other threads, timers and
// paint requests, in the order the window system delivers them (sent first, then posted
// input, then timers, then paint).
#include "window_system.h"

#include <platform/clock.h>

#include <chrono>

using namespace platform::ui::detail;

namespace {

thread_local uint8_t keyModifiers = 0;

// On the virtual clock time moves under other threads' sleeps with no signal, so a waiting
// loop with timers looks again after a short real pause.
constexpr auto kVirtualTimerPoll = std::chrono::milliseconds(2);

bool Matches(const MSG& message, HWND window, UINT low, UINT high) {
    if (window && message.hwnd != window) {
        auto& system = WindowSystem::Get();
        Window* target = system.Find(message.hwnd);
        bool child = false;
        while (target && target->parent) {
            if (target->parent == window) child = true;
            target = system.Find(target->parent);
        }
        if (!child) return false;
    }
    if (low == 0 && high == 0) return true;
    return message.message >= low && message.message <= high;
}

void RunSentLocked(Guard& lock, ThreadQueue& queue) {
    while (!queue.sent.empty()) {
        auto sent = queue.sent.front();
        queue.sent.pop_front();
        lock.unlock();
        const LRESULT result = CallWindow(sent->window, sent->message, sent->wParam, sent->lParam);
        lock.lock();
        sent->result = result;
        sent->done = true;
        WindowSystem::Get().changed.notify_all();
        for (ThreadQueue* other : WindowSystem::Get().Queues()) other->wake.notify_all();
    }
}

bool TakePostedLocked(ThreadQueue& queue, MSG& out, HWND window, UINT low, UINT high, bool remove) {
    auto& system = WindowSystem::Get();
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (it->keyboardInput) {
            HWND target = queue.focus ? queue.focus : queue.active;
            if (!system.Find(target)) target = nullptr;
            it->message.hwnd = target;
        }
        if (!Matches(it->message, window, low, high)) continue;
        out = it->message;
        if (remove) {
            if (it->keyboardInput) keyModifiers = it->modifiers;
            queue.posted.erase(it);
        }
        return true;
    }
    return false;
}

bool TakeTimerLocked(ThreadQueue& queue, MSG& out, HWND window, bool remove) {
    const DWORD now = GetTickCount();
    for (Timer& timer : queue.timers) {
        if (static_cast<int32_t>(now - timer.due) < 0) continue;
        MSG message{timer.window, WM_TIMER, timer.id,
                    reinterpret_cast<LPARAM>(timer.proc), now, {}};
        if (!Matches(message, window, 0, 0)) continue;
        if (remove) timer.due = now + timer.elapse;
        out = message;
        return true;
    }
    return false;
}

bool TakePaintLocked(ThreadQueue& queue, MSG& out, HWND window) {
    auto& system = WindowSystem::Get();
    for (HWND top : system.zOrder) {
        Window* w = system.Find(top);
        if (!w || w->thread != queue.thread || !w->needsPaint || !IsVisibleLocked(w)) continue;
        MSG message{top, WM_PAINT, 0, 0, GetTickCount(), {}};
        if (!Matches(message, window, 0, 0)) continue;
        out = message;
        return true;
    }
    return false;
}

bool TakeAnyLocked(Guard& lock, ThreadQueue& queue, MSG& out, HWND window, UINT low, UINT high,
                   bool remove) {
    RunSentLocked(lock, queue);
    if (TakePostedLocked(queue, out, window, low, high, remove)) return true;
    if (queue.quit) {
        out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, GetTickCount(), {}};
        if (remove) queue.quit = false;
        return true;
    }
    const bool timersWanted = (low == 0 && high == 0) || (WM_TIMER >= low && WM_TIMER <= high);
    if (timersWanted && TakeTimerLocked(queue, out, window, remove)) return true;
    const bool paintWanted = (low == 0 && high == 0) || (WM_PAINT >= low && WM_PAINT <= high);
    return paintWanted && TakePaintLocked(queue, out, window);
}

void WaitLocked(Guard& lock, ThreadQueue& queue) {
    queue.waiting = true;
    NotifyLocked();
    if (queue.timers.empty()) {
        queue.wake.wait(lock);
    } else if (platform::CurrentClock().IsVirtual()) {
        queue.wake.wait_for(lock, kVirtualTimerPoll);
    } else {
        bool any = false;
        const DWORD wait = NextTimerDueLocked(any);
        queue.wake.wait_for(lock, std::chrono::milliseconds(any ? wait : 1000));
    }
    queue.waiting = false;
}

}  // namespace

namespace platform::ui::detail {

LRESULT CallWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        auto lock = Lock();
        Window* target = WindowSystem::Get().Find(window);
        if (!target) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        proc = target->proc;
    }
    return proc ? proc(window, message, wParam, lParam) : DefWindowProc(window, message, wParam, lParam);
}

void PostInput(DWORD thread, UINT message, WPARAM wParam, uint8_t modifiers, HWND window) {
    auto lock = Lock();
    ThreadQueue& queue = WindowSystem::Get().Queue(thread);
    QueuedMessage input;
    input.message = MSG{window, message, wParam, 0, GetTickCount(), {}};
    input.modifiers = modifiers;
    input.keyboardInput = window == nullptr;
    queue.posted.push_back(input);
    queue.wake.notify_all();
}

}  // namespace platform::ui::detail

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    Window* target = system.Find(window);
    if (!target) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const DWORD me = GetCurrentThreadId();
    if (target->thread == me) {
        lock.unlock();
        return CallWindow(window, message, wParam, lParam);
    }
    // Another thread's window: its own thread runs the procedure; meanwhile this thread still
    // answers messages sent to it, so two threads sending to each other cannot deadlock.
    auto sent = std::make_shared<SentMessage>(SentMessage{window, message, wParam, lParam, 0, false});
    system.Queue(target->thread).sent.push_back(sent);
    system.Queue(target->thread).wake.notify_all();
    ThreadQueue& mine = system.Queue(me);
    while (!sent->done) {
        RunSentLocked(lock, mine);
        if (sent->done) break;
        if (!system.Find(window)) break;
        mine.wake.wait_for(lock, std::chrono::milliseconds(5));
    }
    return sent->result;
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    Window* target = system.Find(window);
    if (!target) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    ThreadQueue& queue = system.Queue(target->thread);
    QueuedMessage posted;
    posted.message = MSG{window, message, wParam, lParam, GetTickCount(), {}};
    queue.posted.push_back(posted);
    queue.wake.notify_all();
    NotifyLocked();
    return TRUE;
}

BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    auto lock = Lock();
    ThreadQueue& queue = WindowSystem::Get().Queue(threadId);
    QueuedMessage posted;
    posted.message = MSG{nullptr, message, wParam, lParam, GetTickCount(), {}};
    queue.posted.push_back(posted);
    queue.wake.notify_all();
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    auto lock = Lock();
    ThreadQueue& queue = WindowSystem::Get().Queue(GetCurrentThreadId());
    queue.quit = true;
    queue.quitCode = exitCode;
    queue.wake.notify_all();
}

BOOL GetMessage(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
    if (!message) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    auto lock = Lock();
    ThreadQueue& queue = WindowSystem::Get().Queue(GetCurrentThreadId());
    while (!TakeAnyLocked(lock, queue, *message, window, filterMin, filterMax, true)) {
        WaitLocked(lock, queue);
    }
    NotifyLocked();
    return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessage(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    if (!message) return FALSE;
    auto lock = Lock();
    ThreadQueue& queue = WindowSystem::Get().Queue(GetCurrentThreadId());
    return TakeAnyLocked(lock, queue, *message, window, filterMin, filterMax,
                         (remove & PM_REMOVE) != 0);
}

BOOL TranslateMessage(const MSG* message) {
    if (!message) return FALSE;
    const bool keyDown = message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN;
    if (!keyDown) return FALSE;
    const UINT key = static_cast<UINT>(message->wParam);
    WCHAR character = 0;
    const bool shift = (keyModifiers & kShift) != 0;
    if (key >= 'A' && key <= 'Z') {
        character = static_cast<WCHAR>(shift ? key : key - 'A' + 'a');
    } else if (key >= '0' && key <= '9') {
        character = static_cast<WCHAR>(key);
    } else if (key == VK_SPACE || key == VK_RETURN || key == VK_ESCAPE || key == VK_TAB ||
               key == VK_BACK) {
        character = static_cast<WCHAR>(key);
    }
    if (character == 0) return FALSE;
    const UINT charMessage = message->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    auto lock = Lock();
    ThreadQueue& queue = WindowSystem::Get().Queue(GetCurrentThreadId());
    QueuedMessage translated;
    translated.message = MSG{message->hwnd, charMessage, character, 0, message->time, {}};
    translated.modifiers = keyModifiers;
    queue.posted.push_front(translated);
    return TRUE;
}

LRESULT DispatchMessage(const MSG* message) {
    if (!message || !message->hwnd) return 0;
    if (message->message == WM_TIMER && message->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(message->lParam);
        proc(message->hwnd, WM_TIMER, message->wParam, GetTickCount());
        return 0;
    }
    return CallWindow(message->hwnd, message->message, message->wParam, message->lParam);
}

SHORT GetKeyState(int virtualKey) {
    uint8_t bit = 0;
    if (virtualKey == VK_SHIFT) bit = kShift;
    if (virtualKey == VK_CONTROL) bit = kControl;
    if (virtualKey == VK_MENU) bit = kAlt;
    return (keyModifiers & bit) ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetAsyncKeyState(int virtualKey) { return GetKeyState(virtualKey); }

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    Window* target = system.Find(window);
    if (!target || target->thread != GetCurrentThreadId()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    ThreadQueue& queue = system.Queue(target->thread);
    const DWORD due = GetTickCount() + elapse;
    for (Timer& timer : queue.timers) {
        if (timer.window == window && timer.id == id) {
            timer = Timer{window, id, elapse, due, proc};
            return id;
        }
    }
    queue.timers.push_back(Timer{window, id, elapse, due, proc});
    queue.wake.notify_all();
    return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    auto lock = Lock();
    ThreadQueue& queue = WindowSystem::Get().Queue(GetCurrentThreadId());
    const auto before = queue.timers.size();
    std::erase_if(queue.timers,
                  [&](const Timer& t) { return t.window == window && t.id == id; });
    return queue.timers.size() != before;
}
