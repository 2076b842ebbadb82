// Painter geometry the window system relies on for layout and hit-testing, and the painted
// states that a caller can observe pixel by pixel.
#include <platform/ui/paint.h>
#include <platform/ui/surface.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace platform::ui;

bool Same(const RECT& a, RECT b) { return EqualRect(&a, &b); }

constexpr uint32_t kNavy = 0x000080;

TEST(FrameGeometry, ClientAndWindowRectanglesAreInverse) {
    const RECT client{10, 24, 10 + 390, 24 + 154};
    const RECT window = FrameWindowRect(client);
    EXPECT_TRUE(Same(window, RECT{7, 2, 403, 181}));
    EXPECT_TRUE(Same(FrameClientRect(window), client));
}

TEST(FrameGeometry, CaptionButtonsOnlyWhenAskedHelpLeftOfClose) {
    const RECT window{0, 0, 300, 200};
    EXPECT_TRUE(IsRectEmpty(&static_cast<const RECT&>(CaptionCloseBoxRect(window, FrameLook{}))));
    EXPECT_TRUE(IsRectEmpty(&static_cast<const RECT&>(CaptionHelpButtonRect(window, FrameLook{}))));
    const FrameLook both{.closeBox = true, .helpButton = true};
    const RECT close = CaptionCloseBoxRect(window, both);
    const RECT help = CaptionHelpButtonRect(window, both);
    EXPECT_EQ(close.right, 300 - kDialogFrameWidth - 2);
    EXPECT_EQ(close.right - close.left, kCaptionButtonWidth);
    EXPECT_EQ(close.bottom - close.top, kCaptionButtonHeight);
    EXPECT_LE(help.right, close.left);
    EXPECT_EQ(help.top, close.top);
    // Without a close box the help button takes the rightmost place.
    EXPECT_TRUE(Same(CaptionHelpButtonRect(window, FrameLook{.helpButton = true}), close));
    // Both lie inside the caption bar.
    const RECT client = FrameClientRect(window);
    EXPECT_LT(close.bottom, client.top);
    EXPECT_GE(close.top, kDialogFrameWidth);
}

TEST(FrameGeometry, ActiveAndInactiveCaptionsDiffer) {
    Surface screen(200, 60);
    HDC dc = CreateSurfaceDC(screen, POINT{0, 0}, RECT{0, 0, 200, 60});
    PaintWindowFrame(dc, RECT{0, 0, 200, 60}, FrameLook{.title = u"A"});
    EXPECT_EQ(screen.At(100, 10), kNavy);
    PaintWindowFrame(dc, RECT{0, 0, 200, 60}, FrameLook{.title = u"A", .activity = FrameActivity::Inactive});
    EXPECT_EQ(screen.At(100, 10), 0x808080u);
    // The client area is left alone.
    EXPECT_EQ(screen.At(100, 40), 0u);
    ReleaseSurfaceDC(dc);
}

// Highlight pixels along the middle row of a painted progress bar.
std::vector<bool> ProgressRow(int position, int low = 0, int high = 100) {
    Surface surface(104, 12);
    HDC dc = CreateSurfaceDC(surface, POINT{0, 0}, RECT{0, 0, 104, 12});
    PaintProgressBar(dc, RECT{0, 0, 104, 12}, ProgressLook{.low = low, .high = high, .position = position});
    ReleaseSurfaceDC(dc);
    std::vector<bool> row;
    for (int x = 0; x < 104; ++x) row.push_back(surface.At(x, 6) == kNavy);
    return row;
}

int Count(const std::vector<bool>& row) {
    int n = 0;
    for (bool b : row) n += b;
    return n;
}

TEST(ProgressBar, BlocksGrowWithThePositionAndStayInRange) {
    // Inner area: 104 - 2 (edge) - 2 (padding) = 100 pixels, 8 high: blocks of 5 with gaps of 2.
    EXPECT_EQ(Count(ProgressRow(0)), 0);
    const auto half = ProgressRow(50);
    EXPECT_TRUE(half[2]) << "first block starts inside the padding";
    EXPECT_TRUE(half[6]);
    EXPECT_FALSE(half[7]) << "gap";
    EXPECT_FALSE(half[8]) << "gap";
    EXPECT_TRUE(half[9]) << "second block";
    EXPECT_FALSE(half[52]) << "nothing past half of the area";
    const auto full = ProgressRow(100);
    EXPECT_GT(Count(full), Count(half));
    EXPECT_FALSE(full[102]) << "padding";
    EXPECT_EQ(ProgressRow(250), full) << "clamped to the top of the range";
    EXPECT_EQ(Count(ProgressRow(-5)), 0) << "clamped to the bottom";
    EXPECT_EQ(ProgressRow(15, 10, 20), ProgressRow(50)) << "any range";
    EXPECT_EQ(Count(ProgressRow(5, 10, 10)), 0) << "an empty range draws no blocks";
}

