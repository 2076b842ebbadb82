// The predefined control classes: push button, static text, progress bar, drop-down list. Their
// state lives in the window record so that presenters and automation can read it.
#include "window_system.h"

#include <algorithm>
#include <cstring>

using namespace platform::ui::detail;

namespace {

template <class F>
auto WithWindow(HWND handle, F&& f) {
    auto lock = Lock();
    Window* window = WindowSystem::Get().Find(handle);
    if (window) MarkForPaintLocked(window);
    auto result = f(window);
    NotifyLocked();
    return result;
}

void Notify(HWND control, WORD code) {
    HWND parent = GetParent(control);
    if (parent) {
        SendMessage(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                    reinterpret_cast<LPARAM>(control));
    }
}

void InvalidateTop(HWND control) { InvalidateRect(GetParent(control), nullptr, TRUE); }

}  // namespace

namespace platform::ui::detail {

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETDLGCODE:
            return WithWindow(hwnd, [](Window* w) -> LRESULT {
                if (!w) return 0;
                const DWORD type = w->style & BS_TYPEMASK;
                if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
                if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
                return DLGC_BUTTON;
            });
        case BM_SETSTYLE:
            WithWindow(hwnd, [&](Window* w) {
                if (w) w->style = (w->style & ~static_cast<DWORD>(0xFFFF)) | (wParam & 0xFFFF);
                return 0;
            });
            InvalidateTop(hwnd);
            return 0;
        case BM_GETSTATE:
            return WithWindow(hwnd, [&](Window* w) -> LRESULT {
                if (!w) return 0;
                const bool focused = WindowSystem::Get().Queue(w->thread).focus == hwnd;
                return (w->pressed ? BST_PUSHED : 0) | (focused ? BST_FOCUS : 0);
            });
        case BM_SETSTATE:
            WithWindow(hwnd, [&](Window* w) {
                if (w) w->pressed = wParam != 0;
                return 0;
            });
            InvalidateTop(hwnd);
            return 0;
        case BM_CLICK:
            SetFocus(hwnd);
            Notify(hwnd, BN_CLICKED);
            return 0;
        case WM_LBUTTONDOWN:
            SetFocus(hwnd);
            SendMessage(hwnd, BM_SETSTATE, TRUE, 0);
            return 0;
        case WM_LBUTTONUP: {
            const bool wasPressed = SendMessage(hwnd, BM_GETSTATE, 0, 0) & BST_PUSHED;
            SendMessage(hwnd, BM_SETSTATE, FALSE, 0);
            if (wasPressed) Notify(hwnd, BN_CLICKED);
            return 0;
        }
        // Space presses the button on key-down and clicks it on key-up.
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) SendMessage(hwnd, BM_SETSTATE, TRUE, 0);
            return 0;
        case WM_KEYUP:
            if (wParam == VK_SPACE && (SendMessage(hwnd, BM_GETSTATE, 0, 0) & BST_PUSHED)) {
                SendMessage(hwnd, BM_SETSTATE, FALSE, 0);
                Notify(hwnd, BN_CLICKED);
            }
            return 0;
        // Losing the focus or being told to cancel a mode lets go of a pressed button unclicked.
        case WM_KILLFOCUS:
        case WM_CANCELMODE:
            SendMessage(hwnd, BM_SETSTATE, FALSE, 0);
            return 0;
        default:
            return DefWindowProc(hwnd, message, wParam, lParam);
    }
}

LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETDLGCODE: return DLGC_STATIC;
        case STM_SETICON:
            return WithWindow(hwnd, [&](Window* w) -> LRESULT {
                if (!w) return 0;
                auto old = reinterpret_cast<LRESULT>(w->icon);
                w->icon = reinterpret_cast<HICON>(wParam);
                return old;
            });
        case STM_GETICON:
            return WithWindow(hwnd, [](Window* w) { return w ? reinterpret_cast<LRESULT>(w->icon) : 0; });
        default: return DefWindowProc(hwnd, message, wParam, lParam);
    }
}

