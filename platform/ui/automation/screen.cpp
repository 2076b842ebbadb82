// The screen as the presenters show it: a scene taken from the window system under its lock,
// composed with the painters, and written as a PNG.
#include <platform/ui/automation.h>
#include <platform/ui/compose.h>
#include <platform/ui/png.h>

#include "../windows/window_system.h"

namespace platform::ui::automation {
namespace {

using namespace platform::ui::detail;

constexpr int kMessageIconId = 0x0440;

MessageIcon IconOfMessageBox(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONHAND: return MessageIcon::Error;
        case MB_ICONQUESTION: return MessageIcon::Question;
        case MB_ICONASTERISK: return MessageIcon::Information;
        default: return MessageIcon::Exclamation;
    }
}

bool AnyPushButtonFocused(const Window& dialog, HWND focus) {
    for (HWND child : dialog.children) {
        const Window* control = WindowSystem::Get().Find(child);
        if (control && child == focus && control->kind == Kind::Button) return true;
    }
    return false;
}

ControlContent ContentOfLocked(const Window& dialog, const Window& control, HWND focus) {
    const bool enabled = (control.style & WS_DISABLED) == 0;
    switch (control.kind) {
        case Kind::Button: {
            const bool focused = control.handle == focus;
            const bool byDefault = !AnyPushButtonFocused(dialog, focus) && control.id == dialog.defaultId;
            return ButtonScene{control.text, control.pressed, focused, focused || byDefault, enabled};
        }
        case Kind::ProgressBar:
            return ProgressLook{control.low, control.high, control.position, (control.style & WS_BORDER) != 0};
        case Kind::ComboBox: {
            std::u16string text;
            if (control.selection >= 0 && control.selection < static_cast<int>(control.items.size())) {
                text = control.items[static_cast<size_t>(control.selection)].text;
            }
            return ComboScene{text, control.handle == focus, control.dropped, enabled};
        }
        default:
            if (dialog.messageBox && control.id == kMessageIconId) return IconOfMessageBox(dialog.messageBoxType);
            if ((control.style & 0x0F) == SS_ICON) return IconScene{control.icon};
            return StaticScene{control.text, control.style & 0xFF, enabled};
    }
}

WindowScene WindowSceneLocked(Window& w, HWND focus) {
    auto& system = WindowSystem::Get();
    WindowScene scene;
    scene.window = ScreenRectLocked(&w);
    scene.title = w.text;
    scene.smallIcon = w.smallIcon ? w.smallIcon : w.bigIcon;
    scene.activity = system.foreground == w.handle ? FrameActivity::Active : FrameActivity::Inactive;
    scene.closeBox = (w.style & WS_SYSMENU) != 0;
    scene.helpButton = (w.exStyle & WS_EX_CONTEXTHELP) != 0;
    scene.client = w.client.get();
    for (HWND child : w.children) {
        Window* control = system.Find(child);
        if (!control || !(control->style & WS_VISIBLE)) continue;
        scene.controls.push_back(ControlScene{control->rect, ContentOfLocked(w, *control, focus)});
    }
    return scene;
}

ScreenScene SceneLocked() {
    auto& system = WindowSystem::Get();
    ScreenScene scene;
    for (auto it = system.zOrder.rbegin(); it != system.zOrder.rend(); ++it) {
        Window* w = system.Find(*it);
        if (!w || !IsVisibleLocked(w)) continue;
        ThreadQueue* queue = system.ExistingQueue(w->thread);
        scene.windows.push_back(WindowSceneLocked(*w, queue ? queue->focus : nullptr));
        // Unowned windows and application windows have a taskbar button.
        if (!w->owner || (w->exStyle & WS_EX_APPWINDOW)) {
            scene.taskbar.push_back(TaskbarButtonScene{w->text, w->smallIcon ? w->smallIcon : w->bigIcon,
                                                       system.foreground == w->handle});
        }
    }
    return scene;
}

}  // namespace

Surface ComposeCurrentScreen() {
    Surface screen(kScreenWidth, kScreenHeight);
    // The client surfaces are read while no program paints into them.
    std::lock_guard surfaces(WindowSystem::Get().surfaces);
    ScreenScene scene;
    {
        auto lock = Lock();
        scene = SceneLocked();
    }
    ComposeScreen(scene, screen);
    return screen;
}

std::string Snapshot(const std::filesystem::path& file) {
    return WritePng(ComposeCurrentScreen(), file);
}

}  // namespace platform::ui::automation
