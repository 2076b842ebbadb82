// The main dialog on the screen: the logo at (150, 17) of its client area drawn through its
// magenta pixels, never a magenta pixel on the screen, also after a window that covered it has
// gone; and a PNG snapshot of the screen.
#include <dialogs/main_dialog.h>
#include <platform/ui/png.h>
#include <platform/ui/surface.h>

#include "app_test_support.h"

namespace {

namespace automation = app_test::automation;
using platform::ui::Surface;

constexpr uint32_t kMagenta = 0x00FF00FF;
constexpr int kLogoX = 150, kLogoY = 17, kLogoWidth = 52, kLogoHeight = 93;

class MainDialogPictureTest : public app_test::HandheldTest {
protected:
    void SetUp() override {
        HandheldTest::SetUp();
        HBITMAP bitmap = LoadBitmap(GetModuleHandle(nullptr), MAKEINTRESOURCE(136));
        ASSERT_NE(bitmap, nullptr);
        logo = platform::ui::SurfaceFromBitmap(bitmap);
        DeleteObject(bitmap);
        ui = std::make_unique<app_test::UiThread<INT_PTR>>([this] { return dialog.DoModal(); });
        shown = app_test::Expect(automation::WaitForTemplate(101), "the main dialog");
        client = app_test::ClientOnScreen(shown.window);
    }
    void TearDown() override {
        app_test::Press(shown.window, IDCANCEL);
        ui.reset();
        HandheldTest::TearDown();
    }

    // Every logo pixel at its place, the background where the logo is magenta.
    void ExpectLogoOnScreen(const Surface& screen) {
        ASSERT_EQ(logo.width, kLogoWidth);
        ASSERT_EQ(logo.height, kLogoHeight);
        const uint32_t background = platform::ui::PixelFromColorRef(GetSysColor(COLOR_3DFACE));
        int magentaPixels = 0;
        for (int y = 0; y < kLogoHeight; ++y) {
            for (int x = 0; x < kLogoWidth; ++x) {
                const int sx = client.left + kLogoX + x, sy = client.top + kLogoY + y;
                const uint32_t want = logo.At(x, y) == kMagenta ? background : logo.At(x, y);
                magentaPixels += logo.At(x, y) == kMagenta;
                ASSERT_EQ(screen.At(sx, sy), want) << "logo pixel " << x << "," << y;
            }
        }
        EXPECT_GT(magentaPixels, 0) << "the logo has a magenta background";
        // The pixels around the logo are the dialog's background.
        EXPECT_EQ(screen.At(client.left + kLogoX - 1, client.top + kLogoY), background);
        EXPECT_EQ(screen.At(client.left + kLogoX + kLogoWidth, client.top + kLogoY), background);
    }
    static void ExpectNoMagenta(const Surface& screen) {
        EXPECT_EQ(std::count(screen.pixels.begin(), screen.pixels.end(), kMagenta), 0);
    }

    Surface logo;
    MainDialog dialog;
    std::unique_ptr<app_test::UiThread<INT_PTR>> ui;
    automation::WindowInfo shown;
    RECT client{};
};

TEST_F(MainDialogPictureTest, TheLogoIsDrawnThroughItsMagentaPixels) {
    ASSERT_TRUE(automation::Settle());
    const Surface screen = automation::CaptureScreen();
    ExpectLogoOnScreen(screen);
    ExpectNoMagenta(screen);
}

TEST_F(MainDialogPictureTest, TheLogoIsWholeAgainAfterAWindowThatCoveredItHasGone) {
    // A message box of another program's thread comes up over the dialog, then goes.
    app_test::UiThread<int> other([] { return MessageBox(nullptr, u"A long message that covers the logo of the dialog below it", u"Cover", MB_OK); });
    auto cover = app_test::Expect(app_test::WaitForMessageBox(), "the covering window");
    ASSERT_TRUE(automation::Settle());
    const RECT logoOnScreen{client.left + kLogoX, client.top + kLogoY, client.left + kLogoX + kLogoWidth,
                            client.top + kLogoY + kLogoHeight};
    RECT overlap{};
    ASSERT_TRUE(IntersectRect(&overlap, &logoOnScreen, &cover.rect)) << "the cover lies over the logo";
    const Surface covered = automation::CaptureScreen();
    ExpectNoMagenta(covered);
    app_test::Press(cover.window, IDOK);
    EXPECT_EQ(other.Result(), IDOK);
    ASSERT_TRUE(automation::WaitGone(cover.window));
    ASSERT_TRUE(automation::Settle());
    const Surface screen = automation::CaptureScreen();
    ExpectLogoOnScreen(screen);
    ExpectNoMagenta(screen);
}

TEST_F(MainDialogPictureTest, TheSnapshotIsTheScreen) {
    ASSERT_TRUE(automation::Settle());
    const std::filesystem::path file = std::filesystem::path(TANDEL_TEST_OUTPUT_DIR) / "main_dialog.png";
    ASSERT_EQ(automation::Snapshot(file), "");
    std::string error;
    auto read = platform::ui::ReadPng(file, &error);
    ASSERT_TRUE(read.has_value()) << error;
    EXPECT_EQ(read->width, 640);
    EXPECT_EQ(read->height, 240);
    EXPECT_TRUE(*read == automation::CaptureScreen());
    ExpectLogoOnScreen(*read);
}

}  // namespace
