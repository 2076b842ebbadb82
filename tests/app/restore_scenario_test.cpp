// Restores as a user makes them: Restore, the choice of backup, the questions before a file is
// replaced, the progress dialog and the closing message; and what the device holds afterwards.
#include <core/restore_engine.h>
#include <dialogs/confirm_replace_dialog.h>
#include <dialogs/progress_dialog.h>

#include "engine_test_support.h"

namespace {

using namespace app_test;
using Op = testing_support::FaultyBackend::Op;

const std::u16string kChosen = u"\\Storage\\Field 3-17-1999 10.00";

class RestoreScenarioTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeFolder(kChosen);
    }
    // A question other than the one answered last.
    automation::WindowInfo Question() {
        auto shownNow = Expect(automation::WaitForWindow([this](const automation::WindowInfo& w) {
            return w.templateId == IDD_CONFIRM_REPLACE && w.window != lastQuestion;
        }), "the question");
        lastQuestion = shownNow.window;
        // Keys go to the front window, which the question stays, even when the progress
        // dialog comes up after it.
        automation::Settle();
        EXPECT_TRUE(automation::Window(shownNow.window)->active);
        return shownNow;
    }
    HWND lastQuestion = nullptr;
    void StartRestore() {
        StartAction(IDC_RESTORE);
        ChooseFirstBackup();
    }
};

TEST_F(RestoreScenarioTest, FilesGoBackToTheirPlacesButNeverTheProgramsOwnFile) {
    PutFile(kChosen + u"\\notes.txt", "notes");
    MakeFolder(kChosen + u"\\A");
    PutFile(kChosen + u"\\A\\x.txt", "x");
    PutFile(kChosen + u"\\Tandel.exe", "program");
    MakeFolder(kChosen + u"\\Only program");
    PutFile(kChosen + u"\\Only program\\Tandel.exe", "program");
    MakeFolder(kChosen + u"\\B");
    PutFile(kChosen + u"\\B\\tandel.exe", "other letter case");
    StartRestore();
    EXPECT_EQ(ClosingMessage(), u"Operation Complete");
    EXPECT_EQ(ReadWhole(u"\\notes.txt"), "notes");
    EXPECT_EQ(ReadWhole(u"\\A\\x.txt"), "x");
    EXPECT_FALSE(Exists(u"\\Tandel.exe"));
    EXPECT_FALSE(Exists(u"\\Only program")) << "no folder without a restored file";
    EXPECT_EQ(ReadWhole(u"\\B\\tandel.exe"), "other letter case");
}

TEST_F(RestoreScenarioTest, TheDestinationFolderStartsAtTheThirdBackslash) {
    TransferJob job;
    job.source = u"\\Drive\\Backup";
    EXPECT_EQ(RestoreDestinationFolder(job, u"\\Drive\\Backup"), ui::TextString());
    EXPECT_EQ(RestoreDestinationFolder(job, u"\\Drive\\Backup\\A"), ui::TextString(u"\\A"));
    EXPECT_EQ(RestoreDestinationFolder(job, u"\\Drive\\Backup\\Windows\\Fonts"), ui::TextString(u"\\Windows\\Fonts"));
    job.source = u"\\Drive\\A much longer backup name than this run's";
    EXPECT_EQ(RestoreDestinationFolder(job, u"\\Drive\\B\\A"), ui::TextString());
    job.source = u"\\Drive\\B";
    EXPECT_EQ(RestoreDestinationFolder(job, u"\\Drive\\B\\A"), ui::TextString(u"\\A"));
}

TEST_F(RestoreScenarioTest, TheQuestionNamesTheDevicesFileFirstThenTheBackupsCopy) {
    PutFile(u"\\doc.txt", std::string(1000, 'd'));
    SetWriteTime(u"\\doc.txt", 1999, 1, 2, 0, 30);
    PutFile(kChosen + u"\\doc.txt", std::string(1234567, 'b'));
    SetWriteTime(kChosen + u"\\doc.txt", 2000, 12, 31, 12, 5);
    PutFile(u"\\late.txt", "1");
    SetWriteTime(u"\\late.txt", 2001, 7, 4, 23, 59);
    PutFile(kChosen + u"\\late.txt", "22");
    SetWriteTime(kChosen + u"\\late.txt", 1999, 3, 18, 13, 0);
    StartRestore();
    auto first = Question();
    EXPECT_EQ(first.title, u"Confirm Replace");
    EXPECT_EQ(TextOf(first.window, IDC_CONFIRM_TEXT),
              u"\\doc.txt already exist.\n\n  Would you like to replace\n"
              u"    1,000 bytes modified on 1/2/1999 0:30 AM\nWith this one?\n"
              u"    1,234,567 bytes modified on 12/31/2000 12:05 PM");
    automation::PressKey(VK_RETURN);  // Yes, the default button
    auto second = Question();
    EXPECT_EQ(TextOf(second.window, IDC_CONFIRM_TEXT),
              u"\\late.txt already exist.\n\n  Would you like to replace\n"
              u"    1 bytes modified on 7/4/2001 11:59 PM\nWith this one?\n"
              u"    2 bytes modified on 3/18/1999 1:00 PM");
    Press(second.window, IDNO);
    EXPECT_EQ(ClosingMessage(), u"Operation Complete");
    EXPECT_EQ(ReadWhole(u"\\doc.txt")->size(), 1234567u);
    EXPECT_EQ(ReadWhole(u"\\late.txt"), "1");
}