LRESULT ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto clamp = [](Window* w, int value) { return std::clamp(value, w->low, std::max(w->low, w->high)); };
    switch (message) {
        case PBM_SETPOS:
            return WithWindow(hwnd, [&](Window* w) -> LRESULT {
                if (!w) return 0;
                const int old = w->position;
                w->position = clamp(w, static_cast<int>(wParam));
                return old;
            });
        case PBM_DELTAPOS:
            return WithWindow(hwnd, [&](Window* w) -> LRESULT {
                if (!w) return 0;
                const int old = w->position;
                w->position = clamp(w, old + static_cast<int>(wParam));
                return old;
            });
        case PBM_GETPOS:
            return WithWindow(hwnd, [](Window* w) -> LRESULT { return w ? w->position : 0; });
        case PBM_SETRANGE:
        case PBM_SETRANGE32:
            return WithWindow(hwnd, [&](Window* w) -> LRESULT {
                if (!w) return 0;
                const LRESULT old = MAKELONG(w->low, w->high);
                if (message == PBM_SETRANGE) {
                    w->low = LOWORD(lParam);
                    w->high = HIWORD(lParam);
                } else {
                    w->low = static_cast<int>(wParam);
                    w->high = static_cast<int>(lParam);
                }
                w->position = clamp(w, w->position);
                return old;
            });
        case PBM_GETRANGE:
            return WithWindow(hwnd, [&](Window* w) -> LRESULT {
                if (!w) return 0;
                return wParam ? w->low : w->high;
            });
        case PBM_SETSTEP:
            return WithWindow(hwnd, [&](Window* w) -> LRESULT {
                if (!w) return 0;
                const int old = w->step;
                w->step = static_cast<int>(wParam);
                return old;
            });
        case PBM_STEPIT:
            // Stepping past the end wraps to the start.
            return WithWindow(hwnd, [&](Window* w) -> LRESULT {
                if (!w) return 0;
                const int old = w->position;
                int next = old + w->step;
                if (next > w->high) next = w->low + (next - w->high);
                w->position = clamp(w, next);
                return old;
            });
        default: return DefWindowProc(hwnd, message, wParam, lParam);
    }
}

namespace {

void CloseList(HWND hwnd, bool accept) {
    int chosen = -1;
    bool changed = false;
    WithWindow(hwnd, [&](Window* w) {
        if (!w || !w->dropped) return 0;
        w->dropped = false;
        if (accept && w->highlight >= 0 && w->highlight != w->selection) {
            w->selection = w->highlight;
            changed = true;
        }
        chosen = w->selection;
        return 0;
    });
    (void)chosen;
    InvalidateTop(hwnd);
    if (changed) Notify(hwnd, CBN_SELCHANGE);
    Notify(hwnd, CBN_CLOSEUP);
}

void OpenList(HWND hwnd) {
    bool opened = WithWindow(hwnd, [](Window* w) {
        if (!w || w->dropped) return false;
        w->dropped = true;
        w->highlight = w->selection;
        return true;
    });
    if (!opened) return;
    Notify(hwnd, CBN_DROPDOWN);
    InvalidateTop(hwnd);
}

bool Dropped(HWND hwnd) {
    return WithWindow(hwnd, [](Window* w) { return w && w->dropped; });
}

// Moves the selection (closed) or the highlight (dropped) by delta, within the items.
void Move(HWND hwnd, int delta) {
    bool changed = WithWindow(hwnd, [&](Window* w) {
        if (!w || w->items.empty()) return false;
        int& current = w->dropped ? w->highlight : w->selection;
        const int next = std::clamp(current + delta, 0, static_cast<int>(w->items.size()) - 1);
        const bool moved = next != current;
        current = next;
        return moved && !w->dropped;
    });
    if (changed) Notify(hwnd, CBN_SELCHANGE);
}

LRESULT ComboKey(HWND hwnd, WPARAM key) {
    const bool alt = GetKeyState(VK_MENU) & 0x8000;
    if (key == VK_F4 || (alt && (key == VK_DOWN || key == VK_UP))) {
        if (Dropped(hwnd)) CloseList(hwnd, true); else OpenList(hwnd);
    } else if (key == VK_DOWN || key == VK_RIGHT) {
        Move(hwnd, 1);
    } else if (key == VK_UP || key == VK_LEFT) {
        Move(hwnd, -1);
    } else if (key == VK_RETURN && Dropped(hwnd)) {
        CloseList(hwnd, true);
    } else if (key == VK_ESCAPE && Dropped(hwnd)) {
        CloseList(hwnd, false);
    }
    return 0;
}

}  // namespace

