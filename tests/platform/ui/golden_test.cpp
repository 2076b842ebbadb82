// The 3D look as a picture: a sample dialog on the screen with every control the dialogs use,
// compared pixel for pixel with the reference in golden/. TANDEL_UPDATE_GOLDEN=1 rewrites the
// reference instead; look at it before committing.
#include "drawing_helpers.h"

#include <platform/ui/compose.h>
#include <platform/ui/images.h>
#include <platform/ui/paint.h>
#include <platform/ui/png.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

using namespace platform::ui;

// A 16 x 16 icon: a yellow disc with a red band, transparent around it.
HICON SampleIcon() {
    std::vector<uint8_t> indices(16 * 16, 0);
    std::vector<BYTE> mask;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inside = (x - 7.5) * (x - 7.5) + (y - 7.5) * (y - 7.5) < 56;
            indices[static_cast<size_t>(y * 16 + x)] = !inside ? 0 : (y >= 6 && y <= 9) ? 9 : 11;
        }
    auto image = drawing_test::FourBitDib(16, 16, drawing_test::StandardPalette(), indices, 2);
    for (int y = 15; y >= 0; --y) {  // AND mask rows, bottom-up, 4 bytes each
        uint16_t bits = 0;
        for (int x = 0; x < 16; ++x)
            if (indices[static_cast<size_t>(y * 16 + x)] == 0) bits |= static_cast<uint16_t>(0x8000 >> x);
        image.push_back(static_cast<BYTE>(bits >> 8));
        image.push_back(static_cast<BYTE>(bits));
        image.push_back(0);
        image.push_back(0);
    }
    return CreateIconFromImage(image.data(), image.size());
}

Surface SampleScreen() {
    Surface screen(kScreenWidth, kScreenHeight);
    HDC dc = CreateSurfaceDC(screen, POINT{0, 0}, RECT{0, 0, kScreenWidth, kScreenHeight});
    const RECT desktop{0, 0, kScreenWidth, kScreenHeight - kTaskbarHeight};
    FillRect(dc, &desktop, GetSysColorBrush(COLOR_BACKGROUND));
    HICON icon = SampleIcon();

    // An inactive window behind, its left edge covered by the active one.
    const RECT behind = FrameWindowRect(RECT{398, 30, 630, 110});
    PaintWindowFrame(dc, behind, FrameLook{.title = u"Confirm File Replace", .activity = FrameActivity::Inactive});
    PaintDialogBackground(dc, FrameClientRect(behind));
    PaintMessageIcon(dc, POINT{420, 40}, MessageIcon::Exclamation);
    PaintMessageIcon(dc, POINT{470, 40}, MessageIcon::Error);
    PaintMessageIcon(dc, POINT{520, 40}, MessageIcon::Information);
    PaintMessageIcon(dc, POINT{570, 40}, MessageIcon::Question);

    // The active dialog: client 390 x 154 at (20, 30).
    const RECT client{10, 24, 10 + 390, 24 + 154};
    const RECT window = FrameWindowRect(client);
    PaintWindowFrame(dc, window, FrameLook{.title = u"Quorva CE Tandel", .smallIcon = icon,
                                           .closeBox = true, .helpButton = true});
    PaintDialogBackground(dc, client);
    HDC clientDc = CreateSurfaceDC(screen, POINT{client.left, client.top}, client);
    PaintPushButton(clientDc, RECT{11, 24, 85, 47}, {.text = u"&Backup", .defaultLook = true});
    PaintPushButton(clientDc, RECT{11, 63, 85, 86}, {.text = u"&Restore", .focused = true, .defaultLook = true});
    PaintPushButton(clientDc, RECT{11, 102, 85, 125}, {.text = u"Cancel"});
    PaintPushButton(clientDc, RECT{95, 102, 169, 125}, {.text = u"Yes to &All", .pressed = true});
    PaintPushButton(clientDc, RECT{179, 102, 253, 125}, {.text = u"&No", .enabled = false});
    PaintStaticText(clientDc, RECT{100, 8, 380, 21}, {.text = u"Left-aligned static text with &mnemonic"});
    PaintStaticText(clientDc, RECT{100, 24, 250, 62},
                    {.text = u"Centred text that wraps\nonto more lines", .style = 1});
    PaintStaticText(clientDc, RECT{260, 24, 380, 40}, {.text = u"Right", .style = 2});
    PaintStaticText(clientDc, RECT{260, 42, 380, 56}, {.text = u"Disabled", .enabled = false});
    PaintProgressBar(clientDc, RECT{100, 66, 313, 82}, {.position = 40, .border = true});
    PaintProgressBar(clientDc, RECT{320, 66, 380, 82}, {.position = 150});
    PaintComboBox(clientDc, RECT{100, 130, 280, 130 + kComboClosedHeight},
                  {.text = u"Backup 1999-03-18 23.05", .focused = true});
    PaintComboBox(clientDc, RECT{260, 90, 380, 90 + kComboClosedHeight}, {.text = u"Closed", .dropped = true});
    ReleaseSurfaceDC(clientDc);

    // A dropped list over everything, as the window system stacks it.
    const std::u16string_view items[] = {u"Backup 1999-03-15 08.00", u"Backup 1999-03-16 22.10",
                                         u"Backup 1999-03-17 08.00", u"Backup 1999-03-18 23.05",
                                         u"Backup 1999-03-19 12.30", u"Backup 1999-03-20 07.45",
                                         u"Backup 1999-03-21 19.15"};
    PaintDroppedList(dc, RECT{420, 120, 600, 120 + 2 + 5 * kListItemHeight},
                     {.items = items, .selected = 3, .topIndex = 1});

    const TaskbarEntry entries[] = {{u"Quorva CE Tandel", icon, true}, {u"Confirm File Replace", nullptr, false}};
    PaintTaskbar(dc, RECT{0, kScreenHeight - kTaskbarHeight, kScreenWidth, kScreenHeight}, entries);
    DestroyIcon(icon);
    ReleaseSurfaceDC(dc);
    return screen;
}

