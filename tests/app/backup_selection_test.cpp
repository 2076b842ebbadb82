// The choice of backup before a restore: which folders are offered, in which order, and the
// path that OK yields.
#include <dialogs/backup_selection_dialog.h>

#include "engine_test_support.h"

namespace {

using namespace app_test;

class BackupSelectionTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        wcscpy(driveFolder, u"\\Storage");
    }
    void Open() {
        dialog = std::make_unique<BackupSelectionDialog>();
        ui = std::make_unique<UiThread<INT_PTR>>([this] { return dialog->DoModal(); });
        window = Expect(automation::WaitForTemplate(IDD_SELECT_BACKUP), "the backup selection");
    }
    void TearDown() override {
        ui.reset();
        EngineTest::TearDown();
    }
    std::vector<std::u16string> Offered() { return automation::Control(window.window, IDC_BACKUP_LIST)->items; }

    std::unique_ptr<BackupSelectionDialog> dialog;
    std::unique_ptr<UiThread<INT_PTR>> ui;
    automation::WindowInfo window;
};

TEST_F(BackupSelectionTest, OnlyFoldersBeginningWithTheDeviceNameAreOfferedInListingOrder) {
    MakeFolder(u"\\Storage\\Field 3-18-1999 23.05");
    MakeFolder(u"\\Storage\\Other 1-1-1999 1.00");
    MakeFolder(u"\\Storage\\field 1-1-1999 1.00");
    MakeFolder(u"\\Storage\\Fieldwork 3-18-1999 23.30");
    PutFile(u"\\Storage\\Field notes.txt", "a file");
    MakeFolder(u"\\Storage\\Field 1-2-1999 9.00");
    Open();
    EXPECT_EQ(Offered(), (std::vector<std::u16string>{u"Field 3-18-1999 23.05", u"Fieldwork 3-18-1999 23.30",
                                                      u"Field 1-2-1999 9.00"}));
    EXPECT_EQ(automation::Control(window.window, IDC_BACKUP_LIST)->selection, 0);
    const HWND combo = automation::Control(window.window, IDC_BACKUP_LIST)->window;
    SendMessage(combo, CB_SETCURSEL, 2, 0);
    automation::PressKey(VK_RETURN);
    EXPECT_EQ(ui->Result(), IDOK);
    EXPECT_EQ(dialog->selectedPath, ui::TextString(u"\\Storage\\Field 1-2-1999 9.00"));
}

TEST_F(BackupSelectionTest, WithNothingToOfferOkActsAsCancel) {
    MakeFolder(u"\\Storage\\Other 1-1-1999 1.00");
    Open();
    EXPECT_TRUE(Offered().empty());
    Press(window.window, IDOK);
    EXPECT_EQ(ui->Result(), IDCANCEL);
    EXPECT_TRUE(dialog->selectedPath.IsEmpty());
}

TEST_F(BackupSelectionTest, ADriveFolderOfABackslashAloneGivesAPathWithTwo) {
    wcscpy(driveFolder, u"\\");
    MakeFolder(u"\\Field 3-18-1999 23.05");
    Open();
    Press(window.window, IDOK);
    EXPECT_EQ(ui->Result(), IDOK);
    EXPECT_EQ(dialog->selectedPath, ui::TextString(u"\\\\Field 3-18-1999 23.05"));
}

TEST_F(BackupSelectionTest, TheDeviceNameAndTheDriveFolderDecideWhatIsOfferedAndEscapeCancels) {
    const std::u16string nineteen = u"ABCDEFGHIJKLMNOPQRS 1-1-1999 1.00", other = u"Other 1-1-1999 1.00";
    MakeFolder(u"\\Storage\\" + nineteen);
    MakeFolder(u"\\Storage\\" + other);
    const char16_t twenty[] = u"ABCDEFGHIJKLMNOPQRST";  // stored as 40 bytes, no terminator
    struct Case {
        const char* what;
        const char* hive;
        const BYTE* name;  // a raw value written after the hive, when given
        const char16_t* driveFolder;
        std::vector<std::u16string> offered;
    } cases[] = {
        {"a name filling its 40 bytes is cut to 19 characters", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Ident]\n",
         reinterpret_cast<const BYTE*>(twenty), u"\\Storage", {nineteen}},
        {"no name value: every folder", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Ident]\n", nullptr, u"\\Storage",
         {nineteen, other}},
        {"no Ident key: every folder", "REGEDIT4\n", nullptr, u"\\Storage", {nineteen, other}},
        {"a drive folder that is not there: nothing", kDefaultHive, nullptr, u"\\Missing", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing_support::LoadHive(c.hive);
        if (c.name != nullptr) {
            HKEY key;
            ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Ident", 0, 0, &key), 0);
            ASSERT_EQ(RegSetValueEx(key, u"Name", 0, REG_SZ, c.name, 40), 0);
            RegCloseKey(key);
        }
        wcscpy(driveFolder, c.driveFolder);
        Open();
        EXPECT_EQ(Offered(), c.offered);
        automation::PressKey(VK_ESCAPE);
        EXPECT_EQ(ui->Result(), IDCANCEL);
        EXPECT_TRUE(dialog->selectedPath.IsEmpty());
    }
}

TEST_F(BackupSelectionTest, RestoreThenCancelInTheSelectionReturnsToTheMainDialog) {
    MakeFolder(u"\\Storage\\Field 3-18-1999 23.05");
    const HWND main = StartAction(IDC_RESTORE);
    auto selection = Expect(automation::WaitForTemplate(IDD_SELECT_BACKUP), "the backup selection");
    Press(selection.window, IDCANCEL);
    BackAtMainDialogThenQuit(main);
}

}  // namespace
