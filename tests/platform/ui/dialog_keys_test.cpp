// The dialog keyboard interface, driven through the automation interface.
#include "ui_test_support.h"

namespace {

using namespace ui_testing;

class DialogKeys : public UiTest {};

struct KeyCase {
    const char* name;
    UINT templateId;
    std::vector<std::pair<UINT, uint8_t>> keys;
    INT_PTR expected;
};

// Each row: open the dialog, press the keys, expect the dialog's result.
TEST_F(DialogKeys, KeysEndTheDialogWithTheRightId) {
    const KeyCase cases[] = {
        {"Enter with no default button gives IDOK", 101, {{VK_RETURN, 0}}, 1},
        {"Escape gives Cancel", 101, {{VK_ESCAPE, 0}}, 2},
        {"Tab onto Restore then Enter", 101, {{VK_TAB, 0}, {VK_RETURN, 0}}, 1003},
        {"Shift+Tab wraps to Cancel", 101, {{VK_TAB, automation::kShift}, {VK_RETURN, 0}}, 2},
        {"Down arrow within the group", 101, {{VK_DOWN, 0}, {VK_RETURN, 0}}, 1003},
        {"Up arrow wraps within the group", 101, {{VK_UP, 0}, {VK_RETURN, 0}}, 2},
        {"Alt+mnemonic", 101, {{'R', automation::kAlt}}, 1003},
        {"plain mnemonic while a button has the focus", 101, {{'C', 0}}, 2},
        {"Space clicks the focused button", 101, {{VK_SPACE, 0}}, 1007},
        {"progress: Enter gives 1 with focus on Cancel", 105, {{VK_RETURN, 0}}, 1},
        {"progress: Enter after Tab onto Cancel gives 2", 105, {{VK_TAB, 0}, {VK_RETURN, 0}}, 2},
        {"message: Enter gives the default button", 104, {{VK_RETURN, 0}}, 1},
        {"confirm: Enter answers Yes", 139, {{VK_RETURN, 0}}, 6},
        {"confirm: Alt+A answers Yes to All", 139, {{'A', automation::kAlt}}, 1021},
        {"confirm: Tab to Yes to All, Enter", 139, {{VK_TAB, 0}, {VK_RETURN, 0}}, 1021},
        {"confirm: Tab moves the default look back after Yes to All", 139,
         {{VK_TAB, 0}, {VK_TAB, 0}, {VK_RETURN, 0}}, 7},
        {"groups: escaped ampersand is not a mnemonic", 200, {{'C', automation::kAlt}}, 16},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        RecordingDialog dialog(test.templateId);
        auto thread = Show(dialog);
        for (auto [key, modifiers] : test.keys) Press(key, modifiers);
        EXPECT_EQ(thread->Result(), test.expected);
    }
}

TEST_F(DialogKeys, InitialFocusIsTheFirstTabStopWithoutTheDefaultLook) {
    RecordingDialog dialog(101);
    HWND window;
    auto thread = Show(dialog, &window);
    EXPECT_EQ(FocusedId(window), 1007);
    for (const auto& control : automation::Controls(window)) EXPECT_FALSE(control.defaultLook);
    Press(VK_TAB);
    EXPECT_EQ(FocusedId(window), 1003);
    EXPECT_TRUE(automation::Control(window, 1003)->defaultLook);
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

TEST_F(DialogKeys, SpacePressesOnKeyDownAndClicksOnKeyUp) {
    RecordingDialog dialog(101);
    HWND window;
    auto thread = Show(dialog, &window);
    ASSERT_TRUE(automation::KeyDown(VK_SPACE));
    automation::Settle();
    EXPECT_TRUE(automation::Control(window, 1007)->pressed);
    EXPECT_TRUE(IsWindow(window));
    ASSERT_TRUE(automation::KeyUp(VK_SPACE));
    EXPECT_EQ(thread->Result(), 1007);
}

TEST_F(DialogKeys, ArrowsStayInTheirGroupAndSkipDisabledButtonsAndLabels) {
    RecordingDialog dialog(200);
    HWND window;
    auto thread = Show(dialog, &window);
    // Zero (before the first group) belongs to the last group; First starts the first group.
    ASSERT_EQ(FocusedId(window), 10);
    const std::pair<UINT, int> steps[] = {
        {VK_DOWN, 15},   // Label is skipped: Zero wraps to the start of its group
        {VK_DOWN, 16}, {VK_DOWN, 17}, {VK_DOWN, 10}, {VK_UP, 17},
    };
    for (auto [key, focus] : steps) {
        Press(key);
        EXPECT_EQ(FocusedId(window), focus);
    }
    Press(VK_TAB);  // from Help, the last control, round to Zero
    EXPECT_EQ(FocusedId(window), 10);
    Press('F', automation::kAlt);  // First: ends the dialog
    EXPECT_EQ(thread->Result(), 11);
}

TEST_F(DialogKeys, TabSkipsDisabledControlsAndArrowsCircleTheFirstGroup) {
    RecordingDialog dialog(200);
    HWND window;
    auto thread = Show(dialog, &window);
    SetFocusOn(window, 11);
    Press(VK_DOWN);
    EXPECT_EQ(FocusedId(window), 13);  // Second is disabled
    Press(VK_DOWN);
    EXPECT_EQ(FocusedId(window), 11);
    Press(VK_TAB);
    EXPECT_EQ(FocusedId(window), 13);
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

TEST_F(DialogKeys, LabelMnemonicMovesTheFocusAndDisabledMnemonicsDoNothing) {
    RecordingDialog dialog(200);
    HWND window;
    auto thread = Show(dialog, &window);
    Press('L', automation::kAlt);
    EXPECT_EQ(FocusedId(window), 15);
    Press('S', automation::kAlt);  // Second is disabled
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(dialog.lastCommand, 0);
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

TEST_F(DialogKeys, AcceleratorIsConsumedBeforeMnemonics) {
    HACCEL accelerators = LoadAccelerators(nullptr, MAKEINTRESOURCE(101));
    ASSERT_NE(accelerators, nullptr);
    {
        RecordingDialog dialog(200, accelerators);
        HWND window;
        auto thread = Show(dialog, &window);
        Press('H', automation::kAlt);
        EXPECT_EQ(dialog.helpCommands, 1);
        EXPECT_TRUE(IsWindow(window));  // Help (&Help, id 17) was not clicked
        // Only exactly Alt matches: Alt+Shift+H is the mnemonic again.
        Press('H', automation::kAlt | automation::kShift);
        EXPECT_EQ(thread->Result(), 17);
    }
    {
        RecordingDialog dialog(200);  // no accelerators: the mnemonic wins
        auto thread = Show(dialog);
        Press('H', automation::kAlt);
        EXPECT_EQ(thread->Result(), 17);
    }
}

}  // namespace