// Compares with golden/<name>.png, or rewrites it when TANDEL_UPDATE_GOLDEN=1.
void ExpectMatchesGolden(const Surface& picture, const std::string& name) {
    const std::filesystem::path reference = std::filesystem::path(TANDEL_GOLDEN_DIR) / (name + ".png");
    const char* update = std::getenv("TANDEL_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        ASSERT_EQ(WritePng(picture, reference), "");
        GTEST_SKIP() << "reference rewritten: " << reference;
    }
    std::string error;
    const auto expected = ReadPng(reference, &error);
    ASSERT_TRUE(expected) << error << " (TANDEL_UPDATE_GOLDEN=1 writes it)";
    ASSERT_EQ(expected->width, picture.width);
    ASSERT_EQ(expected->height, picture.height);
    size_t differing = 0;
    for (size_t i = 0; i < picture.pixels.size(); ++i) differing += picture.pixels[i] != expected->pixels[i];
    if (differing != 0) {
        const auto actual = std::filesystem::current_path() / (name + ".actual.png");
        EXPECT_EQ(WritePng(picture, actual), "");
        FAIL() << differing << " pixels differ from " << reference << "; this run's picture: " << actual;
    }
}

TEST(Golden, SampleDialog) { ExpectMatchesGolden(SampleScreen(), "sample_dialog"); }

