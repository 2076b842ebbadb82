// The dialog keyboard interface: Tab and Shift+Tab among tab stops, arrows within a group,
// Escape for Cancel, Enter for the default button, mnemonics (Alt+letter, or the plain letter
// while a button has the focus).
#include "dialog_manager.h"

#include "../windows/window_system.h"

#include <vector>

namespace platform::ui::detail {
namespace {

struct ChildFacts {
    HWND handle;
    DWORD style;
    bool usable;  // visible and enabled
};

std::vector<ChildFacts> Children(HWND dialog) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    std::vector<ChildFacts> facts;
    Window* w = system.Find(dialog);
    if (!w) return facts;
    for (HWND child : w->children) {
        Window* c = system.Find(child);
        if (c) facts.push_back({child, c->style, (c->style & WS_VISIBLE) && IsEnabledLocked(c)});
    }
    return facts;
}

int IndexOf(const std::vector<ChildFacts>& children, HWND control) {
    for (size_t i = 0; i < children.size(); ++i) {
        if (children[i].handle == control) return static_cast<int>(i);
    }
    return -1;
}

UINT DialogCode(HWND control, const MSG* message = nullptr) {
    return static_cast<UINT>(SendMessage(control, WM_GETDLGCODE,
                                         message ? message->wParam : 0,
                                         reinterpret_cast<LPARAM>(message)));
}

bool IsChildOf(HWND dialog, HWND window) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    for (Window* w = system.Find(window); w; w = system.Find(w->parent)) {
        if (w->parent == dialog) return true;
    }
    return false;
}

// The letter after a single '&' in a control's text ("&&" is a literal ampersand).
WCHAR MnemonicOf(const std::u16string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return towupper(text[i + 1]);
    }
    return 0;
}

std::u16string TextOf(HWND control) {
    auto lock = Lock();
    Window* w = WindowSystem::Get().Find(control);
    return w ? w->text : std::u16string();
}

bool HandleMnemonic(HWND dialog, WCHAR character) {
    const WCHAR wanted = towupper(character);
    auto children = Children(dialog);
    if (children.empty() || wanted == 0) return false;
    const int focus = std::max(IndexOf(children, GetFocus()), 0);
    const int count = static_cast<int>(children.size());
    for (int step = 0; step < count; ++step) {
        const auto& child = children[static_cast<size_t>((focus + step) % count)];
        if (!child.usable) continue;
        const UINT code = DialogCode(child.handle);
        if (!(code & (DLGC_BUTTON | DLGC_STATIC))) continue;
        if ((code & DLGC_STATIC) && (child.style & SS_NOPREFIX)) continue;
        if (MnemonicOf(TextOf(child.handle)) != wanted) continue;
        if (code & DLGC_STATIC) {
            // A label's mnemonic moves the focus to the control after it.
            HWND next = GetNextDlgTabItem(dialog, child.handle, FALSE);
            if (next) SendMessage(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
        } else {
            SendMessage(child.handle, BM_CLICK, 0, 0);
        }
        return true;
    }
    return false;
}

void PressEnter(HWND dialog) {
    HWND focus = GetFocus();
    if (focus && IsChildOf(dialog, focus) && (DialogCode(focus) & DLGC_DEFPUSHBUTTON)) {
        SendMessage(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                    reinterpret_cast<LPARAM>(focus));
        return;
    }
    const auto defId = static_cast<DWORD>(SendMessage(dialog, DM_GETDEFID, 0, 0));
    if (HIWORD(defId) == DC_HASDEFID) {
        const int id = static_cast<int16_t>(LOWORD(defId));
        HWND button = GetDlgItem(dialog, id);
        if (!button || IsWindowEnabled(button)) {
            SendMessage(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        }
        return;
    }
    SendMessage(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

bool HandleKeyDown(HWND dialog, MSG* message) {
    HWND focus = GetFocus();
    const UINT code = focus ? DialogCode(focus, message) : 0;
    if (code & DLGC_WANTMESSAGE) return false;
    const bool shift = GetKeyState(VK_SHIFT) & 0x8000;
    switch (message->wParam) {
        case VK_TAB:
            if (code & DLGC_WANTTAB) return false;
            SendMessage(dialog, WM_NEXTDLGCTL, shift, 0);
            return true;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            if (code & DLGC_WANTARROWS) return false;
            const bool previous = message->wParam == VK_LEFT || message->wParam == VK_UP;
            HWND next = GetNextDlgGroupItem(dialog, focus, previous);
            if (next) SendMessage(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
            return true;
        }
        case VK_ESCAPE:
            SendMessage(dialog, WM_COMMAND, IDCANCEL,
                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
            return true;
        case VK_RETURN:
            PressEnter(dialog);
            return true;
        default:
            return false;
    }
}

}  // namespace
}  // namespace platform::ui::detail

using namespace platform::ui::detail;

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    auto children = Children(dialog);
    const int count = static_cast<int>(children.size());
    if (count == 0) return nullptr;
    int at = IndexOf(children, control);
    if (at < 0) at = previous ? 0 : count - 1;
    for (int step = 1; step <= count; ++step) {
        const int index = ((previous ? at - step : at + step) % count + count) % count;
        const auto& child = children[static_cast<size_t>(index)];
        if (child.usable && (child.style & WS_TABSTOP)) return child.handle;
    }
    return control;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    auto children = Children(dialog);
    const int count = static_cast<int>(children.size());
    const int at = IndexOf(children, control);
    if (at < 0) return nullptr;
    // Groups run from one WS_GROUP control to the next; controls before the first WS_GROUP
    // belong to the last group, so every group is a circle.
    std::vector<int> starts;
    for (int i = 0; i < count; ++i) {
        if (children[static_cast<size_t>(i)].style & WS_GROUP) starts.push_back(i);
    }
    std::vector<int> group;
    if (starts.empty()) {
        for (int i = 0; i < count; ++i) group.push_back(i);
    } else {
        int start = starts.back();
        for (int s : starts) {
            if (s <= at) start = s;
        }
        auto next = std::upper_bound(starts.begin(), starts.end(), start);
        const int end = next == starts.end() ? count + starts.front() : *next;
        for (int i = start; i < end; ++i) group.push_back(i % count);
    }
    const int n = static_cast<int>(group.size());
    const int pos = static_cast<int>(std::find(group.begin(), group.end(), at) - group.begin());
    for (int step = 1; step < n; ++step) {
        const int index = group[static_cast<size_t>(((previous ? pos - step : pos + step) % n + n) % n)];
        const auto& child = children[static_cast<size_t>(index)];
        if (!child.usable) continue;
        if (DialogCode(child.handle) & DLGC_STATIC) continue;
        return child.handle;
    }
    return control;
}

BOOL IsDialogMessage(HWND dialog, LPMSG message) {
    if (!message || !dialog) return FALSE;
    if (message->hwnd != dialog && !IsChildOf(dialog, message->hwnd)) return FALSE;
    switch (message->message) {
        case WM_KEYDOWN:
            if (HandleKeyDown(dialog, message)) return TRUE;
            break;
        case WM_CHAR: {
            HWND focus = GetFocus();
            const UINT code = focus ? DialogCode(focus, message) : 0;
            if (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE)) break;
            if (HandleMnemonic(dialog, static_cast<WCHAR>(message->wParam))) return TRUE;
            break;
        }
        case WM_SYSCHAR:
            if (HandleMnemonic(dialog, static_cast<WCHAR>(message->wParam))) return TRUE;
            break;
        default:
            break;
    }
    TranslateMessage(message);
    DispatchMessage(message);
    return TRUE;
}
