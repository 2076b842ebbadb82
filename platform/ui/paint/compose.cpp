// Composing the screen: desktop, windows back to front, open list, taskbar.
#include <platform/ui/compose.h>

#include <algorithm>

namespace platform::ui {
namespace {

struct ControlPainter {
    HDC dc;
    const RECT& rect;

    void operator()(const ButtonScene& b) const {
        PaintPushButton(dc, rect, {.text = b.text, .pressed = b.pressed, .focused = b.focused,
                                   .defaultLook = b.defaultLook, .enabled = b.enabled});
    }
    void operator()(const StaticScene& s) const {
        PaintStaticText(dc, rect, {.text = s.text, .style = s.style, .enabled = s.enabled});
    }
    void operator()(const ProgressLook& p) const { PaintProgressBar(dc, rect, p); }
    void operator()(const ComboScene& c) const {
        PaintComboBox(dc, rect, {.text = c.text, .focused = c.focused, .dropped = c.dropped, .enabled = c.enabled});
    }
    void operator()(const IconScene& i) const {
        if (i.icon) DrawIcon(dc, rect.left, rect.top, i.icon);
    }
    void operator()(MessageIcon icon) const { PaintMessageIcon(dc, POINT{rect.left, rect.top}, icon); }
};

// The program's client pixels, copied row by row and cut to the client rectangle.
void CopyClient(const Surface& client, const RECT& area, Surface& screen) {
    const RECT target = [&] {
        RECT r{area.left, area.top, std::min<LONG>(area.right, area.left + client.width),
               std::min<LONG>(area.bottom, area.top + client.height)};
        RECT bounds{0, 0, screen.width, screen.height};
        RECT cut{};
        IntersectRect(&cut, &r, &bounds);
        return cut;
    }();
    for (int y = target.top; y < target.bottom; ++y) {
        const uint32_t* from = &client.pixels[static_cast<size_t>(y - area.top) * client.width + (target.left - area.left)];
        std::copy(from, from + (target.right - target.left), &screen.At(target.left, y));
    }
}

void ComposeWindow(const WindowScene& w, Surface& screen) {
    HDC dc = CreateSurfaceDC(screen, POINT{0, 0}, w.window);
    PaintWindowFrame(dc, w.window, {.title = w.title, .smallIcon = w.smallIcon, .activity = w.activity,
                                    .closeBox = w.closeBox, .helpButton = w.helpButton,
                                    .closePressed = w.closePressed});
    const RECT client = FrameClientRect(w.window);
    PaintDialogBackground(dc, client);
    ReleaseSurfaceDC(dc);
    if (w.client) CopyClient(*w.client, client, screen);

    HDC clientDc = CreateSurfaceDC(screen, POINT{client.left, client.top}, client);
    for (const ControlScene& control : w.controls) std::visit(ControlPainter{clientDc, control.rect}, control.content);
    ReleaseSurfaceDC(clientDc);

    if (w.droppedList) {
        HDC listDc = CreateSurfaceDC(screen, POINT{0, 0}, w.droppedList->rect);
        std::vector<std::u16string_view> items(w.droppedList->items.begin(), w.droppedList->items.end());
        PaintDroppedList(listDc, w.droppedList->rect,
                         {.items = items, .selected = w.droppedList->selected, .topIndex = w.droppedList->topIndex});
        ReleaseSurfaceDC(listDc);
    }
}

}  // namespace

void ComposeScreen(const ScreenScene& scene, Surface& screen) {
    if (screen.width != kScreenWidth || screen.height != kScreenHeight) screen = Surface(kScreenWidth, kScreenHeight);
    HDC dc = CreateSurfaceDC(screen, POINT{0, 0}, RECT{0, 0, kScreenWidth, kScreenHeight});
    const RECT desktop{0, 0, kScreenWidth, kScreenHeight - kTaskbarHeight};
    FillRect(dc, &desktop, GetSysColorBrush(COLOR_BACKGROUND));
    ReleaseSurfaceDC(dc);

    for (const WindowScene& window : scene.windows) ComposeWindow(window, screen);

    dc = CreateSurfaceDC(screen, POINT{0, 0}, RECT{0, 0, kScreenWidth, kScreenHeight});
    std::vector<TaskbarEntry> entries;
    for (const auto& button : scene.taskbar) entries.push_back({button.title, button.smallIcon, button.active});
    PaintTaskbar(dc, RECT{0, kScreenHeight - kTaskbarHeight, kScreenWidth, kScreenHeight}, entries);
    ReleaseSurfaceDC(dc);
}

}  // namespace platform::ui