// Two dialogs composed from a scene: the front one covers the back one, its program's client
// pixels sit inside its frame under its controls, its open list lies over everything.
ScreenScene SampleScene(const Surface& painted, HICON icon) {
    ScreenScene scene;
    WindowScene back;
    back.window = FrameWindowRect(RECT{300, 40, 600, 120});
    back.title = u"Quorva CE Tandel";
    back.activity = FrameActivity::Inactive;
    back.controls.push_back({RECT{10, 10, 42, 42}, MessageIcon::Exclamation});
    back.controls.push_back({RECT{52, 18, 290, 44}, StaticScene{u"Please enter no more than 255 characters.", 0, true}});
    back.controls.push_back({RECT{113, 52, 187, 75}, ButtonScene{u"OK", false, false, true, true}});
    scene.windows.push_back(back);

    WindowScene front;
    front.window = FrameWindowRect(RECT{20, 30, 20 + 279, 30 + 154});
    front.title = u"Quorva CE Tandel";
    front.smallIcon = icon;
    front.closeBox = true;
    front.client = &painted;
    front.controls.push_back({RECT{36, 10, 243, 23}, StaticScene{u"Select the backup to restore:", 0, true}});
    front.controls.push_back({RECT{34, 30, 244, 30 + kComboClosedHeight}, ComboScene{u"Backup 1999-03-18 23.05", true, true, true}});
    front.controls.push_back({RECT{31, 110, 105, 133}, ButtonScene{u"OK", false, false, true, true}});
    front.controls.push_back({RECT{170, 110, 244, 133}, ButtonScene{u"Cancel", false, false, false, true}});
    front.controls.push_back({RECT{31, 80, 244, 90}, ProgressLook{0, 100, 60, true}});
    front.controls.push_back({RECT{250, 80, 266, 96}, IconScene{icon}});
    front.droppedList = ListScene{RECT{54, 30 + 30 + kComboClosedHeight, 264, 30 + 30 + kComboClosedHeight + 2 + 4 * kListItemHeight},
                                  {u"Backup 1999-03-17 08.00", u"Backup 1999-03-18 23.05", u"Backup 1999-03-19 12.30"},
                                  1, 0};
    scene.windows.push_back(front);
    scene.taskbar = {{u"Quorva CE Tandel", icon, true}};
    return scene;
}

TEST(Composition, WindowsBackToFrontWithClientPixelsControlsAndList) {
    Surface painted(100, 60, 0x00C0C0C0);  // the program painted a logo-like block in its client
    for (int y = 20; y < 50; ++y)
        for (int x = 150 - 100; x < 100; ++x) painted.At(x, y) = 0x00808080;
    HICON icon = SampleIcon();
    Surface screen;
    ComposeScreen(SampleScene(painted, icon), screen);
    DestroyIcon(icon);
    ASSERT_EQ(screen.width, kScreenWidth);
    ASSERT_EQ(screen.height, kScreenHeight);
    EXPECT_EQ(screen.At(5, 5), 0x008080u) << "desktop";
    EXPECT_EQ(screen.At(20 + 60, 30 + 25), 0x808080u) << "the program's client pixels";
    EXPECT_EQ(screen.At(20 + 200, 30 + 25), 0xC0C0C0u) << "dialog background past the painted surface";
    EXPECT_EQ(screen.At(295, 60), 0xC0C0C0u) << "the front window covers the back one";
    EXPECT_EQ(screen.At(100, 30 + 30 + kComboClosedHeight + 1 + kListItemHeight + 6), 0x000080u)
        << "the open list's selected row";
    EXPECT_EQ(screen.At(630, kScreenHeight - 10), 0xC0C0C0u) << "taskbar";
    ExpectMatchesGolden(screen, "composed_screen");
}

TEST(PngFiles, RoundTripAndCleanFailures) {
    const auto folder = std::filesystem::temp_directory_path() / ("tandel_png_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    Surface picture(3, 2);
    picture.pixels = {0x000000, 0xFFFFFF, 0xFF00FF, 0x123456, 0xC0C0C0, 0x008080};
    const auto path = folder / "picture.png";
    ASSERT_EQ(WritePng(picture, path), "");
    const auto back = ReadPng(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, picture);

    // A failed write leaves the earlier file whole and no temporary behind.
    EXPECT_NE(WritePng(Surface{}, path), "");
    EXPECT_NE(WritePng(picture, folder / "missing" / "x.png"), "");
    EXPECT_EQ(*ReadPng(path), picture);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++files;
    EXPECT_EQ(files, 1u);

    std::string error;
    EXPECT_FALSE(ReadPng(folder / "none.png", &error));
    EXPECT_NE(error.find("none.png"), std::string::npos);
    {
        std::FILE* junk = std::fopen((folder / "junk.png").c_str(), "wb");
        std::fputs("not a picture", junk);
        std::fclose(junk);
    }
    EXPECT_FALSE(ReadPng(folder / "junk.png", &error));
    std::filesystem::remove_all(folder);
}

}  // namespace
