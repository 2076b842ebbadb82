// Dialog units, frames, centring and the taskbar.
#include "ui_test_support.h"

namespace {

using namespace ui_testing;

class DialogLayout : public UiTest {};

TEST(DialogUnits, MapWithTheFixedBaseUnitsRoundingHalfAwayFromZero) {
    RECT rect{7, 15, 7 + 49, 15 + 14};
    ASSERT_TRUE(MapDialogRect(nullptr, &rect));
    EXPECT_EQ(rect.left, 11);    // 10.5
    EXPECT_EQ(rect.top, 24);     // 24.375
    EXPECT_EQ(rect.right, 84);   // 84
    EXPECT_EQ(rect.bottom, 47);  // 47.125
    EXPECT_EQ(MulDiv(185, 6, 4), 278);
    EXPECT_EQ(MulDiv(-185, 6, 4), -278);
    EXPECT_EQ(MulDiv(92, 13, 8), 150);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

RECT ClientOf(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    POINT origin{rect.left, rect.top};
    ScreenToClient(GetParent(control), &origin);
    return RECT{origin.x, origin.y, origin.x + (rect.right - rect.left), origin.y + (rect.bottom - rect.top)};
}

TEST_F(DialogLayout, MainDialogButtonsAndClientSize) {
    RecordingDialog dialog(101);
    HWND window;
    auto thread = Show(dialog, &window);
    const struct {
        int id;
        RECT rect;
    } buttons[] = {{1007, {11, 24, 85, 47}}, {1003, {11, 63, 85, 86}}, {2, {11, 102, 85, 125}}};
    for (const auto& button : buttons) {
        const RECT rect = ClientOf(GetDlgItem(window, button.id));
        EXPECT_EQ(rect.left, button.rect.left) << button.id;
        EXPECT_EQ(rect.top, button.rect.top) << button.id;
        EXPECT_EQ(rect.right - rect.left, 74) << button.id;
        EXPECT_EQ(rect.bottom - rect.top, 23) << button.id;
    }
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 278);
    EXPECT_EQ(client.bottom, 150);
    // Centred in the work area (640 x 214): the frame adds 3 px a side and the caption 19.
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, 284);
    EXPECT_EQ(frame.bottom - frame.top, 175);
    EXPECT_EQ(frame.left, (640 - 284) / 2);
    EXPECT_EQ(frame.top, (214 - 175) / 2);
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

TEST_F(DialogLayout, ClientSizesOfTheOtherTemplates) {
    const struct {
        UINT id;
        int width, height;
    } sizes[] = {{104, 279, 154}, {105, 279, 154}, {106, 279, 154}, {139, 390, 154}};
    for (const auto& size : sizes) {
        RecordingDialog dialog(size.id);
        HWND window;
        auto thread = Show(dialog, &window);
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, size.width) << size.id;
        EXPECT_EQ(client.bottom, size.height) << size.id;
        Press(VK_ESCAPE);
        EXPECT_EQ(thread->Result(), 2);
    }
}

TEST_F(DialogLayout, OnlyApplicationWindowsAreOnTheTaskbar) {
    RecordingDialog main(101);
    HWND mainWindow;
    auto mainThread = Show(main, &mainWindow);
    RecordingDialog message(104);
    HWND messageWindow;
    auto messageThread = Show(message, &messageWindow);
    auto entries = automation::TaskbarEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].window, mainWindow);
    EXPECT_EQ(entries[0].title, u"Quorva CE Tandel");
    // The newest window is in front and active.
    auto windows = automation::Windows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].window, messageWindow);
    EXPECT_TRUE(windows[0].active);
    EXPECT_NE(windows[0].thread, windows[1].thread);
    Press(VK_ESCAPE);
    EXPECT_EQ(messageThread->Result(), 2);
    EXPECT_TRUE(automation::Window(mainWindow)->active);
    Press(VK_ESCAPE);
    EXPECT_EQ(mainThread->Result(), 2);
}

TEST_F(DialogLayout, ShownAgainTheDialogIsCentredAndFocusedAfresh) {
    RecordingDialog dialog(101);
    for (int pass = 0; pass < 2; ++pass) {
        HWND window;
        auto thread = Show(dialog, &window);
        EXPECT_EQ(FocusedId(window), 1007);
        EXPECT_EQ(automation::Window(window)->rect.left, 178);
        Press(VK_TAB);
        Press(VK_RETURN);
        EXPECT_EQ(thread->Result(), 1003);
    }
}

}  // namespace
