// Creating and destroying windows, their text, styles, geometry, visibility, enabling, focus
// and activation.
#include "window_system.h"

#include <platform/text.h>

#include <algorithm>
#include <cstring>

using namespace platform::ui::detail;

namespace {

Window* FindOrFail(HWND handle) {
    Window* window = WindowSystem::Get().Find(handle);
    if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

void CollectLocked(HWND handle, std::vector<HWND>& out) {
    Window* window = WindowSystem::Get().Find(handle);
    if (!window) return;
    for (HWND child : window->children) CollectLocked(child, out);
    out.push_back(handle);
}

// After a top-level window goes or hides: the frontmost visible enabled one becomes active.
void ActivateNextLocked() {
    auto& system = WindowSystem::Get();
    for (HWND top : system.zOrder) {
        Window* w = system.Find(top);
        if (w && IsVisibleLocked(w)) {
            system.foreground = top;
            ThreadQueue& queue = system.Queue(w->thread);
            queue.active = top;
            return;
        }
    }
    system.foreground = nullptr;
}

}  // namespace

namespace platform::ui::detail {

bool LookupClass(std::u16string_view name, Kind& kind, WNDPROC& proc) {
    struct Entry {
        const char16_t* name;
        Kind kind;
        WNDPROC proc;
    };
    static const Entry classes[] = {
        {u"Button", Kind::Button, ButtonProc},
        {u"Static", Kind::Static, StaticProc},
        {u"ComboBox", Kind::ComboBox, ComboBoxProc},
        {u"msctls_progress32", Kind::ProgressBar, ProgressProc},
        {u"#32770", Kind::Dialog, DialogWindowProc},
    };
    for (const auto& entry : classes) {
        if (platform::EqualsIgnoreCase(name, entry.name)) {
            kind = entry.kind;
            proc = entry.proc;
            return true;
        }
    }
    return false;
}

}  // namespace platform::ui::detail

HWND CreateWindowEx(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menuOrId, HINSTANCE, LPVOID parameter) {
    auto window = std::make_unique<Window>();
    if (!className || !LookupClass(className, window->kind, window->proc)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    window->className = className;
    window->text = title ? title : u"";
    window->style = style;
    window->exStyle = exStyle;
    window->rect = RECT{x, y, x + width, y + height};
    window->thread = GetCurrentThreadId();
    HWND handle;
    {
        auto lock = Lock();
        auto& system = WindowSystem::Get();
        Window* parentWindow = nullptr;
        if (parent) {
            parentWindow = system.Find(parent);
            if (!parentWindow) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
        }
        if (style & WS_CHILD) {
            if (!parentWindow) {
                SetLastError(ERROR_TLW_WITH_WSCHILD);
                return nullptr;
            }
            window->parent = parent;
            window->id = static_cast<int>(reinterpret_cast<intptr_t>(menuOrId));
        } else {
            window->owner = parent ? TopLevelOfLocked(parent) : nullptr;
        }
        if (window->kind == Kind::ComboBox) {
            window->droppedHeight = height;
            window->rect.bottom = y + std::min(height, platform::ui::kComboClosedHeight);
        }
        handle = system.Add(std::move(window));
        if (parentWindow) {
            parentWindow->children.push_back(handle);
        } else {
            system.zOrder.push_back(handle);
            KeepTopmostInFrontLocked();
        }
        system.Queue(GetCurrentThreadId());
        NotifyLocked();
    }
    SendMessage(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(parameter));
    return handle;
}

BOOL DestroyWindow(HWND handle) {
    std::vector<HWND> doomed;
    {
        auto lock = Lock();
        Window* window = FindOrFail(handle);
        if (!window) return FALSE;
        CollectLocked(handle, doomed);
    }
    for (HWND each : doomed) SendMessage(each, WM_DESTROY, 0, 0);
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    Window* window = system.Find(handle);
    if (!window) return TRUE;
    if (Window* parent = system.Find(window->parent)) std::erase(parent->children, handle);
    const bool topLevel = window->parent == nullptr;
    for (HWND each : doomed) {
        Window* w = system.Find(each);
        if (!w) continue;
        ThreadQueue& queue = system.Queue(w->thread);
        std::erase_if(queue.timers, [&](const Timer& t) { return t.window == each; });
        if (queue.focus == each) queue.focus = nullptr;
        if (queue.active == each) queue.active = nullptr;
        std::erase(system.zOrder, each);
        system.Erase(each);
    }
    if (topLevel && (system.foreground == handle || !system.Find(system.foreground))) {
        ActivateNextLocked();
    }
    NotifyLocked();
    return TRUE;
}

BOOL IsWindow(HWND handle) {
    auto lock = Lock();
    return WindowSystem::Get().Find(handle) != nullptr;
}

BOOL IsWindowVisible(HWND handle) {
    auto lock = Lock();
    return IsVisibleLocked(WindowSystem::Get().Find(handle));
}

BOOL IsWindowEnabled(HWND handle) {
    auto lock = Lock();
    return IsEnabledLocked(WindowSystem::Get().Find(handle));
}

BOOL EnableWindow(HWND handle, BOOL enable) {
    bool wasDisabled;
    {
        auto lock = Lock();
        Window* window = FindOrFail(handle);
        if (!window) return FALSE;
        wasDisabled = (window->style & WS_DISABLED) != 0;
        if (enable) {
            window->style &= ~static_cast<DWORD>(WS_DISABLED);
        } else {
            window->style |= WS_DISABLED;
            ThreadQueue& queue = WindowSystem::Get().Queue(window->thread);
            if (queue.focus == handle) queue.focus = nullptr;
        }
        MarkForPaintLocked(window);
        if (Window* top = WindowSystem::Get().Find(TopLevelOfLocked(handle))) MarkForPaintLocked(top);
        NotifyLocked();
    }
    SendMessage(handle, WM_ENABLE, enable, 0);
    return wasDisabled;
}

BOOL ShowWindow(HWND handle, int command) {
    bool shownTopLevel = false;
    bool wasVisible;
    {
        auto lock = Lock();
        auto& system = WindowSystem::Get();
        Window* window = FindOrFail(handle);
        if (!window) return FALSE;
        wasVisible = (window->style & WS_VISIBLE) != 0;
        if (command == SW_HIDE) {
            window->style &= ~static_cast<DWORD>(WS_VISIBLE);
            if (!window->parent && system.foreground == handle) ActivateNextLocked();
        } else {
            window->style |= WS_VISIBLE;
            MarkForPaintLocked(window);
            if (!window->parent) {
                BringForwardLocked(window);
                shownTopLevel = !wasVisible;
            }
        }
        NotifyLocked();
    }
    if (shownTopLevel) RunShownHook(handle);
    return wasVisible;
}

BOOL SetWindowText(HWND handle, LPCWSTR text) {
    return static_cast<BOOL>(SendMessage(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int GetWindowText(HWND handle, LPWSTR buffer, int maxCount) {
    return static_cast<int>(
        SendMessage(handle, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND handle) {
    return static_cast<int>(SendMessage(handle, WM_GETTEXTLENGTH, 0, 0));
}

LONG_PTR GetWindowLongPtr(HWND handle, int index) {
    auto lock = Lock();
    Window* window = FindOrFail(handle);
    if (!window) return 0;
    switch (index) {
        case GWL_STYLE: return static_cast<LONG>(window->style);
        case GWL_EXSTYLE: return static_cast<LONG>(window->exStyle);
        case GWL_ID: return window->id;
        case GWL_USERDATA: return window->userData;
        case DWL_MSGRESULT: return window->messageResult;
        case DWL_USER: return window->dialogUser;
        default: SetLastError(ERROR_INVALID_INDEX); return 0;
    }
}

LONG_PTR SetWindowLongPtr(HWND handle, int index, LONG_PTR value) {
    auto lock = Lock();
    Window* window = FindOrFail(handle);
    if (!window) return 0;
    LONG_PTR old = 0;
    switch (index) {
        case GWL_STYLE: old = static_cast<LONG>(window->style); window->style = static_cast<DWORD>(value); break;
        case GWL_EXSTYLE: old = static_cast<LONG>(window->exStyle); window->exStyle = static_cast<DWORD>(value); break;
        case GWL_ID: old = window->id; window->id = static_cast<int>(value); break;
        case GWL_USERDATA: old = window->userData; window->userData = value; break;
        case DWL_MSGRESULT: old = window->messageResult; window->messageResult = value; break;
        case DWL_USER: old = window->dialogUser; window->dialogUser = value; break;
        default: SetLastError(ERROR_INVALID_INDEX); return 0;
    }
    MarkForPaintLocked(window);
    NotifyLocked();
    return old;
}

LONG GetWindowLong(HWND handle, int index) {
    return static_cast<LONG>(GetWindowLongPtr(handle, index));
}

LONG SetWindowLong(HWND handle, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtr(handle, index, value));
}

HWND GetParent(HWND handle) {
    auto lock = Lock();
    Window* window = FindOrFail(handle);
    if (!window) return nullptr;
    return window->parent ? window->parent : window->owner;
}

HWND GetWindow(HWND handle, UINT relation) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    Window* window = FindOrFail(handle);
    if (!window) return nullptr;
    if (relation == GW_CHILD) return window->children.empty() ? nullptr : window->children.front();
    if (relation == GW_OWNER) return window->owner;
    const std::vector<HWND>* siblings = &system.zOrder;
    if (Window* parent = system.Find(window->parent)) siblings = &parent->children;
    auto at = std::find(siblings->begin(), siblings->end(), handle);
    switch (relation) {
        case GW_HWNDFIRST: return siblings->front();
        case GW_HWNDLAST: return siblings->back();
        case GW_HWNDNEXT: return (at + 1 < siblings->end()) ? *(at + 1) : nullptr;
        case GW_HWNDPREV: return at > siblings->begin() ? *(at - 1) : nullptr;
        default: return nullptr;
    }
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
    auto lock = Lock();
    Window* window = FindOrFail(handle);
    if (!window || !rect) return FALSE;
    *rect = ScreenRectLocked(window);
    return TRUE;
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
    auto lock = Lock();
    Window* window = FindOrFail(handle);
    if (!window || !rect) return FALSE;
    const RECT client = ClientRectOnScreenLocked(window);
    *rect = RECT{0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL) {
    auto lock = Lock();
    Window* window = FindOrFail(handle);
    if (!window) return FALSE;
    window->rect = RECT{x, y, x + width, y + height};
    MarkForPaintLocked(window);
    NotifyLocked();
    return TRUE;
}

BOOL ClientToScreen(HWND handle, LPPOINT point) {
    auto lock = Lock();
    Window* window = FindOrFail(handle);
    if (!window || !point) return FALSE;
    const RECT client = ClientRectOnScreenLocked(window);
    point->x += client.left;
    point->y += client.top;
    return TRUE;
}

BOOL ScreenToClient(HWND handle, LPPOINT point) {
    auto lock = Lock();
    Window* window = FindOrFail(handle);
    if (!window || !point) return FALSE;
    const RECT client = ClientRectOnScreenLocked(window);
    point->x -= client.left;
    point->y -= client.top;
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND handle, LPDWORD processId) {
    auto lock = Lock();
    Window* window = FindOrFail(handle);
    if (processId) *processId = 1;
    return window ? window->thread : 0;
}

HWND GetFocus() {
    auto lock = Lock();
    return WindowSystem::Get().Queue(GetCurrentThreadId()).focus;
}

HWND SetFocus(HWND handle) {
    HWND old;
    {
        auto lock = Lock();
        auto& system = WindowSystem::Get();
        ThreadQueue& queue = system.Queue(GetCurrentThreadId());
        old = queue.focus;
        if (handle) {
            Window* window = FindOrFail(handle);
            if (!window || window->thread != GetCurrentThreadId() || !IsEnabledLocked(window)) {
                return nullptr;
            }
        }
        if (old == handle) return old;
        queue.focus = handle;
        if (handle) queue.active = TopLevelOfLocked(handle);
        for (HWND each : {old, handle}) {
            if (Window* w = system.Find(each)) MarkForPaintLocked(w);
            if (Window* top = system.Find(TopLevelOfLocked(each))) MarkForPaintLocked(top);
        }
        NotifyLocked();
    }
    if (old && IsWindow(old)) SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
    if (handle) SendMessage(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetActiveWindow() {
    auto lock = Lock();
    return WindowSystem::Get().Queue(GetCurrentThreadId()).active;
}

HWND SetActiveWindow(HWND handle) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    ThreadQueue& queue = system.Queue(GetCurrentThreadId());
    HWND old = queue.active;
    if (Window* window = FindOrFail(handle); window && !window->parent) {
        BringForwardLocked(window);
        NotifyLocked();
    }
    return old;
}

HWND GetForegroundWindow() {
    auto lock = Lock();
    return WindowSystem::Get().foreground;
}

BOOL SetForegroundWindow(HWND handle) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    Window* window = FindOrFail(handle);
    if (!window) return FALSE;
    if (Window* top = system.Find(TopLevelOfLocked(handle))) BringForwardLocked(top);
    NotifyLocked();
    return TRUE;
}

HWND GetCapture() { return nullptr; }

BOOL InvalidateRect(HWND handle, const RECT*, BOOL) {
    auto lock = Lock();
    Window* window = FindOrFail(handle);
    if (!window) return FALSE;
    MarkForPaintLocked(window);
    if (Window* top = WindowSystem::Get().Find(TopLevelOfLocked(handle))) MarkForPaintLocked(top);
    WindowSystem::Get().Queue(window->thread).wake.notify_all();
    NotifyLocked();
    return TRUE;
}

BOOL UpdateWindow(HWND handle) {
    bool paint;
    {
        auto lock = Lock();
        Window* window = FindOrFail(handle);
        if (!window) return FALSE;
        paint = window->needsPaint && IsVisibleLocked(window);
    }
    if (paint) SendMessage(handle, WM_PAINT, 0, 0);
    return TRUE;
}

int GetSystemMetrics(int index) {
    using namespace platform::ui;
    switch (index) {
        case SM_CXSCREEN: return kScreenWidth;
        case SM_CYSCREEN: return kScreenHeight;
        case SM_CYCAPTION: return kCaptionHeight;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME: return kDialogFrameWidth;
        case SM_CXICON:
        case SM_CYICON: return 32;
        case SM_CXSMICON:
        case SM_CYSMICON: return 16;
        default: return 0;
    }
}

BOOL SystemParametersInfo(UINT action, UINT, PVOID pvParam, UINT) {
    if (action != SPI_GETWORKAREA || !pvParam) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *static_cast<RECT*>(pvParam) = RECT{0, 0, platform::ui::kScreenWidth, platform::ui::kWorkAreaHeight};
    return TRUE;
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    // Rounds half away from zero, as the window system's MulDiv does.
    const int64_t product = static_cast<int64_t>(number) * numerator;
    const bool negative = (product < 0) != (denominator < 0);
    const int64_t magnitude = (std::abs(product) + std::abs(static_cast<int64_t>(denominator)) / 2) /
                              std::abs(static_cast<int64_t>(denominator));
    const int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX || result < INT32_MIN) return -1;
    return static_cast<int>(result);
}

LRESULT CallWindowProc(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(window, message, wParam, lParam) : 0;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM parameter) {
    if (!callback) return FALSE;
    std::vector<HWND> all;
    {
        auto lock = Lock();
        Window* window = FindOrFail(parent);
        if (!window) return FALSE;
        for (HWND child : window->children) CollectLocked(child, all);
    }
    // Collected first, so windows that go meanwhile are skipped rather than followed.
    for (HWND each : all) {
        if (IsWindow(each) && !callback(each, parameter)) break;
    }
    return TRUE;
}
