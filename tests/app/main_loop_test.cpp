// The program's main loop and its main dialog, driven as a user would through the automation
// path: buttons, keys, the close box, help, and what comes back after each choice.
#include <core/program_objects.h>
#include <dialogs/main_dialog.h>
#include <resources/resource.h>

#include <platform/ui/resources.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>

#include "app_test_support.h"

namespace {

namespace automation = app_test::automation;
using app_test::CountingCardDevice;

class MainLoopTest : public app_test::HandheldTest {
protected:
    void SetUp() override {
        HandheldTest::SetUp();
        automation::SetWindowShownObserver([this](const automation::WindowInfo& window) {
            std::lock_guard lock(logMutex);
            shownTemplates.push_back(window.templateId);
        });
    }
    void TearDown() override {
        automation::SetWindowShownObserver(nullptr);
        HandheldTest::TearDown();
    }

    void InsertDrive() {
        auto device = std::make_shared<CountingCardDevice>(counts, CountingCardDevice::Behaviour::Answer,
                                                           app_test::Terminated(u"Storage"));
        ASSERT_NE(platform::RegisterInProcessDevice(u"CRD", 0, device), nullptr);
    }
    automation::WindowInfo MainDialogShown() { return app_test::Expect(automation::WaitForTemplate(101), "the main dialog"); }
    automation::WindowInfo MainDialogAgain(HWND before) {
        return app_test::Expect(automation::WaitForWindow([before](const automation::WindowInfo& w) {
            return w.templateId == 101 && w.window != before;
        }), "the main dialog shown again");
    }
    // Backup and Restore return to the main dialog when their next dialog is cancelled.
    void CancelDialog(int templateId) {
        auto next = app_test::Expect(automation::WaitForTemplate(templateId), "the action's dialog");
        app_test::Press(next.window, IDCANCEL);
    }
    bool Shown(int templateId) {
        std::lock_guard lock(logMutex);
        return std::find(shownTemplates.begin(), shownTemplates.end(), templateId) != shownTemplates.end();
    }
    std::unique_ptr<app_test::UiThread<bool>> StartLoop() {
        return std::make_unique<app_test::UiThread<bool>>([] { return backupApplication.RunMainLoop(); });
    }

