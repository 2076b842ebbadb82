// Dialog creation from a template: the window is created hidden, the controls in template order
// (their z-order and tab order), the default button found, initialisation run, the focus set.
#include "dialog_manager.h"

#include "../windows/window_system.h"

#include <platform/text.h>

namespace platform::ui::detail {
namespace {

RECT WindowRectFor(const DialogTemplate& dialog) {
    int width = DialogUnitsToPixelsX(dialog.cx) + 2 * kDialogFrameWidth;
    int height = DialogUnitsToPixelsY(dialog.cy) + 2 * kDialogFrameWidth;
    if ((dialog.style & WS_CAPTION) == WS_CAPTION) height += kCaptionHeight;
    const int x = DialogUnitsToPixelsX(dialog.x);
    const int y = DialogUnitsToPixelsY(dialog.y);
    return RECT{x, y, x + width, y + height};
}

bool CreateControls(HWND dialog, const DialogTemplate& tmpl, int& defaultId) {
    for (const auto& item : tmpl.items) {
        const int x = DialogUnitsToPixelsX(item.x);
        const int y = DialogUnitsToPixelsY(item.y);
        const std::u16string text = item.text.IsOrdinal() ? u"" : item.text.name;
        HWND control = CreateWindowEx(item.exStyle, item.className.c_str(), text.c_str(),
                                      item.style | WS_CHILD, x, y, DialogUnitsToPixelsX(item.cx),
                                      DialogUnitsToPixelsY(item.cy), dialog,
                                      reinterpret_cast<HMENU>(static_cast<intptr_t>(static_cast<int16_t>(item.id))),
                                      nullptr, nullptr);
        if (!control) return false;
        const bool button = EqualsIgnoreCase(item.className, u"Button");
        if (button && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            defaultId = static_cast<int16_t>(item.id);
        }
    }
    return true;
}

}  // namespace

int DialogUnitsToPixelsX(int units) { return MulDiv(units, kBaseUnitX, 4); }
int DialogUnitsToPixelsY(int units) { return MulDiv(units, kBaseUnitY, 8); }

void CentreWindow(HWND window) {
    RECT rect, area{0, 0, kScreenWidth, kWorkAreaHeight};
    GetWindowRect(window, &rect);
    RECT around = area;
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &around);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    x = std::max(area.left, std::min(x, area.right - width));
    y = std::max(area.top, std::min(y, area.bottom - height));
    MoveWindow(window, x, y, width, height, TRUE);
}

HWND CreateFromTemplate(const ModalRequest& request) {
    const DialogTemplate& tmpl = *request.dialog;
    const RECT rect = WindowRectFor(tmpl);
    // Created hidden; shown once initialisation is done.
    const DWORD style = (tmpl.style & ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD));
    HWND dialog = CreateWindowEx(tmpl.exStyle, u"#32770", tmpl.title.c_str(), style,
                                 rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                 request.owner, nullptr, request.instance, nullptr);
    if (!dialog) return nullptr;
    int defaultId = IDOK;
    if (!CreateControls(dialog, tmpl, defaultId)) {
        DestroyWindow(dialog);
        return nullptr;
    }
    {
        auto lock = Lock();
        Window* w = WindowSystem::Get().Find(dialog);
        w->templateId = request.templateId;
        w->defaultId = defaultId;
        w->dialogProc = request.proc;
        w->messageBox = request.messageBox;
        w->messageBoxType = request.messageBoxType;
    }
    if (tmpl.style & DS_CENTER) CentreWindow(dialog);
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    const LRESULT setFocus = SendMessage(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first),
                                         request.parameter);
    // The focus goes to the first tab stop without making it the default button.
    if (setFocus && IsWindow(dialog)) {
        HWND target = GetNextDlgTabItem(dialog, nullptr, FALSE);
        if (target) SetFocus(target);
    }
    return dialog;
}

std::optional<DialogTemplate> LoadDialogTemplate(HINSTANCE instance, LPCWSTR name, int& templateId) {
    templateId = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : 0;
    HRSRC resource = FindResource(instance, name, RT_DIALOG);
    if (!resource) return std::nullopt;
    auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(instance, resource)));
    auto parsed = ParseDialogTemplate({bytes, SizeofResource(instance, resource)});
    if (!parsed) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return std::nullopt;
    }
    return std::move(*parsed.value);
}

}  // namespace platform::ui::detail
