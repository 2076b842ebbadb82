// Paint requests and the composed screen.
#include "ui_test_support.h"

#include <platform/ui/surface.h>

namespace {

using namespace ui_testing;

class DialogPainting : public UiTest {};

constexpr COLORREF kRed = 0x000000FF;

class PaintingDialog : public RecordingDialog {
public:
    PaintingDialog() : RecordingDialog(101) {}
    std::atomic<int> paints{0};
    std::atomic<bool> drawSquare{true};

protected:
    void OnPaint(HDC dc) override {
        ++paints;
        if (!drawSquare) return;
        const RECT square{150, 17, 160, 27};
        HBRUSH red = CreateSolidBrush(kRed);
        FillRect(dc, &square, red);
        DeleteObject(red);
    }
};

uint32_t ClientPixel(const platform::ui::Surface& screen, HWND window, int x, int y) {
    POINT at{x, y};
    ClientToScreen(window, &at);
    return screen.At(at.x, at.y);
}

TEST_F(DialogPainting, PaintRequestErasesThenCallsThePaintHandler) {
    PaintingDialog dialog;
    HWND window;
    auto thread = Show(dialog, &window);
    EXPECT_GE(dialog.paints, 1);
    const uint32_t face = platform::ui::PixelFromColorRef(GetSysColor(COLOR_3DFACE));
    auto screen = automation::CaptureScreen();
    EXPECT_EQ(ClientPixel(screen, window, 155, 22), platform::ui::PixelFromColorRef(kRed));
    EXPECT_EQ(ClientPixel(screen, window, 200, 100), face);

    // Repainted without the square: the erase takes it away.
    dialog.drawSquare = false;
    const int before = dialog.paints;
    InvalidateRect(window, nullptr, TRUE);
    automation::Settle();
    EXPECT_EQ(dialog.paints, before + 1);
    screen = automation::CaptureScreen();
    EXPECT_EQ(ClientPixel(screen, window, 155, 22), face);
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

TEST_F(DialogPainting, ScreenShowsTheTaskbarAndTheDesktopAroundTheDialog) {
    RecordingDialog dialog(104);
    HWND window;
    auto thread = Show(dialog, &window);
    auto screen = automation::CaptureScreen();
    EXPECT_EQ(screen.width, 640);
    EXPECT_EQ(screen.height, 240);
    const uint32_t desktop = platform::ui::PixelFromColorRef(GetSysColor(COLOR_BACKGROUND));
    EXPECT_EQ(screen.At(2, 2), desktop);
    EXPECT_NE(screen.At(2, 239 - 5), desktop);  // the taskbar
    Press(VK_RETURN);
    EXPECT_EQ(thread->Result(), 1);
    // With every window gone only the desktop and the taskbar remain.
    screen = automation::CaptureScreen();
    EXPECT_EQ(screen.At(320, 100), desktop);
}

}  // namespace