TEST_F(RestoreScenarioTest, YesToAllHoldsForTheRestOfThisRestoreOnly) {
    for (const char16_t* name : {u"\\e1.txt", u"\\e2.txt", u"\\e3.txt"}) {
        PutFile(name, "device");
        PutFile(kChosen + name, "backup");
    }
    StartRestore();
    Press(Question().window, IDNO);
    auto second = Question();
    EXPECT_TRUE(TextOf(second.window, IDC_CONFIRM_TEXT).starts_with(u"\\e2.txt"));
    Press(second.window, IDC_YES_TO_ALL);
    EXPECT_EQ(ClosingMessage(), u"Operation Complete");
    EXPECT_EQ(TimesShown(IDD_CONFIRM_REPLACE), 2);
    EXPECT_EQ(ReadWhole(u"\\e1.txt"), "device");
    EXPECT_EQ(ReadWhole(u"\\e2.txt"), "backup");
    EXPECT_EQ(ReadWhole(u"\\e3.txt"), "backup");

    // The next restore asks again.
    StartRestore();
    Press(Question().window, IDYES);
    Press(Question().window, IDYES);
    Press(Question().window, IDYES);
    EXPECT_EQ(ClosingMessage(), u"Operation Complete");
    EXPECT_EQ(TimesShown(IDD_CONFIRM_REPLACE), 5);
}

TEST_F(RestoreScenarioTest, EscapeOrTheCloseBoxKeepsTheFileStopsTheRestoreAndReturnsToTheMainDialog) {
    for (bool closeBox : {false, true}) {
        PutFile(u"\\a.txt", "device");
        PutFile(kChosen + u"\\a.txt", "backup");
        PutFile(kChosen + u"\\b.txt", "backup");
        DeleteFile(u"\\b.txt");
        const HWND main = StartAction(IDC_RESTORE);
        ChooseFirstBackup();
        auto question = Question();
        EXPECT_TRUE(question.closeBox);
        if (closeBox) {
            ASSERT_TRUE(automation::ClickCloseBox(question.window));
        } else {
            automation::PressKey(VK_ESCAPE);
        }
        BackAtMainDialogThenQuit(main);
        EXPECT_EQ(ReadWhole(u"\\a.txt"), "device");
        EXPECT_FALSE(Exists(u"\\b.txt")) << "the restore stopped after the question";
    }
}

TEST_F(RestoreScenarioTest, DeviceFilesInUseOrRefusedAreSkipped) {
    PutFile(kChosen + u"\\busy.txt", "b");
    PutFile(kChosen + u"\\locked.txt", "l");
    PutFile(kChosen + u"\\ok.txt", "o");
    device->HoldOpen(u"\\busy.txt");
    device->FailOn(Op::StageFile, u"\\locked.txt", ERROR_ACCESS_DENIED);
    StartRestore();
    EXPECT_EQ(ClosingMessage(), u"Operation Complete");
    EXPECT_FALSE(Exists(u"\\busy.txt"));
    EXPECT_FALSE(Exists(u"\\locked.txt"));
    EXPECT_EQ(ReadWhole(u"\\ok.txt"), "o");
}

TEST_F(RestoreScenarioTest, AFullDeviceStopsTheRestore) {
    PutFile(kChosen + u"\\a.txt", std::string(10, 'a'));
    PutFile(kChosen + u"\\b.txt", std::string(10, 'b'));
    PutFile(kChosen + u"\\c.txt", std::string(10, 'c'));
    device->FailWritesAfter(15);
    StartRestore();
    EXPECT_EQ(ClosingMessage(), u"Application Error 112\nDestination disk full");
    EXPECT_TRUE(Exists(u"\\a.txt"));
    EXPECT_FALSE(Exists(u"\\b.txt"));
    EXPECT_FALSE(Exists(u"\\c.txt"));
}

