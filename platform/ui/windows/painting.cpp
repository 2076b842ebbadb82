// Paint requests: BeginPaint hands out a context on the window's client surface, already
// erased with the dialog background; the presenters compose these surfaces onto the screen.
#include "window_system.h"

using namespace platform::ui;
using namespace platform::ui::detail;

namespace {

struct PaintSession {
    HDC dc = nullptr;
};

}  // namespace

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    if (!paint) return nullptr;
    *paint = PAINTSTRUCT{};
    std::shared_ptr<Surface> surface;
    RECT client{};
    {
        auto lock = Lock();
        Window* w = WindowSystem::Get().Find(TopLevelOfLocked(window));
        Window* self = WindowSystem::Get().Find(window);
        if (!w || !self) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        self->needsPaint = false;
        if (w != self) return nullptr;  // controls are drawn by the presenters
        const RECT onScreen = ClientRectOnScreenLocked(w);
        client = RECT{0, 0, onScreen.right - onScreen.left, onScreen.bottom - onScreen.top};
        if (!w->client || w->client->width != client.right || w->client->height != client.bottom) {
            w->client = std::make_shared<Surface>(std::max<LONG>(client.right, 1),
                                                  std::max<LONG>(client.bottom, 1));
        }
        surface = w->client;
    }
    WindowSystem::Get().surfaces.lock();
    HDC dc = CreateSurfaceDC(*surface, POINT{0, 0}, client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_3DFACE));
    paint->hdc = dc;
    paint->fErase = TRUE;
    paint->rcPaint = client;
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (!paint || !paint->hdc) return TRUE;
    ReleaseSurfaceDC(paint->hdc);
    WindowSystem::Get().surfaces.unlock();
    auto lock = Lock();
    NotifyLocked();
    return TRUE;
}
