// The program's main loop and its main dialog, driven as a user would through the automation
// path: buttons, keys, the close box, help, and what comes back after each choice.
#include <core/program_objects.h>
#include <dialogs/main_dialog.h>
#include <resources/resource.h>

#include <sstream>

#include "app_test_support.h"

namespace {

namespace automation = app_test::automation;
using app_test::CountingCardDevice;

class MainLoopTest : public app_test::HandheldTest {
protected:
    void SetUp() override {
        HandheldTest::SetUp();
        automation::LogShownDialogs(&log);
    }
    void TearDown() override {
        automation::LogShownDialogs(nullptr);
        HandheldTest::TearDown();
    }

    void InsertDrive() {
        auto device = std::make_shared<CountingCardDevice>(counts, CountingCardDevice::Behaviour::Answer,
                                                           app_test::Terminated(u"Storage"));
        ASSERT_NE(platform::RegisterInProcessDevice(u"CRD", 0, device), nullptr);
    }
    automation::DialogInfo MainDialogShown() { return app_test::Expect(automation::WaitForDialog(101), "the main dialog"); }
    std::unique_ptr<app_test::UiThread<bool>> StartLoop() {
        return std::make_unique<app_test::UiThread<bool>>([] { return backupApplication.RunMainLoop(); });
    }

    std::ostringstream log;
    app_test::CardDeviceCounts counts;
};

TEST_F(MainLoopTest, CancelWithNoDriveEndsSilently) {
    auto loop = StartLoop();
    automation::Click(MainDialogShown().window, IDCANCEL);
    EXPECT_FALSE(loop->Result());
    EXPECT_EQ(log.str().find("dialog 104"), std::string::npos) << log.str();
    EXPECT_EQ(pathSeparator, ui::TextString(u"\\"));
}

TEST_F(MainLoopTest, BackupWithNoDriveEndsWithTheNoDriveMessage) {
    auto loop = StartLoop();
    automation::Click(MainDialogShown().window, IDC_BACKUP);
    auto message = app_test::Expect(automation::WaitForDialog(104), "the closing message");
    EXPECT_EQ(message.Control(1010)->text, u"Application Error 15 \nNo Quorva drive found");
    automation::Click(message.window, IDOK);
    EXPECT_FALSE(loop->Result());
}

TEST_F(MainLoopTest, EnterWithNoDriveIsAnyOtherButtonAndReportsTheSearch) {
    auto loop = StartLoop();
    automation::PressKey(MainDialogShown().window, VK_RETURN);
    auto message = app_test::Expect(automation::WaitForDialog(104), "the closing message");
    EXPECT_EQ(message.Control(1010)->text, u"Application Error 15 \nNo Quorva drive found");
    automation::PressKey(message.window, VK_RETURN);
    EXPECT_FALSE(loop->Result());
}

TEST_F(MainLoopTest, WithADriveEveryChoiceButCancelReturnsToTheMainDialog) {
    InsertDrive();
    auto loop = StartLoop();
    auto first = MainDialogShown();
    automation::Click(first.window, IDC_BACKUP);
    auto second = app_test::Expect(automation::WaitForDialog([&](const automation::DialogInfo& d) {
        return d.templateId == 101 && d.window != first.window;
    }), "the main dialog again");
    EXPECT_EQ(backupApplication.job.backupPath, ui::TextString(u"\\Storage\\Field 3-18-1999 23.05"));
    automation::Click(second.window, IDC_RESTORE);
    auto third = app_test::Expect(automation::WaitForDialog([&](const automation::DialogInfo& d) {
        return d.templateId == 101 && d.window != second.window;
    }), "the main dialog a third time");
    // Enter right after opening gives 1, which the loop passes over.
    automation::PressKey(third.window, VK_RETURN);
    auto fourth = app_test::Expect(automation::WaitForDialog([&](const automation::DialogInfo& d) {
        return d.templateId == 101 && d.window != third.window;
    }), "the main dialog a fourth time");
    automation::Click(fourth.window, IDCANCEL);
    EXPECT_FALSE(loop->Result());
    EXPECT_EQ(counts.opens, 4) << "the drive is looked for after every choice, Cancel included";
    EXPECT_EQ(log.str().find("dialog 104"), std::string::npos);
}

TEST_F(MainLoopTest, TheMainDialogShownAgainIsCentredWithTheFocusOnBackupAndItsIcon) {
    InsertDrive();
    auto loop = StartLoop();
    auto first = MainDialogShown();
    automation::Click(first.window, IDC_BACKUP);
    auto again = app_test::Expect(automation::WaitForDialog([&](const automation::DialogInfo& d) {
        return d.templateId == 101 && d.window != first.window;
    }), "the main dialog again");
    for (const auto& shown : {first, again}) {
        const RECT work = automation::WorkArea();
        const int width = shown.rect.right - shown.rect.left, height = shown.rect.bottom - shown.rect.top;
        EXPECT_EQ(shown.rect.left, (work.right - width) / 2);
        EXPECT_EQ(shown.rect.top, (work.bottom - height) / 2);
        EXPECT_EQ(shown.client.right - shown.client.left, 278);
        EXPECT_EQ(shown.client.bottom - shown.client.top, 150);
        EXPECT_TRUE(shown.Control(IDC_BACKUP)->focused);
        const HICON icon = LoadIcon(GetModuleHandle(nullptr), MAKEINTRESOURCE(102));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(shown.bigIcon, icon);
        EXPECT_EQ(shown.smallIcon, icon);
        EXPECT_TRUE(shown.foreground);
    }
    automation::Click(again.window, IDCANCEL);
    loop->Result();
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
            if (auto open = automation::WaitForDialog(101, 2000)) automation::Click(open->window, IDCANCEL);
        }
        ui.reset();
        MainLoopTest::TearDown();
    }

    MainDialog dialog;
    std::unique_ptr<app_test::UiThread<INT_PTR>> ui;
    automation::DialogInfo shown;
};

