// Default processing every window class falls back to: text, close requests, system commands,
// painting.
#include "window_system.h"

#include <cstring>

using namespace platform::ui::detail;

LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT: {
            auto lock = Lock();
            Window* w = WindowSystem::Get().Find(hwnd);
            if (!w) return FALSE;
            auto* text = reinterpret_cast<LPCWSTR>(lParam);
            w->text = text ? text : u"";
            MarkForPaintLocked(w);
            if (Window* top = WindowSystem::Get().Find(TopLevelOfLocked(hwnd))) MarkForPaintLocked(top);
            NotifyLocked();
            return TRUE;
        }
        case WM_GETTEXT: {
            auto lock = Lock();
            Window* w = WindowSystem::Get().Find(hwnd);
            auto* out = reinterpret_cast<LPWSTR>(lParam);
            const auto capacity = static_cast<size_t>(wParam);
            if (!w || !out || capacity == 0) return 0;
            const size_t count = std::min(w->text.size(), capacity - 1);
            std::memcpy(out, w->text.data(), count * sizeof(WCHAR));
            out[count] = 0;
            return static_cast<LRESULT>(count);
        }
        case WM_GETTEXTLENGTH: {
            auto lock = Lock();
            Window* w = WindowSystem::Get().Find(hwnd);
            return w ? static_cast<LRESULT>(w->text.size()) : 0;
        }
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) SendMessage(hwnd, WM_CLOSE, 0, 0);
            // The caption's help button asks for help; nothing here answers it.
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_SETICON: {
            auto lock = Lock();
            Window* w = WindowSystem::Get().Find(hwnd);
            if (!w) return 0;
            HICON& slot = wParam == ICON_BIG ? w->bigIcon : w->smallIcon;
            auto old = reinterpret_cast<LRESULT>(slot);
            slot = reinterpret_cast<HICON>(lParam);
            MarkForPaintLocked(w);
            NotifyLocked();
            return old;
        }
        case WM_GETICON: {
            auto lock = Lock();
            Window* w = WindowSystem::Get().Find(hwnd);
            if (!w) return 0;
            return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? w->bigIcon : w->smallIcon);
        }
        default:
            return 0;
    }
}
