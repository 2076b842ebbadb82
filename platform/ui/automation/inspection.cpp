// Reading the screen's dialogs and waiting for the programs to settle.
#include <platform/ui/automation.h>

#include <algorithm>
#include <chrono>

#include "../windows/window_system.h"

namespace platform::ui::automation {
namespace {

using namespace platform::ui::detail;

ControlInfo DescribeControlLocked(Window& control, HWND focus) {
    ControlInfo info;
    info.window = control.handle;
    info.id = control.id;
    info.className = control.className;
    info.text = control.text;
    info.style = control.style;
    info.rect = control.rect;
    info.visible = (control.style & WS_VISIBLE) != 0;
    info.enabled = (control.style & WS_DISABLED) == 0;
    info.focused = control.handle == focus;
    info.position = std::clamp(control.position, std::min(control.low, control.high),
                               std::max(control.low, control.high));
    info.icon = control.icon;
    return info;
}

DialogInfo DescribeDialogLocked(Window& dialog) {
    auto& system = WindowSystem::Get();
    DialogInfo info;
    info.window = dialog.handle;
    info.thread = dialog.thread;
    info.templateId = dialog.templateId;
    info.messageBox = dialog.messageBox;
    info.title = dialog.text;
    info.style = dialog.style;
    info.exStyle = dialog.exStyle;
    info.rect = ScreenRectLocked(&dialog);
    info.client = ClientRectOnScreenLocked(&dialog);
    info.bigIcon = dialog.bigIcon;
    info.smallIcon = dialog.smallIcon;
    info.foreground = system.foreground == dialog.handle;
    ThreadQueue* queue = system.ExistingQueue(dialog.thread);
    const HWND focus = queue ? queue->focus : nullptr;
    for (HWND child : dialog.children) {
        if (Window* control = system.Find(child)) info.controls.push_back(DescribeControlLocked(*control, focus));
    }
    return info;
}

bool ThreadSettledLocked(ThreadQueue& queue) {
    // A thread between two dialogs runs no loop; a window it has shown still has to paint.
    if (queue.loops > 0 && (!queue.waiting || HasWorkLocked(queue))) return false;
    auto& system = WindowSystem::Get();
    for (HWND top : system.zOrder) {
        Window* w = system.Find(top);
        if (w && w->thread == queue.thread && w->needsPaint && IsVisibleLocked(w)) return false;
    }
    return true;
}

bool SettledLocked() {
    for (ThreadQueue* queue : WindowSystem::Get().Queues()) {
        if (!ThreadSettledLocked(*queue)) return false;
    }
    return true;
}

std::vector<DialogInfo> DialogsLocked() {
    auto& system = WindowSystem::Get();
    std::vector<DialogInfo> dialogs;
    for (HWND top : system.zOrder) {
        Window* w = system.Find(top);
        if (w && w->kind == Kind::Dialog && IsVisibleLocked(w)) dialogs.push_back(DescribeDialogLocked(*w));
    }
    return dialogs;
}

}  // namespace

const ControlInfo* DialogInfo::Control(int id) const {
    for (const ControlInfo& control : controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

std::u16string DialogInfo::MessageText() const {
    for (const ControlInfo& control : controls) {
        const bool isStatic = control.className == u"Static" || control.className == u"STATIC";
        if (isStatic && (control.style & 0x0F) != SS_ICON && !control.text.empty()) return control.text;
    }
    return {};
}

std::vector<DialogInfo> Dialogs() {
    auto lock = Lock();
    return DialogsLocked();
}

RECT WorkArea() { return RECT{0, 0, kScreenWidth, kWorkAreaHeight}; }

bool Settled() {
    auto lock = Lock();
    return SettledLocked();
}

std::optional<DialogInfo> WaitForDialog(const std::function<bool(const DialogInfo&)>& want,
                                        int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto lock = Lock();
    auto& system = WindowSystem::Get();
    for (;;) {
        if (SettledLocked()) {
            auto dialogs = DialogsLocked();
            if (!dialogs.empty() && want(dialogs.front())) return dialogs.front();
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        system.changed.wait_for(lock, std::chrono::milliseconds(2));
    }
}

std::optional<DialogInfo> WaitForDialog(int templateId, int timeoutMs) {
    return WaitForDialog([templateId](const DialogInfo& d) { return d.templateId == templateId; },
                         timeoutMs);
}

std::optional<DialogInfo> WaitForMessageBox(int timeoutMs) {
    return WaitForDialog([](const DialogInfo& d) { return d.messageBox; }, timeoutMs);
}

bool WaitSettled(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto lock = Lock();
    while (!SettledLocked()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        WindowSystem::Get().changed.wait_for(lock, std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace platform::ui::automation