// 30 bytes restored of 100 show as 30 on the bar while the question waits; Cancel in the
// progress dialog then stops the restore after the file asked about, and what was restored stays.
TEST_F(RestoreScenarioTest, CancelDuringAQuestionStopsAfterItAndKeepsWhatWasRestored) {
    PutFile(kChosen + u"\\first.txt", std::string(30, 'f'));
    PutFile(u"\\q.txt", "device");
    PutFile(kChosen + u"\\q.txt", std::string(30, 'q'));
    PutFile(kChosen + u"\\z.txt", std::string(40, 'z'));
    const HWND main = StartAction(IDC_RESTORE);
    ChooseFirstBackup();
    auto progress = Expect(automation::WaitForTemplate(IDD_PROGRESS), "the progress dialog");
    auto question = Question();
    automation::AdvanceTime(1000);
    EXPECT_EQ(automation::Control(progress.window, IDC_PROGRESS)->position, 30);
    // The question covers the progress dialog on the screen, so its Cancel button is clicked
    // by message rather than by a tap.
    const HWND cancel = automation::Control(progress.window, IDCANCEL)->window;
    PostMessage(cancel, BM_CLICK, 0, 0);
    EXPECT_TRUE(automation::WaitUntil([] { return cancelRequested.load() == 1; }));
    Press(question.window, IDYES);
    BackAtMainDialogThenQuit(main);
    EXPECT_EQ(ReadWhole(u"\\first.txt"), std::string(30, 'f'));
    EXPECT_EQ(ReadWhole(u"\\q.txt"), std::string(30, 'q'));
    EXPECT_FALSE(Exists(u"\\z.txt"));
}

// The question comes from the worker and the progress dialog from the user-interface thread,
// in any order; the question is in front with the keyboard until it is answered.
TEST_F(RestoreScenarioTest, TheQuestionStaysInFrontOfTheProgressDialogWhicheverComesUpFirst) {
    enum class Order { QuestionFirst, Together, ProgressFirst };
    for (Order order : {Order::QuestionFirst, Order::Together, Order::ProgressFirst}) {
        SCOPED_TRACE(static_cast<int>(order));
        replaceAll.store(0);
        cancelRequested.store(0);
        const WIN32_FIND_DATA entry{};
        TransferContext context;
        std::unique_ptr<UiThread<int>> question;
        std::unique_ptr<UiThread<INT_PTR>> progress;
        const auto ask = [&] {
            question = std::make_unique<UiThread<int>>([&] { return ConfirmReplace(context, u"\\a.txt", entry, entry); });
        };
        const auto showProgress = [&] {
            progress = std::make_unique<UiThread<INT_PTR>>([] { return ProgressDialog().DoModal(); });
        };
        if (order == Order::ProgressFirst) {
            showProgress();
            Expect(automation::WaitForTemplate(IDD_PROGRESS), "the progress dialog");
        }
        ask();
        if (order == Order::QuestionFirst) Expect(automation::WaitForTemplate(IDD_CONFIRM_REPLACE), "the question");
        if (order != Order::ProgressFirst) showProgress();
        const auto progressWindow = Expect(automation::WaitForTemplate(IDD_PROGRESS), "the progress dialog");
        const auto questionWindow = Expect(automation::WaitForTemplate(IDD_CONFIRM_REPLACE), "the question");
        automation::Settle();
        EXPECT_EQ(automation::Windows().front().window, questionWindow.window);
        EXPECT_TRUE(automation::Window(questionWindow.window)->active);

        automation::PressKey(VK_RETURN);  // Yes, the question's default button
        EXPECT_EQ(question->Result(), 1);
        EXPECT_EQ(cancelRequested.load(), 0) << "the progress dialog did not take the key";
        Press(progressWindow.window, IDCANCEL);
        EXPECT_EQ(progress->Result(), IDCANCEL);
    }
}

TEST(FormatByteCountTest, GroupsTheWholeNumberByThrees) {
    WCHAR text[BYTE_COUNT_CHARS + 1];
    const std::pair<DWORD, std::u16string> cases[] = {
        {0, u"0"}, {999, u"999"}, {1000, u"1,000"}, {1234567, u"1,234,567"}, {4294967295u, u"4,294,967,295"}};
    for (const auto& [value, expected] : cases) {
        FormatByteCount(value, text, BYTE_COUNT_CHARS);
        EXPECT_EQ(std::u16string(text), expected);
    }
    FormatByteCount(1234567, text, 3);
    EXPECT_EQ(std::u16string(text), u"1,2") << "cut to the capacity, terminated";
    FormatByteCount(5, nullptr, 12);  // nothing to write into
}

}  // namespace
