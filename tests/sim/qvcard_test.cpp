// QVCARD handed the emulated drive's card by the platform's detection: the drive brought up,
// its disk mounted at \Storage through QVDISK and QVATAPI, the medium's volume readable by the
// PC tools, and the card taken out, pulled or emptied at awkward moments.
#include <gtest/gtest.h>
#include <platform/fs/fat_interop/pc_tools.h>
#include <platform/installer.h>
#include <platform/pc_card.h>
#include <support/device_files.h>
#include <support/registry_helpers.h>
#include <support/temp_folder.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "sim/card/card_controls.h"
#include "sim/drive/medium_image.h"
#include "sim/socket/pc_card_socket.h"

namespace {

using fat_interop::CheckVolume;
using fat_interop::Quoted;
using fat_interop::RunTool;
using testing_support::WriteWholeFile;

constexpr uint32_t kBlocks = 32768;  // 16 MB

const char kPlatformHive[] = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Drivers\PCMCIA\Detect]

[HKEY_LOCAL_MACHINE\Drivers\PCMCIA\Detect\60]
"Dll"="ATADISK.DLL"
"Entry"="DetectATADisk"

[HKEY_LOCAL_MACHINE\Drivers\PCMCIA\Detect\65]
"Dll"="SRAMDISK.DLL"
"Entry"="DetectSRAMDisk"
)";

// CRD0: control; 0 or the error.
DWORD CardControl(DWORD code, void* in, DWORD inSize) {
    HANDLE card = CreateFile(u"CRD0:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (card == INVALID_HANDLE_VALUE) return GetLastError();
    const BOOL ok = DeviceIoControl(card, code, in, inSize, nullptr, 0, nullptr, nullptr);
    const DWORD error = ok ? 0 : GetLastError();
    CloseHandle(card);
    return error;
}

class Qvcard : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = folder_.Path() / "card.img";
        ASSERT_TRUE(sim::CreateBlankImage(image_, kBlocks));
        ASSERT_TRUE(drive_.InsertMedium(image_));
        testing_support::LoadHive(kPlatformHive);
        platform::SetCardSlot(0, &socket_);
    }
    void TearDown() override {
        platform::CardRemoved(0);
        socket_.Remove();
        platform::SetCardSlot(0, nullptr);
        platform::ResetRegistry();
    }
    void Install() {
        ASSERT_EQ(platform::RunSetupLibrary(u"QVSETUP.DLL", platform::SetupAction::Install).initCode, 0u);
    }
    platform::DetectionResult Insert() {
        EXPECT_TRUE(socket_.Insert(drive_));
        return platform::CardInserted(0);
    }
    // Inserted, claimed by QVCARD and formatted: \Storage is the medium's volume.
    void InsertFormatted() {
        Install();
        const auto result = Insert();
        ASSERT_TRUE(result.attached) << result.Describe();
        char16_t label[] = u"TEST";
        ASSERT_EQ(CardControl(qvcard::kCardFormatCode, label, sizeof label), 0u);
    }
    static bool Mounted() { return GetFileAttributes(u"\\Storage") != INVALID_FILE_ATTRIBUTES; }
    std::string Folder() {
        CommandRecord record{};
        if (CardControl(250, &record, sizeof record) != 0) return "(no answer)";
        std::string name;
        for (const WCHAR* c = record.info.folderName; *c; ++c) name += static_cast<char>(*c);
        return name;
    }

    testing_support::TempFolder folder_;
    std::filesystem::path image_;
    sim::EmulatedDrive drive_;
    sim::PcCardSocket socket_;
};

