// The composed screen of two dialogs on two threads, compared pixel for pixel with
// golden/two_dialogs.png. TANDEL_UPDATE_GOLDEN=1 rewrites the reference (look at it first).
#include "ui_test_support.h"

#include <platform/ui/png.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace ui_testing;

void ExpectMatchesReference(const platform::ui::Surface& picture, const std::string& name) {
    const auto reference = std::filesystem::path(TANDEL_GOLDEN_DIR) / (name + ".png");
    const char* update = std::getenv("TANDEL_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        ASSERT_EQ(platform::ui::WritePng(picture, reference), "");
        GTEST_SKIP() << "reference rewritten: " << reference;
    }
    std::string error;
    const auto expected = platform::ui::ReadPng(reference, &error);
    ASSERT_TRUE(expected) << error << " (TANDEL_UPDATE_GOLDEN=1 writes it)";
    ASSERT_EQ(expected->width, picture.width);
    ASSERT_EQ(expected->height, picture.height);
    size_t differing = 0;
    for (size_t i = 0; i < picture.pixels.size(); ++i) differing += picture.pixels[i] != expected->pixels[i];
    if (differing != 0) {
        const auto actual = std::filesystem::current_path() / (name + ".actual.png");
        EXPECT_EQ(platform::ui::WritePng(picture, actual), "");
        FAIL() << differing << " pixels differ from " << reference << "; this run's picture: " << actual;
    }
}

class WindowGolden : public UiTest {};

class Progress : public RecordingDialog {
public:
    Progress() : RecordingDialog(105) {}

protected:
    BOOL OnInitDialog() override {
        RecordingDialog::OnInitDialog();
        SendDlgItemMessage(GetSafeHwnd(), 1008, PBM_SETPOS, 40, 0);
        return TRUE;
    }
};

class Confirm : public RecordingDialog {
public:
    Confirm() : RecordingDialog(139) {}

protected:
    BOOL OnInitDialog() override {
        RecordingDialog::OnInitDialog();
        SetDlgItemText(GetSafeHwnd(), 1006,
                       u"\\Notes.txt already exist.\n\n  Would you like to replace\n"
                       u"    1,024 bytes modified on 3/18/1999 11:05 PM\nWith this one?\n"
                       u"    2,048 bytes modified on 3/17/1999 0:30 AM");
        return TRUE;
    }
};

TEST_F(WindowGolden, ConfirmOverProgressWithTheFocusMovedToYesToAll) {
    Progress progress;
    auto progressThread = Show(progress);
    Confirm confirm;
    HWND window;
    auto confirmThread = Show(confirm, &window);
    Press(VK_TAB);
    ExpectMatchesReference(automation::CaptureScreen(), "two_dialogs");
    Press(VK_ESCAPE);
    EXPECT_EQ(confirmThread->Result(), 2);
    Press(VK_ESCAPE);
    EXPECT_EQ(progressThread->Result(), 2);
}

}  // namespace
