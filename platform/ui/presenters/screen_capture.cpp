// The screen as the window system holds it, drawn by the compositor: each top-level window
// with its frame, the pixels its program painted and its controls; an open list; the taskbar.
#include <platform/ui/automation.h>
#include <platform/ui/compose.h>
#include <platform/ui/png.h>

#include "../windows/window_system.h"

namespace platform::ui::automation {
namespace {

using detail::Kind;
using WindowRecord = detail::Window;
using detail::WindowSystem;

MessageIcon IconFor(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONHAND: return MessageIcon::Error;
        case MB_ICONQUESTION: return MessageIcon::Question;
        case MB_ICONASTERISK: return MessageIcon::Information;
        default: return MessageIcon::Exclamation;
    }
}

RECT ClientRelative(WindowRecord* c) { return c->rect; }

ControlScene SceneOf(WindowRecord* dialog, WindowRecord* c, bool focused) {
    ControlScene scene;
    scene.rect = ClientRelative(c);
    const bool enabled = detail::IsEnabledLocked(c);
    switch (c->kind) {
        case Kind::Button:
            scene.content = ButtonScene{c->text, c->pressed, focused,
                                        (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON, enabled};
            break;
        case Kind::Static:
            if ((c->style & 0x1F) == SS_ICON) {
                if (dialog->messageBox) {
                    scene.content = IconFor(dialog->messageBoxType);
                } else {
                    scene.content = IconScene{c->icon};
                }
            } else {
                scene.content = StaticScene{c->text, c->style & 0xFF, enabled};
            }
            break;
        case Kind::ProgressBar:
            scene.content = ProgressLook{.low = c->low, .high = c->high, .position = c->position,
                                         .border = (c->style & WS_BORDER) != 0};
            break;
        case Kind::ComboBox: {
            std::u16string text;
            if (c->selection >= 0 && c->selection < static_cast<int>(c->items.size())) {
                text = c->items[static_cast<size_t>(c->selection)].text;
            }
            scene.content = ComboScene{text, focused, c->dropped, enabled};
            break;
        }
        default:
            scene.content = StaticScene{c->text, 0, enabled};
            break;
    }
    return scene;
}

WindowScene SceneOf(WindowRecord* w, std::vector<std::shared_ptr<Surface>>& keep) {
    auto& system = WindowSystem::Get();
    WindowScene scene;
    scene.window = w->rect;
    scene.title = w->text;
    scene.smallIcon = w->smallIcon ? w->smallIcon : w->bigIcon;
    scene.activity = system.foreground == w->handle ? FrameActivity::Active : FrameActivity::Inactive;
    const bool caption = (w->style & WS_CAPTION) == WS_CAPTION;
    scene.closeBox = caption && (w->style & WS_SYSMENU);
    scene.helpButton = caption && (w->exStyle & WS_EX_CONTEXTHELP);
    if (w->client) {
        keep.push_back(std::make_shared<Surface>(*w->client));
        scene.client = keep.back().get();
    }
    const HWND focus = system.Queue(w->thread).focus;
    for (HWND child : w->children) {
        WindowRecord* c = system.Find(child);
        if (!c || !(c->style & WS_VISIBLE)) continue;
        scene.controls.push_back(SceneOf(w, c, focus == child));
        if (c->kind == Kind::ComboBox && c->dropped) {
            const RECT at = detail::ScreenRectLocked(c);
            ListScene list;
            list.rect = RECT{at.left, at.bottom, at.right, at.top + std::max<LONG>(c->droppedHeight, at.bottom - at.top)};
            for (const auto& item : c->items) list.items.push_back(item.text);
            list.selected = c->highlight;
            scene.droppedList = list;
        }
    }
    return scene;
}

}  // namespace

Surface CaptureScreen() {
    ScreenScene scene;
    std::vector<std::shared_ptr<Surface>> keep;
    {
        std::lock_guard surfaces(WindowSystem::Get().surfaces);
        auto lock = detail::Lock();
        auto& system = WindowSystem::Get();
        for (auto it = system.zOrder.rbegin(); it != system.zOrder.rend(); ++it) {
            WindowRecord* w = system.Find(*it);
            if (w && detail::IsVisibleLocked(w)) scene.windows.push_back(SceneOf(w, keep));
        }
    }
    for (const auto& entry : TaskbarEntries()) {
        auto lock = detail::Lock();
        WindowRecord* w = WindowSystem::Get().Find(entry.window);
        if (!w) continue;
        scene.taskbar.push_back({entry.title, w->smallIcon ? w->smallIcon : w->bigIcon, entry.active});
    }
    Surface screen(kScreenWidth, kScreenHeight);
    ComposeScreen(scene, screen);
    return screen;
}

std::string Snapshot(const std::filesystem::path& file) { return WritePng(CaptureScreen(), file); }

}  // namespace platform::ui::automation