    std::mutex logMutex;
    std::vector<int> shownTemplates;
    app_test::CardDeviceCounts counts;
};

TEST_F(MainLoopTest, CancelWithNoDriveEndsSilently) {
    auto loop = StartLoop();
    app_test::Press(MainDialogShown().window, IDCANCEL);
    EXPECT_FALSE(loop->Result());
    EXPECT_FALSE(Shown(104));
    EXPECT_EQ(pathSeparator, ui::TextString(u"\\"));
}

TEST_F(MainLoopTest, BackupWithNoDriveEndsWithTheNoDriveMessage) {
    auto loop = StartLoop();
    app_test::Press(MainDialogShown().window, IDC_BACKUP);
    auto message = app_test::Expect(automation::WaitForTemplate(104), "the closing message");
    EXPECT_EQ(app_test::TextOf(message.window, 1010), u"Application Error 15 \nNo Quorva drive found");
    app_test::Press(message.window, IDOK);
    EXPECT_FALSE(loop->Result());
}

TEST_F(MainLoopTest, EnterWithNoDriveIsAnyOtherButtonAndReportsTheSearch) {
    auto loop = StartLoop();
    MainDialogShown();
    automation::PressKey(VK_RETURN);
    auto message = app_test::Expect(automation::WaitForTemplate(104), "the closing message");
    EXPECT_EQ(app_test::TextOf(message.window, 1010), u"Application Error 15 \nNo Quorva drive found");
    automation::PressKey(VK_RETURN);
    EXPECT_FALSE(loop->Result());
}

TEST_F(MainLoopTest, WithADriveACancelledActionOrAnyOtherButtonReturnsToTheMainDialog) {
    InsertDrive();
    auto loop = StartLoop();
    auto first = MainDialogShown();
    app_test::Press(first.window, IDC_BACKUP);
    CancelDialog(105);
    auto second = MainDialogAgain(first.window);
    EXPECT_EQ(backupApplication.job.backupPath, ui::TextString(u"\\Storage\\Field 3-18-1999 23.05"));
    app_test::Press(second.window, IDC_RESTORE);
    CancelDialog(106);
    auto third = MainDialogAgain(second.window);
    // Enter right after opening gives 1, which the loop passes over.
    automation::PressKey(VK_RETURN);
    auto fourth = MainDialogAgain(third.window);
    app_test::Press(fourth.window, IDCANCEL);
    EXPECT_FALSE(loop->Result());
    EXPECT_EQ(counts.opens, 4) << "the drive is looked for after every choice, Cancel included";
    EXPECT_FALSE(Shown(104));
}

TEST_F(MainLoopTest, TheMainDialogShownAgainIsCentredWithTheFocusOnBackupAndItsIcon) {
    InsertDrive();
    auto loop = StartLoop();
    RECT work{};
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.bottom, 240 - 26) << "the screen less the taskbar";
    const HICON icon = LoadIcon(GetModuleHandle(nullptr), MAKEINTRESOURCE(102));
    ASSERT_NE(icon, nullptr);
    auto check = [&](const automation::WindowInfo& shown) {
        const int width = shown.rect.right - shown.rect.left, height = shown.rect.bottom - shown.rect.top;
        EXPECT_EQ(shown.rect.left, work.left + (work.right - work.left - width) / 2);
        EXPECT_EQ(shown.rect.top, work.top + (work.bottom - work.top - height) / 2);
        const RECT client = app_test::ClientOnScreen(shown.window);
        EXPECT_EQ(client.right - client.left, 278);
        EXPECT_EQ(client.bottom - client.top, 150);
        EXPECT_TRUE(automation::Control(shown.window, IDC_BACKUP)->focused);
        EXPECT_EQ(app_test::IconOf(shown.window, true), icon);
        EXPECT_EQ(app_test::IconOf(shown.window, false), icon);
        EXPECT_TRUE(shown.active);
        EXPECT_TRUE(shown.onTaskbar);
    };
    auto first = MainDialogShown();
    check(first);
    app_test::Press(first.window, IDC_BACKUP);
    CancelDialog(105);
    auto again = MainDialogAgain(first.window);
    check(again);
    app_test::Press(again.window, IDCANCEL);
    loop->Result();
}

// The program's resources with the main dialog's template renamed, so that it cannot be shown.
std::vector<uint8_t> ResourcesWithoutMainDialog() {
    std::ifstream file(TANDEL_TEST_RESOURCES, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const uint8_t header[] = {0xFF, 0xFF, 0x05, 0x00, 0xFF, 0xFF, 101, 0x00};  // type 5, name 101
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(header), std::end(header));
    EXPECT_NE(at, bytes.end());
    if (at != bytes.end()) at[6] = 102;
    return bytes;
}

