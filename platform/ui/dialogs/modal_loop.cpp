// The modal loop: each thread runs its own on its own queue. A dialog without an owner disables
// nothing, so two threads can each hold a modal dialog and both stay usable.
#include "dialog_manager.h"

#include "../windows/window_system.h"

namespace platform::ui::detail {
namespace {

bool Ended(HWND dialog, INT_PTR& result) {
    auto lock = Lock();
    Window* w = WindowSystem::Get().Find(dialog);
    if (!w) return true;
    result = w->result;
    return w->ended;
}

void EnterLoop(int delta) {
    auto lock = Lock();
    WindowSystem::Get().Queue(GetCurrentThreadId()).loops += delta;
    NotifyLocked();
}

}  // namespace

INT_PTR RunModal(const ModalRequest& request) {
    // An owner is disabled while its modal dialog runs, as the dialog manager does.
    HWND owner = request.owner ? GetAncestorTopLevel(request.owner) : nullptr;
    const bool disableOwner = owner && IsWindowEnabled(owner);
    // Creation and initialisation count as the loop's work, so automation waits for them.
    EnterLoop(1);
    HWND dialog = CreateFromTemplate(request);
    if (!dialog) {
        EnterLoop(-1);
        return -1;
    }
    INT_PTR result = 0;
    if (!Ended(dialog, result)) {
        if (disableOwner) EnableWindow(owner, FALSE);
        ShowWindow(dialog, SW_SHOW);
        MSG message;
        while (!Ended(dialog, result)) {
            if (!GetMessage(&message, nullptr, 0, 0)) {
                PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            if (request.preTranslate && request.preTranslate(message)) continue;
            if (!IsDialogMessage(dialog, &message)) {
                TranslateMessage(&message);
                DispatchMessage(&message);
            }
        }
        if (disableOwner) EnableWindow(owner, TRUE);
    }
    Ended(dialog, result);
    DestroyWindow(dialog);
    EnterLoop(-1);
    if (owner && IsWindow(owner)) SetActiveWindow(owner);
    return result;
}

HWND GetAncestorTopLevel(HWND window) {
    auto lock = Lock();
    return TopLevelOfLocked(window);
}

}  // namespace platform::ui::detail

using namespace platform::ui::detail;

INT_PTR DialogBoxParam(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc,
                       LPARAM initParam) {
    ModalRequest request;
    auto dialog = LoadDialogTemplate(instance, templateName, request.templateId);
    if (!dialog) return -1;
    request.dialog = &*dialog;
    request.instance = instance;
    request.owner = parent;
    request.proc = proc;
    request.parameter = initParam;
    return RunModal(request);
}

HWND CreateDialogParam(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc,
                       LPARAM initParam) {
    ModalRequest request;
    auto dialog = LoadDialogTemplate(instance, templateName, request.templateId);
    if (!dialog) return nullptr;
    request.dialog = &*dialog;
    request.instance = instance;
    request.owner = parent;
    request.proc = proc;
    request.parameter = initParam;
    HWND window = CreateFromTemplate(request);
    if (window && (dialog->style & WS_VISIBLE)) ShowWindow(window, SW_SHOW);
    return window;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    Window* w = system.Find(dialog);
    if (!w || w->kind != Kind::Dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->ended = true;
    w->result = result;
    // Wakes the loop if the call came from outside its own message handling.
    ThreadQueue& queue = system.Queue(w->thread);
    if (w->thread != GetCurrentThreadId()) {
        QueuedMessage wake;
        wake.message = MSG{dialog, WM_NULL, 0, 0, 0, {}};
        queue.posted.push_back(wake);
    }
    queue.wake.notify_all();
    NotifyLocked();
    return TRUE;
}
