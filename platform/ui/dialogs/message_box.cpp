// Message boxes: a dialog built in memory (icon, text, buttons) and run modally on the calling
// thread. The owner is disabled while it runs.
#include "dialog_manager.h"

#include "../windows/window_system.h"

#include <algorithm>
#include <vector>

namespace platform::ui::detail {
namespace {

constexpr int kMargin = 7;           // dialog units
constexpr int kIconSize = 21;        // 32 px across, in dialog units
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 6;
constexpr int kLineHeight = 8;       // one line of the dialog font
constexpr int kCharWidth = 4;        // the average character, 6 px
constexpr int kMaxTextWidth = 360;   // keeps the box inside the screen
constexpr int kMessageTextId = 0xFFFF;
constexpr int kMessageIconId = 0x0440;

struct ButtonSpec {
    int id;
    const char16_t* text;
};

std::vector<ButtonSpec> ButtonsFor(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL: return {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
        case MB_YESNO: return {{IDYES, u"&Yes"}, {IDNO, u"&No"}};
        default: return {{IDOK, u"OK"}};
    }
}

// Lines as the box shows them: explicit line breaks, long lines wrapped at blanks.
std::vector<std::u16string> Lines(std::u16string_view text) {
    const size_t perLine = kMaxTextWidth / kCharWidth;
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view line = text.substr(start, end - start);
        while (line.size() > perLine) {
            size_t cut = line.rfind(u' ', perLine);
            if (cut == std::u16string_view::npos || cut == 0) cut = perLine;
            lines.emplace_back(line.substr(0, cut));
            line.remove_prefix(std::min(line.size(), cut + (line[cut] == u' ' ? 1 : 0)));
        }
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

DialogTemplate BuildTemplate(std::u16string_view text, std::u16string_view caption, UINT type) {
    DialogTemplate box;
    box.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT;
    box.title = caption;
    box.hasFont = true;
    box.pointSize = 8;
    box.faceName = u"MS Sans Serif";
    const bool icon = (type & MB_ICONMASK) != 0;
    const auto lines = Lines(text);
    size_t longest = 0;
    for (const auto& line : lines) longest = std::max(longest, line.size());
    const int textX = kMargin + (icon ? kIconSize + kMargin : 0);
    const int textWidth = std::max(1, static_cast<int>(longest) * kCharWidth);
    const int textHeight = static_cast<int>(lines.size()) * kLineHeight;
    const auto buttons = ButtonsFor(type);
    const int buttonsWidth = static_cast<int>(buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    const int bodyHeight = std::max(textHeight, icon ? kIconSize : 0);
    box.cx = static_cast<int16_t>(std::max(textX + textWidth + kMargin, buttonsWidth + 2 * kMargin));
    box.cy = static_cast<int16_t>(kMargin + bodyHeight + kMargin + kButtonHeight + kMargin);
    if (icon) {
        DialogItemTemplate item;
        item.style = WS_CHILD | WS_VISIBLE | SS_ICON;
        item.x = kMargin;
        item.y = kMargin;
        item.cx = kIconSize;
        item.cy = kIconSize;
        item.id = kMessageIconId;
        item.className = u"Static";
        box.items.push_back(item);
    }
    DialogItemTemplate label;
    label.style = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_NOPREFIX;
    label.x = static_cast<int16_t>(textX);
    label.y = static_cast<int16_t>(kMargin + (bodyHeight - textHeight) / 2);
    label.cx = static_cast<int16_t>(textWidth);
    label.cy = static_cast<int16_t>(textHeight);
    label.id = kMessageTextId;
    label.className = u"Static";
    label.text = ResourceId::Named(std::u16string(text.empty() ? u"" : text));
    box.items.push_back(label);
    int x = (box.cx - buttonsWidth) / 2;
    for (size_t i = 0; i < buttons.size(); ++i) {
        DialogItemTemplate button;
        button.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON | WS_GROUP : BS_PUSHBUTTON);
        button.x = static_cast<int16_t>(x);
        button.y = static_cast<int16_t>(box.cy - kMargin - kButtonHeight);
        button.cx = kButtonWidth;
        button.cy = kButtonHeight;
        button.id = static_cast<DWORD>(buttons[i].id);
        button.className = u"Button";
        button.text = ResourceId::Named(buttons[i].text);
        box.items.push_back(button);
        x += kButtonWidth + kButtonGap;
    }
    return box;
}

BOOL MessageBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    const int id = LOWORD(wParam);
    if (id == IDCANCEL && !GetDlgItem(box, IDCANCEL)) {
        // Escape or the close box: Cancel when there is one, OK when OK is the only button.
        if (GetDlgItem(box, IDOK) && !GetDlgItem(box, IDYES)) EndDialog(box, IDOK);
        return TRUE;
    }
    if (GetDlgItem(box, id)) EndDialog(box, id);
    return TRUE;
}

}  // namespace
}  // namespace platform::ui::detail

int MessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    using namespace platform::ui::detail;
    const platform::ui::DialogTemplate box = BuildTemplate(text ? text : u"", caption ? caption : u"Error", type);
    ModalRequest request;
    request.dialog = &box;
    request.owner = owner;
    request.proc = MessageBoxProc;
    request.messageBox = true;
    request.messageBoxType = type;
    const INT_PTR result = RunModal(request);
    return result < 0 ? 0 : static_cast<int>(result);
}
