// Reading the screen's state for automation.
#include <platform/ui/automation.h>

#include "../windows/window_system.h"

#include <platform/text.h>

#include <algorithm>

namespace platform::ui::automation {
namespace {

using detail::WindowSystem;

WindowInfo DescribeLocked(detail::Window* w) {
    auto& system = WindowSystem::Get();
    WindowInfo info;
    info.window = w->handle;
    info.title = w->text;
    info.templateId = w->templateId;
    info.thread = w->thread;
    info.rect = w->rect;
    info.active = system.foreground == w->handle;
    info.enabled = !(w->style & WS_DISABLED);
    info.messageBox = w->messageBox;
    const bool caption = (w->style & WS_CAPTION) == WS_CAPTION;
    info.closeBox = caption && (w->style & WS_SYSMENU);
    info.helpButton = caption && (w->exStyle & WS_EX_CONTEXTHELP);
    info.onTaskbar = (w->exStyle & WS_EX_APPWINDOW) != 0;
    return info;
}

ControlInfo DescribeControlLocked(detail::Window* c) {
    ControlInfo info;
    info.window = c->handle;
    info.id = static_cast<int16_t>(c->id);
    info.className = c->className;
    info.text = c->text;
    info.style = c->style;
    info.rect = detail::ScreenRectLocked(c);
    info.visible = detail::IsVisibleLocked(c);
    info.enabled = detail::IsEnabledLocked(c);
    info.focused = WindowSystem::Get().Queue(c->thread).focus == c->handle;
    info.defaultLook = c->kind == detail::Kind::Button && (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    info.pressed = c->pressed;
    info.low = c->low;
    info.high = c->high;
    info.position = c->position;
    for (const auto& item : c->items) info.items.push_back(item.text);
    info.selection = c->selection;
    info.dropped = c->dropped;
    return info;
}

std::u16string WithoutMnemonics(std::u16string_view text) {
    std::u16string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        plain.push_back(text[i]);
    }
    return plain;
}

}  // namespace

std::vector<WindowInfo> Windows() {
    auto lock = detail::Lock();
    auto& system = WindowSystem::Get();
    std::vector<WindowInfo> windows;
    for (HWND top : system.zOrder) {
        detail::Window* w = system.Find(top);
        if (w && detail::IsVisibleLocked(w)) windows.push_back(DescribeLocked(w));
    }
    return windows;
}

std::optional<WindowInfo> Window(HWND window) {
    auto lock = detail::Lock();
    detail::Window* w = WindowSystem::Get().Find(window);
    if (!w || w->parent) return std::nullopt;
    return DescribeLocked(w);
}

std::optional<WindowInfo> FindWindowByTitle(std::u16string_view title) {
    for (auto& info : Windows()) {
        if (info.title == title) return info;
    }
    return std::nullopt;
}

std::optional<WindowInfo> FindWindowByTemplate(int templateId) {
    for (auto& info : Windows()) {
        if (info.templateId == templateId) return info;
    }
    return std::nullopt;
}

std::vector<ControlInfo> Controls(HWND dialog) {
    auto lock = detail::Lock();
    auto& system = WindowSystem::Get();
    std::vector<ControlInfo> controls;
    detail::Window* w = system.Find(dialog);
    if (!w) return controls;
    for (HWND child : w->children) {
        if (detail::Window* c = system.Find(child)) controls.push_back(DescribeControlLocked(c));
    }
    return controls;
}

std::optional<ControlInfo> Control(HWND dialog, int id) {
    for (auto& info : Controls(dialog)) {
        if (info.id == static_cast<int16_t>(id)) return info;
    }
    return std::nullopt;
}

std::optional<ControlInfo> ControlByText(HWND dialog, std::u16string_view text) {
    for (auto& info : Controls(dialog)) {
        if (info.text == text || WithoutMnemonics(info.text) == text) return info;
    }
    return std::nullopt;
}

std::vector<WindowInfo> TaskbarEntries() {
    // In the order the windows were created: a button keeps its place as windows take turns
    // at the front.
    std::vector<WindowInfo> entries;
    for (auto& info : Windows()) {
        if (info.onTaskbar) entries.push_back(info);
    }
    std::sort(entries.begin(), entries.end(), [](const WindowInfo& a, const WindowInfo& b) {
        return reinterpret_cast<uintptr_t>(a.window) < reinterpret_cast<uintptr_t>(b.window);
    });
    return entries;
}

void SetWindowShownObserver(std::function<void(const WindowInfo&)> observer) {
    auto lock = detail::Lock();
    if (!observer) {
        WindowSystem::Get().onShown = nullptr;
        return;
    }
    WindowSystem::Get().onShown = [observer = std::move(observer)](HWND window) {
        if (auto info = Window(window)) observer(*info);
    };
}

}  // namespace platform::ui::automation
