// Backups as a user makes them: Backup in the main dialog, the progress dialog, the closing
// message; and what the object store and the drive's disk hold afterwards.
#include <core/backup_engine.h>
#include <core/copy_tree.h>
#include <platform/host_folder_backend.h>

#include <fstream>

#include "engine_test_support.h"
#include "support/temp_folder.h"

namespace {

using namespace app_test;
using Op = testing_support::FaultyBackend::Op;

const std::u16string kBackup = kBackupPath;

class BackupScenarioTest : public EngineTest {};

TEST_F(BackupScenarioTest, AFullBackupMirrorsTheTreeWithoutRomFilesTheDriveFolderOrEmptyFolders) {
    // A store in a host folder with ROM files merged into \Windows.
    testing_support::TempFolder host;
    std::filesystem::create_directories(host.Path() / "rom" / "Windows");
    std::ofstream(host.Path() / "rom" / "Windows" / "system.dll", std::ios::binary) << "rom code";
    platform::MountRoot(std::make_shared<platform::HostFolderBackend>(
        platform::HostFolderOptions{host.Path() / "store", {}, host.Path() / "rom"}));

    PutFile(u"\\root.txt", "at the root");
    MakeFolder(u"\\My Documents");
    MakeFolder(u"\\My Documents\\Letters to the housing association");
    PutFile(u"\\My Documents\\Letters to the housing association\\Complaint about the heating.txt", "Dear Sir");
    PutFile(u"\\My Documents\\Read only.txt", "keep", FILE_ATTRIBUTE_READONLY);
    // \Windows exists in ROM only: the file creates its store folder.
    PutFile(u"\\Windows\\user.ini", "[user]");
    MakeFolder(u"\\Empty");
    MakeFolder(u"\\Empty\\Also empty");
    // An earlier backup on the disk must not be copied into the new one.
    MakeFolder(u"\\Storage\\Field 3-17-1999 10.00");
    PutFile(u"\\Storage\\Field 3-17-1999 10.00\\old.txt", "old");

    StartAction(IDC_BACKUP);
    EXPECT_EQ(ClosingMessage(), u"Operation Complete");

    EXPECT_EQ(ReadWhole(kBackup + u"\\root.txt"), "at the root");
    EXPECT_EQ(ReadWhole(kBackup + u"\\My Documents\\Letters to the housing association\\Complaint about the heating.txt"),
              "Dear Sir");
    EXPECT_EQ(ReadWhole(kBackup + u"\\My Documents\\Read only.txt"), "keep");
    EXPECT_EQ(ReadWhole(kBackup + u"\\Windows\\user.ini"), "[user]");
    EXPECT_FALSE(Exists(kBackup + u"\\Windows\\system.dll")) << "ROM files stay out";
    EXPECT_FALSE(Exists(kBackup + u"\\Empty")) << "folders without files are not reproduced";
    EXPECT_FALSE(Exists(kBackup + u"\\Storage")) << "the drive's folder is never entered";
    EXPECT_EQ(ReadWhole(u"\\Storage\\Field 3-17-1999 10.00\\old.txt"), "old");
}

TEST_F(BackupScenarioTest, RomFilesCountNoBytes) {
    testing_support::TempFolder host;
    std::filesystem::create_directories(host.Path() / "rom" / "Windows");
    std::ofstream(host.Path() / "rom" / "Windows" / "big.dll", std::ios::binary) << std::string(5000, 'r');
    platform::MountRoot(std::make_shared<platform::HostFolderBackend>(
        platform::HostFolderOptions{host.Path() / "store", {}, host.Path() / "rom"}));
    PutFile(u"\\Windows\\a.txt", std::string(7, 'a'));
    PutFile(u"\\b.txt", std::string(5, 'b'));
    (void)platform::Mount(u"Storage", disk);
    PutFile(u"\\Storage\\ignored.txt", std::string(100, 'x'));
    wcscpy(driveFolder, u"\\Storage");
    TransferJob job;
    TransferContext context{&job, 0};
    EXPECT_EQ(CountTreeBytes(context, ui::TextString()), 12u);
}

TEST_F(BackupScenarioTest, AReadOnlyCopyOfAnEarlierBackupOfTheSameMinuteIsOverwritten) {
    PutFile(u"\\notes.txt", "new", FILE_ATTRIBUTE_READONLY);
    MakeFolder(kBackup);
    PutFile(kBackup + u"\\notes.txt", "old", FILE_ATTRIBUTE_READONLY);
    StartAction(IDC_BACKUP);
    EXPECT_EQ(ClosingMessage(), u"Operation Complete");
    EXPECT_EQ(ReadWhole(kBackup + u"\\notes.txt"), "new");
    EXPECT_TRUE(GetFileAttributes((kBackup + u"\\notes.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(BackupScenarioTest, AFileInUseIsSkippedAndTheBackupStillCompletes) {
    PutFile(u"\\a.txt", "a");
    PutFile(u"\\busy.txt", "busy");
    PutFile(u"\\z.txt", "z");
    device->HoldOpen(u"\\busy.txt");
    StartAction(IDC_BACKUP);
    EXPECT_EQ(ClosingMessage(), u"Operation Complete");
    EXPECT_TRUE(Exists(kBackup + u"\\a.txt"));
    EXPECT_FALSE(Exists(kBackup + u"\\busy.txt"));
    EXPECT_TRUE(Exists(kBackup + u"\\z.txt"));
}

TEST_F(BackupScenarioTest, AccessDeniedStopsTheBackupWithMessageSix) {
    PutFile(u"\\a.txt", "a");
    PutFile(u"\\secret.txt", "s");
    PutFile(u"\\z.txt", "z");
    device->FailOn(Op::OpenFile, u"\\secret.txt", ERROR_ACCESS_DENIED);
    StartAction(IDC_BACKUP);
    EXPECT_EQ(ClosingMessage(), u"Application Error 5\nUnable to write.  Make sure the disk is not write protected.");
    EXPECT_TRUE(Exists(kBackup + u"\\a.txt"));
    EXPECT_FALSE(Exists(kBackup + u"\\z.txt")) << "the walk stops at the refused file";
}

TEST_F(BackupScenarioTest, AFullDiskStopsTheBackupAndKeepsWhatWasCopied) {
    PutFile(u"\\a.txt", std::string(10, 'a'));
    PutFile(u"\\b.txt", std::string(10, 'b'));
    PutFile(u"\\c.txt", std::string(10, 'c'));
    disk->FailWritesAfter(15);
    StartAction(IDC_BACKUP);
    EXPECT_EQ(ClosingMessage(), u"Application Error 112\nDestination disk full");
    EXPECT_EQ(ReadWhole(kBackup + u"\\a.txt"), std::string(10, 'a'));
    EXPECT_FALSE(Exists(kBackup + u"\\b.txt")) << "no half-written copy";
    EXPECT_FALSE(Exists(kBackup + u"\\c.txt"));
}

TEST_F(BackupScenarioTest, ABackupFolderThatCannotBeCreatedGivesItsCodeAndCopiesNothing) {
    PutFile(u"\\a.txt", "a");
    disk->FailOn(Op::CreateFolder, u"\\Field 3-18-1999 23.05", ERROR_PATH_NOT_FOUND);
    StartAction(IDC_BACKUP);
    EXPECT_EQ(ClosingMessage(), u"Application Error 3\nWrite failed. Make sure disk is inserted into drive.");
    EXPECT_FALSE(Exists(kBackup));
    const auto opened = deviceGate->Opened();
    EXPECT_EQ(std::count(opened.begin(), opened.end(), u"a.txt"), 0);
}

TEST_F(BackupScenarioTest, AWriteProtectedDiskGivesMessageSix) {
    PutFile(u"\\a.txt", "a");
    disk->SetWriteProtected(true);
    StartAction(IDC_BACKUP);
    EXPECT_EQ(ClosingMessage(), u"Application Error 19\nUnable to write.  Make sure the disk is not write protected.");
}

TEST_F(BackupScenarioTest, CancelStopsAfterTheCurrentFileRemovesTheBackupAndShowsNoMessage) {
    PutFile(u"\\a.txt", "a");
    PutFile(u"\\b.txt", "b");
    PutFile(u"\\c.txt", "c");
    deviceGate->Hold(u"b.txt");
    const HWND main = StartAction(IDC_BACKUP);
    auto progress = Expect(automation::WaitForTemplate(IDD_PROGRESS), "the progress dialog");
    ASSERT_TRUE(deviceGate->WaitReached());
    Press(progress.window, IDCANCEL);
    EXPECT_TRUE(automation::WaitUntil([] { return cancelRequested.load() == 1; }));
    ASSERT_TRUE(automation::WaitGone(progress.window));
    EXPECT_TRUE(Exists(kBackup + u"\\a.txt")) << "the worker still runs while the dialog is gone";
    deviceGate->Release();
    BackAtMainDialogThenQuit(main);
    EXPECT_FALSE(Exists(kBackup));
    const auto opened = deviceGate->Opened();
    EXPECT_EQ(std::count(opened.begin(), opened.end(), u"c.txt"), 0) << "no file after the current one";
}

TEST_F(BackupScenarioTest, CancelKeepsABackupFolderThatAnEarlierBackupOfTheSameMinuteMade) {
    MakeFolder(kBackup);
    PutFile(kBackup + u"\\earlier.txt", "earlier");
    PutFile(u"\\a.txt", "a");
    PutFile(u"\\b.txt", "b");
    deviceGate->Hold(u"b.txt");
    const HWND main = StartAction(IDC_BACKUP);
    auto progress = Expect(automation::WaitForTemplate(IDD_PROGRESS), "the progress dialog");
    ASSERT_TRUE(deviceGate->WaitReached());
    Press(progress.window, IDCANCEL);
    deviceGate->Release();
    BackAtMainDialogThenQuit(main);
    EXPECT_EQ(ReadWhole(kBackup + u"\\earlier.txt"), "earlier");
}

// The walk's percentages for a known tree: 40, 50, 10 and 4 bytes of 104 add 38 and 48; the
// 9 that would reach 95 is left out; the later 3 still adds.
TEST_F(BackupScenarioTest, ProgressStaysBelowNinetyFiveWhileCopyingAndAPauseComesBeforeOneHundred) {
    PutFile(u"\\a.txt", std::string(40, 'a'));
    PutFile(u"\\b.txt", std::string(50, 'b'));
    PutFile(u"\\c.txt", std::string(10, 'c'));
    PutFile(u"\\d.txt", std::string(4, 'd'));
    wcscpy(driveFolder, u"\\Storage");
    pathSeparator = u"\\";
    TransferJob job;
    job.backupPath = kBackup.c_str();
    job.mode = MODE_BACKUP;
    TransferContext context{&job, 0};
    cancelRequested.store(0);
    progressPercent.store(0);
    context.totalBytes = CountTreeBytes(context, job.source);
    ASSERT_EQ(context.totalBytes, 104u);
    ASSERT_TRUE(CreateDirectory(job.backupPath.c_str(), nullptr));
    EXPECT_EQ(CopyTree(context, job.source), 0u);
    EXPECT_EQ(progressPercent.load(), 89u);

    progressPercent.store(0);
    const uint64_t before = Clock().ElapsedMilliseconds();
    TransferContext fresh;
    EXPECT_EQ(PerformBackup(fresh, job), 0u);
    EXPECT_EQ(Clock().ElapsedMilliseconds() - before, 500u);
    EXPECT_EQ(progressPercent.load(), 100u);
}

TEST_F(BackupScenarioTest, TheIncrementIsTheTruncatedShareOfAnyFileSize) {
    struct Case {
        DWORD size, total;
        uint64_t increment;
    } cases[] = {
        {0, 0, 0},                     // an empty tree adds nothing
        {1, 3, 33},                    // truncated
        {50'000'000, 100'000'000, 50}, // a product above 32 bits
        {0xFFFFFFFF, 0xFFFFFFFF, 100},
        {0xFFFFFFFF, 1, 429'496'729'500},  // a total that wrapped past 4 GB
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProgressIncrement(c.size, c.total), c.increment) << c.size << " of " << c.total;
    }
}

TEST_F(BackupScenarioTest, ATreeOfEmptyFilesStaysAtZeroUntilTheEnd) {
    PutFile(u"\\a.txt", "");
    PutFile(u"\\b.txt", "");
    wcscpy(driveFolder, u"\\Storage");
    pathSeparator = u"\\";
    TransferJob job;
    job.backupPath = kBackup.c_str();
    job.mode = MODE_BACKUP;
    TransferContext context{&job, 0};
    cancelRequested.store(0);
    progressPercent.store(0);
    ASSERT_TRUE(CreateDirectory(job.backupPath.c_str(), nullptr));
    EXPECT_EQ(CopyTree(context, job.source), 0u);
    EXPECT_EQ(progressPercent.load(), 0u);
    EXPECT_TRUE(Exists(kBackup + u"\\b.txt"));
}

TEST_F(BackupScenarioTest, FolderChainsCreateEachFolderShortestFirstAndTakeExistingOnesAsSuccess) {
    pathSeparator = u"\\";
    TransferJob job;
    TransferContext context{&job, 0};
    EXPECT_EQ(CreateFolderChain(context, u"\\Storage\\One\\Two"), 0u) << "\\Storage exists: 183 is success";
    EXPECT_TRUE(Exists(u"\\Storage\\One\\Two"));
    EXPECT_EQ(CreateFolderChain(context, u"\\Storage\\One\\Two\\"), 0u) << "a trailing separator tries itself last";
    disk->FailOn(Op::CreateFolder, u"\\Three", ERROR_WRITE_PROTECT);
    EXPECT_EQ(CreateFolderChain(context, u"\\Storage\\Three\\Four"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND))
        << "the last failure's code";
    EXPECT_EQ(CreateFolderChain(context, u"\\Storage\\Three"), static_cast<DWORD>(ERROR_WRITE_PROTECT));
}

TEST_F(BackupScenarioTest, DeleteTreeRemovesReadOnlyAndSystemEntries) {
    pathSeparator = u"\\";
    MakeFolder(u"\\Gone");
    MakeFolder(u"\\Gone\\Inner");
    PutFile(u"\\Gone\\Inner\\ro.txt", "r", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    ASSERT_TRUE(SetFileAttributes(u"\\Gone\\Inner", FILE_ATTRIBUTE_READONLY));
    DeleteTree(u"\\Gone");
    EXPECT_FALSE(Exists(u"\\Gone"));
}

}  // namespace