TEST_F(MainDialogTest, EscapeGivesTwo) {
    automation::PressKey(shown.window, VK_ESCAPE);
    EXPECT_EQ(ui->Result(), 2);
}

TEST_F(MainDialogTest, TheCloseBoxGivesTwo) {
    ASSERT_TRUE(automation::ClickCloseBox(shown.window));
    EXPECT_EQ(ui->Result(), 2);
}

TEST_F(MainDialogTest, MnemonicsChooseTheirButtons) {
    automation::PressKey(shown.window, 'R', automation::kModAlt);
    EXPECT_EQ(ui->Result(), IDC_RESTORE);
}

TEST_F(MainDialogTest, AltHStartsTheHelpViewerAndLeavesTheDialogOpen) {
    automation::PressKey(shown.window, 'H', automation::kModAlt);
    ASSERT_TRUE(automation::WaitSettled());
    {
        std::lock_guard lock(launches_.mutex);
        ASSERT_EQ(launches_.starts.size(), 1u);
        EXPECT_EQ(launches_.starts[0].first, u"PegHelp.exe");
        EXPECT_EQ(launches_.starts[0].second, u"file:Quorva Tools for Windows CE.htc");
    }
    auto still = MainDialogShown();
    EXPECT_EQ(still.window, shown.window);
    EXPECT_FALSE(ui->Ended(0));
    automation::Click(still.window, IDC_BACKUP);
    EXPECT_EQ(ui->Result(), IDC_BACKUP);
}

TEST_F(MainDialogTest, HWithoutAltIsNotHelp) {
    automation::PressKey(shown.window, 'H');
    ASSERT_TRUE(automation::WaitSettled());
    std::lock_guard lock(launches_.mutex);
    EXPECT_TRUE(launches_.starts.empty());
}

TEST_F(MainDialogTest, WithNoHelpViewerItSaysSoAndStaysOpen) {
    launches_.succeed = false;
    automation::PressKey(shown.window, 'H', automation::kModAlt);
    auto box = app_test::Expect(automation::WaitForMessageBox(), "the help failure message");
    EXPECT_EQ(box.title, u"VezazuZU");
    EXPECT_EQ(box.MessageText(), u"Failed to launch help.");
    EXPECT_NE(box.Control(IDOK), nullptr);
    automation::Click(box.window, IDOK);
    EXPECT_EQ(MainDialogShown().window, shown.window);
    automation::Click(shown.window, IDCANCEL);
    EXPECT_EQ(ui->Result(), 2);
}

}  // namespace
