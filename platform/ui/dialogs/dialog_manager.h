// The dialog manager's internals shared by the CE dialog functions, message boxes and the UI
// framework: creating a dialog from a parsed template and running it modally on the calling
// thread's own queue.
#pragma once

#include <platform/ui/paint.h>
#include <platform/ui/resources.h>
#include <windows.h>
#include <winuser.h>

#include <functional>
#include <optional>

namespace platform::ui::detail {

// Offered every message the modal loop takes, before the dialog keys; true consumes it (the
// framework's accelerator pre-translation).
using PreTranslate = std::function<bool(MSG&)>;

struct ModalRequest {
    const DialogTemplate* dialog = nullptr;
    int templateId = 0;
    HINSTANCE instance = nullptr;
    HWND owner = nullptr;
    DLGPROC proc = nullptr;
    LPARAM parameter = 0;
    PreTranslate preTranslate;
    bool messageBox = false;
    UINT messageBoxType = 0;
};

// The dialog's result, or -1 when the dialog or one of its controls cannot be created.
INT_PTR RunModal(const ModalRequest& request);
HWND CreateFromTemplate(const ModalRequest& request);

// Resolves a template by resource name; the ordinal is reported for automation.
std::optional<DialogTemplate> LoadDialogTemplate(HINSTANCE instance, LPCWSTR name, int& templateId);

// Dialog units to pixels at the fixed base units: MulDiv(du, 6, 4) and MulDiv(du, 13, 8).
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);

// Centres a top-level window over its visible owner, else in the work area, and keeps it
// inside the work area.
void CentreWindow(HWND window);

}  // namespace platform::ui::detail

namespace platform::ui::detail {
HWND GetAncestorTopLevel(HWND window);
}

namespace platform::ui {
// Dialog base units, fixed at those of 8-point MS Sans Serif at 96 dpi.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;
}  // namespace platform::ui
