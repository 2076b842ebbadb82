// The whole screen from a description of what is on it: the desktop, top-level windows back to
// front (frame and caption, the client pixels their programs painted, their controls), an open
// drop-down list, and the taskbar. The window system fills a ScreenScene from its windows (under
// its own lock) and a presenter shows the surface this draws.
#pragma once

#include <platform/ui/paint.h>
#include <platform/ui/surface.h>

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform::ui {

struct ButtonScene {
    std::u16string text;
    bool pressed = false;
    bool focused = false;
    bool defaultLook = false;
    bool enabled = true;
};

struct StaticScene {
    std::u16string text;
    DWORD style = 0;  // SS_ bits
    bool enabled = true;
};

struct ComboScene {
    std::u16string text;  // the current selection's
    bool focused = false;
    bool dropped = false;
    bool enabled = true;
};

// A static control showing an icon (drawn at its own size at the control's top-left).
struct IconScene {
    HICON icon = nullptr;
};

using ControlContent = std::variant<ButtonScene, StaticScene, ProgressLook, ComboScene, IconScene, MessageIcon>;

struct ControlScene {
    RECT rect{};  // client coordinates of its window
    ControlContent content;
};

struct ListScene {
    RECT rect{};  // screen coordinates; not cut to its window
    std::vector<std::u16string> items;
    int selected = -1;
    int topIndex = 0;
};

struct WindowScene {
    RECT window{};  // screen coordinates, frame and caption included
    std::u16string title;
    HICON smallIcon = nullptr;
    FrameActivity activity = FrameActivity::Active;
    bool closeBox = false;
    bool helpButton = false;
    bool closePressed = false;
    // What the program painted into its client area (its size is the client's); nullptr or a
    // smaller surface leaves the rest as dialog background.
    const Surface* client = nullptr;
    std::vector<ControlScene> controls;  // painted in this order, later ones on top
    std::optional<ListScene> droppedList;
};

struct TaskbarButtonScene {
    std::u16string title;
    HICON smallIcon = nullptr;
    bool active = false;
};

struct ScreenScene {
    std::vector<WindowScene> windows;  // back to front
    std::vector<TaskbarButtonScene> taskbar;
};

// Draws the scene over all of `screen` (kScreenWidth x kScreenHeight; a surface of another size
// is resized).
void ComposeScreen(const ScreenScene& scene, Surface& screen);

}  // namespace platform::ui