TEST(PushButton, DefaultBorderFocusAndPressedStates) {
    auto paint = [](PushButtonLook look) {
        Surface surface(40, 20, 0x123456);
        HDC dc = CreateSurfaceDC(surface, POINT{0, 0}, RECT{0, 0, 40, 20});
        PaintPushButton(dc, RECT{0, 0, 40, 20}, look);
        ReleaseSurfaceDC(dc);
        return surface;
    };
    const Surface normal = paint({.text = u"OK"});
    EXPECT_EQ(normal.At(0, 0), 0xFFFFFFu) << "white outer highlight";
    EXPECT_EQ(normal.At(39, 19), 0u) << "black outer shadow";
    EXPECT_EQ(normal.At(38, 18), 0x808080u);
    const Surface byDefault = paint({.text = u"OK", .defaultLook = true});
    EXPECT_EQ(byDefault.At(0, 0), 0u) << "black default border";
    EXPECT_EQ(byDefault.At(1, 1), 0xFFFFFFu);
    const Surface focused = paint({.text = u"OK", .focused = true});
    EXPECT_NE(focused.At(4, 4), normal.At(4, 4)) << "focus rectangle 4 pixels in";
    EXPECT_EQ(focused.At(3, 3), normal.At(3, 3));
    const Surface pressed = paint({.text = u"OK", .pressed = true});
    EXPECT_EQ(pressed.At(0, 0), 0x808080u) << "flat grey frame";
    EXPECT_NE(pressed, normal);
    const Surface disabled = paint({.text = u"OK", .enabled = false});
    bool grey = false;
    for (uint32_t pixel : disabled.pixels) grey = grey || pixel == 0x808080u;
    EXPECT_TRUE(grey);
}

TEST(ComboBox, FocusHighlightsTheSelectionAndTheArrowSitsRight) {
    const RECT box{0, 0, 120, kComboClosedHeight};
    const RECT arrow = ComboArrowRect(box);
    EXPECT_EQ(arrow.right, 118);
    EXPECT_EQ(arrow.right - arrow.left, kComboArrowWidth);
    Surface surface(120, kComboClosedHeight);
    HDC dc = CreateSurfaceDC(surface, POINT{0, 0}, RECT{0, 0, 120, kComboClosedHeight});
    PaintComboBox(dc, box, ComboLook{.text = u"Item"});
    EXPECT_EQ(surface.At(60, 10), 0xFFFFFFu) << "white field";
    PaintComboBox(dc, box, ComboLook{.text = u"Item", .focused = true});
    EXPECT_EQ(surface.At(60, 10), kNavy) << "highlighted selection";
    ReleaseSurfaceDC(dc);
}

TEST(DroppedList, ItemsUnderPointsAndTheScrollBarOnlyWhenNeeded) {
    const std::u16string_view items[] = {u"a", u"b", u"c", u"d", u"e"};
    const RECT list{0, 0, 100, 2 + 3 * kListItemHeight};
    const DroppedListLook look{.items = items, .selected = 2, .topIndex = 1};
    EXPECT_EQ(DroppedListItemAt(list, look, POINT{10, 1}), 1);
    EXPECT_EQ(DroppedListItemAt(list, look, POINT{10, 1 + kListItemHeight}), 2);
    EXPECT_EQ(DroppedListItemAt(list, look, POINT{10, 1 + 3 * kListItemHeight}), -1) << "the border";
    EXPECT_EQ(DroppedListItemAt(list, look, POINT{95, 5}), -1) << "the scroll bar";
    EXPECT_EQ(DroppedListItemAt(list, look, POINT{150, 5}), -1);
    const DroppedListLook few{.items = std::span(items, 2)};
    EXPECT_EQ(DroppedListItemAt(list, few, POINT{95, 5}), 0) << "no scroll bar for two items";
    EXPECT_EQ(DroppedListItemAt(list, few, POINT{10, 1 + 2 * kListItemHeight}), -1) << "below the last item";

    Surface surface(100, list.bottom);
    HDC dc = CreateSurfaceDC(surface, POINT{0, 0}, list);
    PaintDroppedList(dc, list, look);
    ReleaseSurfaceDC(dc);
    EXPECT_EQ(surface.At(0, 0), 0u) << "black border";
    EXPECT_EQ(surface.At(50, 1 + kListItemHeight + 6), kNavy) << "row of the selected item";
    EXPECT_EQ(surface.At(50, 1 + 6), 0xFFFFFFu);
}

TEST(Taskbar, ButtonsShareTheStripWithoutOverlapping) {
    const RECT bar{0, kScreenHeight - kTaskbarHeight, kScreenWidth, kScreenHeight};
    EXPECT_TRUE(IsRectEmpty(&static_cast<const RECT&>(TaskbarButtonRect(bar, 0, 0))));
    const RECT one = TaskbarButtonRect(bar, 0, 1);
    EXPECT_EQ(one.right - one.left, 160) << "a lone button keeps its width";
    for (size_t count : {size_t{2}, size_t{5}, size_t{12}}) {
        RECT previous{};
        for (size_t i = 0; i < count; ++i) {
            const RECT button = TaskbarButtonRect(bar, i, count);
            EXPECT_GE(button.top, bar.top);
            EXPECT_LE(button.bottom, bar.bottom);
            EXPECT_LE(button.right, bar.right);
            if (i > 0) {
                EXPECT_GE(button.left, previous.right);
            }
            previous = button;
        }
    }
}

}  // namespace