TEST_F(Qvcard, ClaimsTheDriveWhenThePackageIsInstalledAndOffersItsDisk) {
    Install();
    const auto result = Insert();
    ASSERT_TRUE(result.claimed);
    EXPECT_EQ(result.steps.front().dll, u"QVCARD.DLL");
    EXPECT_EQ(result.steps.front().subkey, u"59");
    EXPECT_TRUE(result.attached) << result.Describe();
    EXPECT_EQ(Folder(), "Storage");
    CommandRecord record{};
    EXPECT_EQ(CardControl(250, &record, sizeof record - 1), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CardControl(250, nullptr, sizeof record), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CardControl(249, &record, sizeof record), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(Mounted());  // a blank medium holds no volume yet
    char16_t label[] = u"TEST";
    ASSERT_EQ(CardControl(qvcard::kCardFormatCode, label, sizeof label), 0u);
    EXPECT_TRUE(Mounted());
}

TEST_F(Qvcard, WithoutThePackageTheAtaDriverTakesTheCardAndNoDriveIsOffered) {
    Install();
    ASSERT_EQ(platform::RunSetupLibrary(u"QVSETUP.DLL", platform::SetupAction::Uninstall).initCode, 0u);
    const auto result = Insert();
    ASSERT_TRUE(result.claimed);
    EXPECT_EQ(result.driver, u"ATADISK.DLL");
    EXPECT_FALSE(result.attached);
    // What the backup program asks first: no CRD device, so it ends with error 15.
    EXPECT_EQ(CreateFile(u"CRD0:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

TEST(QvcardVariant, TheAtaVariantIsClaimedAndMarkedAsAnAtaDevice) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(sim::CreateBlankImage(folder.Path() / "ata.img", kBlocks));
    sim::DriveSettings settings;
    settings.variant = sim::DriveVariant::Ata;
    sim::EmulatedDrive drive(settings);
    ASSERT_TRUE(drive.InsertMedium(folder.Path() / "ata.img"));
    sim::PcCardSocket socket;
    testing_support::LoadHive(kPlatformHive);
    ASSERT_EQ(platform::RunSetupLibrary(u"QVSETUP.DLL", platform::SetupAction::Install).initCode, 0u);
    platform::SetCardSlot(0, &socket);
    ASSERT_TRUE(socket.Insert(drive));
    const auto result = platform::CardInserted(0);
    EXPECT_EQ(result.driver, u"QVCARD.DLL");
    EXPECT_TRUE(result.attached) << result.Describe();
    CommandRecord record{};
    EXPECT_EQ(CardControl(250, &record, sizeof record), 0u);
    EXPECT_EQ(record.info.deviceKind, DEVICE_KIND_ATA);
    platform::CardRemoved(0);
    platform::SetCardSlot(0, nullptr);
    platform::ResetRegistry();
}

TEST_F(Qvcard, FilesWrittenOnTheHandheldReadBackOnThePc) {
    SKIP_WITHOUT_TOOLS("fsck.fat", "mcopy");
    InsertFormatted();
    ASSERT_TRUE(CreateDirectory(u"\\Storage\\Field 3-18-1999 23.05", nullptr));
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 511);
    ASSERT_TRUE(WriteWholeFile(u"\\Storage\\Field 3-18-1999 23.05\\Big document.bin", big));
    platform::CardRemoved(0);  // taken out in order: everything reaches the medium
    socket_.Remove();
    EXPECT_EQ(CheckVolume(image_).exitCode, 0) << CheckVolume(image_).output;
    const auto out = folder_.Path() / "out.bin";
    const auto copy = RunTool("mcopy -n -i " + Quoted(image_.string()) +
                              " '::/Field 3-18-1999 23.05/Big document.bin' " + Quoted(out.string()));
    ASSERT_EQ(copy.exitCode, 0) << copy.output;
    const auto back = fat_interop::ReadHostFile(out);
    EXPECT_TRUE(std::string(back.begin(), back.end()) == big);
}

TEST_F(Qvcard, AnEjectedMediumIsUnmountedAndANewOneMounted) {
    InsertFormatted();
    drive_.EjectMedium();
    EXPECT_EQ(CardControl(qvcard::kCardRescanCode, nullptr, 0), static_cast<DWORD>(ERROR_NOT_READY));
    EXPECT_FALSE(Mounted());
    ASSERT_TRUE(drive_.InsertMedium(image_));
    // The first check after a change meets the drive's unit attention; the next registers it.
    CardControl(qvcard::kCardRescanCode, nullptr, 0);
    EXPECT_EQ(CardControl(qvcard::kCardRescanCode, nullptr, 0), 0u);
    EXPECT_TRUE(Mounted());
}

TEST_F(Qvcard, ACardPulledUnderAWriteEndsItWithAnErrorAndComesBackWhenInsertedAgain) {
    SKIP_WITHOUT_TOOLS("fsck.fat");
    InsertFormatted();
    ASSERT_TRUE(WriteWholeFile(u"\\Storage\\kept.txt", "kept"));
    drive_.PullCardAfterAccesses(4000);
    EXPECT_FALSE(WriteWholeFile(u"\\Storage\\lost.bin", std::string(200000, 'x')));
    platform::CardRemoved(0);
    EXPECT_FALSE(Mounted());
    EXPECT_EQ(CreateFile(u"DSK1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    const auto check = CheckVolume(image_);
    EXPECT_TRUE(check.exitCode == 0 || check.output.find("lost") != std::string::npos ||
                check.output.find("Free cluster") != std::string::npos)
        << check.output;

    const auto again = Insert();
    ASSERT_TRUE(again.attached) << again.Describe();
    EXPECT_TRUE(Mounted());
    EXPECT_NE(GetFileAttributes(u"\\Storage\\kept.txt"), INVALID_FILE_ATTRIBUTES);
}

// QVATAPI changes the medium's state inside the block requests of whichever thread writes; the
// card driver's medium checks read it from another. Across medium changes under a stream of
// writes, the two meet only under the socket's lock (the thread sanitizer build checks it), and
// the card comes back whole.
TEST_F(Qvcard, MediumChecksBesideAnotherThreadsWritesAcrossMediumChanges) {
    InsertFormatted();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) WriteWholeFile(i % 2 ? u"\\Storage\\a.bin" : u"\\Storage\\b.bin", std::string(8192, 'w'));
    });
    for (int round = 0; round < 3; ++round) {
        drive_.EjectMedium();
        for (int i = 0; i < 10; ++i) CardControl(qvcard::kCardRescanCode, nullptr, 0);
        ASSERT_TRUE(drive_.InsertMedium(image_));
        for (int i = 0; i < 10; ++i) CardControl(qvcard::kCardRescanCode, nullptr, 0);
    }
    stop = true;
    writer.join();
    CardControl(qvcard::kCardRescanCode, nullptr, 0);
    EXPECT_EQ(CardControl(qvcard::kCardRescanCode, nullptr, 0), 0u);
    EXPECT_TRUE(Mounted());
    EXPECT_TRUE(WriteWholeFile(u"\\Storage\\after.txt", "after"));
}

}  // namespace