TEST_F(MainLoopTest, AMainDialogThatCannotBeShownEndsTheLoopAndReportsTheResultHeld) {
    std::ifstream original(TANDEL_TEST_RESOURCES, std::ios::binary);
    const std::vector<uint8_t> restore((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(platform::ui::RegisterModuleResources(GetModuleHandle(nullptr), ResourcesWithoutMainDialog()));
    auto loop = StartLoop();
    auto message = app_test::Expect(automation::WaitForTemplate(104), "the closing message");
    EXPECT_EQ(app_test::TextOf(message.window, 1010), u"Operation Complete");
    app_test::Press(message.window, IDOK);
    EXPECT_FALSE(loop->Result());
    EXPECT_FALSE(Shown(101));
    ASSERT_TRUE(platform::ui::RegisterModuleResources(GetModuleHandle(nullptr), restore));
}

class MainDialogTest : public MainLoopTest {
protected:
    void SetUp() override {
        MainLoopTest::SetUp();
        ui = std::make_unique<app_test::UiThread<INT_PTR>>([this] { return dialog.DoModal(); });
        shown = MainDialogShown();
    }
    void TearDown() override {
        // A dialog the test left open is cancelled, so the next test starts with none.
        if (!ui->Ended(0)) {
            if (auto open = automation::WaitForTemplate(101, automation::Limit(2000))) app_test::Press(open->window, IDCANCEL);
        }
        ui.reset();
        MainLoopTest::TearDown();
    }

    MainDialog dialog;
    std::unique_ptr<app_test::UiThread<INT_PTR>> ui;
    automation::WindowInfo shown;
};

TEST_F(MainDialogTest, EscapeGivesTwo) {
    automation::PressKey(VK_ESCAPE);
    EXPECT_EQ(ui->Result(), 2);
}

TEST_F(MainDialogTest, TheCloseBoxGivesTwo) {
    ASSERT_TRUE(automation::ClickCloseBox(shown.window));
    EXPECT_EQ(ui->Result(), 2);
}

TEST_F(MainDialogTest, MnemonicsChooseTheirButtons) {
    automation::PressKey('R', automation::kAlt);
    EXPECT_EQ(ui->Result(), IDC_RESTORE);
}

TEST_F(MainDialogTest, AltHStartsTheHelpViewerAndLeavesTheDialogOpen) {
    automation::PressKey('H', automation::kAlt);
    ASSERT_TRUE(automation::Settle());
    {
        std::lock_guard lock(launches_.mutex);
        ASSERT_EQ(launches_.starts.size(), 1u);
        EXPECT_EQ(launches_.starts[0].first, u"PegHelp.exe");
        EXPECT_EQ(launches_.starts[0].second, u"file:Quorva Tools for Windows CE.htc");
    }
    auto still = MainDialogShown();
    EXPECT_EQ(still.window, shown.window);
    EXPECT_FALSE(ui->Ended(0));
    app_test::Press(still.window, IDC_BACKUP);
    EXPECT_EQ(ui->Result(), IDC_BACKUP);
}

TEST_F(MainDialogTest, HelpCallsOffAButtonHeldDown) {
    // Space held on Backup presses it; the help's cancel-mode notification lets go of it, so
    // releasing Space afterwards chooses nothing.
    automation::KeyDown(VK_SPACE);
    ASSERT_TRUE(automation::Settle());
    EXPECT_TRUE(automation::Control(shown.window, IDC_BACKUP)->pressed);
    automation::PressKey('H', automation::kAlt);
    ASSERT_TRUE(automation::Settle());
    EXPECT_FALSE(automation::Control(shown.window, IDC_BACKUP)->pressed);
    automation::KeyUp(VK_SPACE);
    ASSERT_TRUE(automation::Settle());
    EXPECT_FALSE(ui->Ended(0));
    app_test::Press(shown.window, IDCANCEL);
    EXPECT_EQ(ui->Result(), 2);
}

TEST_F(MainDialogTest, HWithoutAltIsNotHelp) {
    automation::PressKey('H');
    ASSERT_TRUE(automation::Settle());
    std::lock_guard lock(launches_.mutex);
    EXPECT_TRUE(launches_.starts.empty());
}

TEST_F(MainDialogTest, WithNoHelpViewerItSaysSoAndStaysOpen) {
    launches_.succeed = false;
    automation::PressKey('H', automation::kAlt);
    auto box = app_test::Expect(app_test::WaitForMessageBox(), "the help failure message");
    EXPECT_EQ(box.title, u"VezazuZU");
    EXPECT_EQ(app_test::MessageText(box.window), u"Failed to launch help.");
    EXPECT_TRUE(automation::Control(box.window, IDOK).has_value());
    app_test::Press(box.window, IDOK);
    ASSERT_TRUE(automation::WaitGone(box.window));
    EXPECT_EQ(MainDialogShown().window, shown.window);
    app_test::Press(shown.window, IDCANCEL);
    EXPECT_EQ(ui->Result(), 2);
}

}  // namespace