LRESULT ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETDLGCODE: {
            LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
            // A dropped-down list keeps Enter and Escape for itself.
            auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (msg && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE) &&
                Dropped(hwnd)) {
                code |= DLGC_WANTMESSAGE;
            }
            return code;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            return ComboKey(hwnd, wParam);
        case WM_CHAR: {
            // A letter selects the next item that starts with it.
            const WCHAR letter = towupper(static_cast<WCHAR>(wParam));
            bool changed = WithWindow(hwnd, [&](Window* w) {
                if (!w || w->items.empty()) return false;
                const int n = static_cast<int>(w->items.size());
                for (int step = 1; step <= n; ++step) {
                    const int index = (std::max(w->selection, -1) + step + n) % n;
                    const auto& text = w->items[static_cast<size_t>(index)].text;
                    if (!text.empty() && towupper(text[0]) == letter) {
                        const bool moved = index != w->selection;
                        w->selection = index;
                        return moved;
                    }
                }
                return false;
            });
            if (changed) Notify(hwnd, CBN_SELCHANGE);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            SetFocus(hwnd);
            if (!Dropped(hwnd)) {
                OpenList(hwnd);
                return 0;
            }
            // lParam: the point in the control's coordinates; rows of the list lie below it.
            const int y = GET_Y_LPARAM(lParam);
            int row = -1;
            WithWindow(hwnd, [&](Window* w) {
                if (!w) return 0;
                const int top = w->rect.bottom - w->rect.top;
                if (y >= top) row = (y - top) / platform::ui::kListItemHeight;
                if (row >= static_cast<int>(w->items.size())) row = -1;
                if (row >= 0) w->highlight = row;
                return 0;
            });
            CloseList(hwnd, row >= 0);
            return 0;
        }
        case WM_KILLFOCUS:
            if (Dropped(hwnd)) CloseList(hwnd, false);
            return 0;
        case CB_SHOWDROPDOWN:
            if (wParam) OpenList(hwnd); else CloseList(hwnd, false);
            return TRUE;
        case CB_GETDROPPEDSTATE:
            return Dropped(hwnd);
        default:
            break;
    }
    constexpr LRESULT kNotMine = -2;
    const LRESULT result = WithWindow(hwnd, [&](Window* w) -> LRESULT {
        if (!w) return CB_ERR;
        const int count = static_cast<int>(w->items.size());
        const int index = static_cast<int>(wParam);
        const bool valid = index >= 0 && index < count;
        switch (message) {
            case CB_ADDSTRING:
                w->items.push_back(ComboItem{reinterpret_cast<LPCWSTR>(lParam), 0});
                return count;
            case CB_INSERTSTRING: {
                const int at = (index < 0 || index > count) ? count : index;
                w->items.insert(w->items.begin() + at, ComboItem{reinterpret_cast<LPCWSTR>(lParam), 0});
                return at;
            }
            case CB_DELETESTRING:
                if (!valid) return CB_ERR;
                w->items.erase(w->items.begin() + index);
                if (w->selection == index) w->selection = -1;
                else if (w->selection > index) --w->selection;
                return count - 1;
            case CB_RESETCONTENT:
                w->items.clear();
                w->selection = -1;
                return 0;
            case CB_GETCOUNT: return count;
            case CB_GETCURSEL: return w->selection;
            case CB_SETCURSEL:
                w->selection = valid ? index : -1;
                return valid ? index : CB_ERR;
            case CB_GETITEMDATA: return valid ? w->items[static_cast<size_t>(index)].data : CB_ERR;
            case CB_SETITEMDATA:
                if (!valid) return CB_ERR;
                w->items[static_cast<size_t>(index)].data = lParam;
                return TRUE;
            case CB_GETLBTEXTLEN:
                return valid ? static_cast<LRESULT>(w->items[static_cast<size_t>(index)].text.size()) : CB_ERR;
            case CB_GETLBTEXT: {
                if (!valid || !lParam) return CB_ERR;
                const auto& text = w->items[static_cast<size_t>(index)].text;
                auto* out = reinterpret_cast<LPWSTR>(lParam);
                std::memcpy(out, text.data(), text.size() * sizeof(WCHAR));
                out[text.size()] = 0;
                return static_cast<LRESULT>(text.size());
            }
            default: break;
        }
        return kNotMine;
    });
    return result == kNotMine ? DefWindowProc(hwnd, message, wParam, lParam) : result;
}

}  // namespace platform::ui::detail
