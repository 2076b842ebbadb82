// Finding the drive through the card devices, and the backup folder's name.
#include <core/drive_folder.h>
#include <core/program_objects.h>
#include <dialogs/backup_selection_dialog.h>

#include <array>

#include "app_test_support.h"

namespace {

using app_test::CardDeviceCounts;
using app_test::CountingCardDevice;
using Behaviour = CountingCardDevice::Behaviour;
using app_test::Terminated;

class DriveDiscoveryTest : public app_test::HandheldTest {
protected:
    void SetUp() override {
        HandheldTest::SetUp();
        pathSeparator = u"\\";
        wcscpy(driveFolder, u"\\Earlier");
    }

    std::shared_ptr<CountingCardDevice> Offer(DWORD index, Behaviour behaviour, std::u16string field = {}) {
        auto device = std::make_shared<CountingCardDevice>(counts[index], behaviour, std::move(field));
        EXPECT_NE(platform::RegisterInProcessDevice(u"CRD", index, device), nullptr);
        return device;
    }

    std::array<CardDeviceCounts, 10> counts;
    ui::TextString path = u"unchanged";
};

TEST_F(DriveDiscoveryTest, OnlyCrd3AnswersAndTheDevicesAfterItAreNeverOpened) {
    Offer(0, Behaviour::FailOpen);
    Offer(1, Behaviour::FailRequest);
    Offer(2, Behaviour::FailRequest);
    auto answering = Offer(3, Behaviour::Answer, app_test::Terminated(u"Storage"));
    for (DWORD i = 4; i < 10; ++i) Offer(i, Behaviour::Answer, app_test::Terminated(u"Other"));

    ASSERT_EQ(backupApplication.DiscoverDrive(path), 0u);

    EXPECT_EQ(counts[0].opens, 0);
    for (int i : {1, 2, 3}) {
        EXPECT_EQ(counts[i].opens, 1) << "CRD" << i;
        EXPECT_EQ(counts[i].requests, 1) << "CRD" << i;
        EXPECT_EQ(counts[i].closes, 1) << "CRD" << i << " is closed whether it answered or not";
    }
    for (int i = 4; i < 10; ++i) EXPECT_EQ(counts[i].opens, 0) << "CRD" << i;
    EXPECT_EQ(ui::TextString(driveFolder), ui::TextString(u"\\Storage"));
    EXPECT_EQ(path, ui::TextString(u"\\Storage\\Field 3-18-1999 23.05"));
    // The request: code 250, the zeroed 272-byte record as the input, no output buffer.
    EXPECT_EQ(answering->lastCode, 250u);
    EXPECT_EQ(answering->lastInSize, 272u);
    EXPECT_EQ(answering->lastOut, nullptr);
    EXPECT_EQ(answering->lastOutSize, 0u);
    EXPECT_TRUE(answering->zeroedOnArrival);
}

TEST_F(DriveDiscoveryTest, OfTwoAnsweringDevicesTheLowerIndexWins) {
    Offer(2, Behaviour::Answer, app_test::Terminated(u"Second"));
    Offer(5, Behaviour::Answer, app_test::Terminated(u"Fifth"));
    ASSERT_EQ(backupApplication.DiscoverDrive(path), 0u);
    EXPECT_EQ(ui::TextString(driveFolder), ui::TextString(u"\\Second"));
    EXPECT_EQ(counts[5].opens, 0);
}

TEST_F(DriveDiscoveryTest, AnEmptyFolderNameGivesTheRootAndTwoBackslashes) {
    Offer(0, Behaviour::Answer, app_test::Terminated(u""));
    ASSERT_EQ(backupApplication.DiscoverDrive(path), 0u);
    EXPECT_EQ(ui::TextString(driveFolder), ui::TextString(u"\\"));
    EXPECT_EQ(path, ui::TextString(u"\\\\Field 3-18-1999 23.05"));
}

TEST_F(DriveDiscoveryTest, AFolderNameWithoutTerminatorIsCutWithinItsField) {
    const std::u16string full(128, u'x');  // all 128 units used, no terminator
    Offer(0, Behaviour::Answer, full);
    ASSERT_EQ(backupApplication.DiscoverDrive(path), 0u);
    EXPECT_EQ(wcslen(driveFolder), 128u) << "the backslash and 127 characters";
    EXPECT_EQ(path, ui::TextString(u"\\") + ui::TextString(u'x', 127) + u"\\Field 3-18-1999 23.05");
}

TEST_F(DriveDiscoveryTest, TheTimeSuffixHasAnUnpaddedHourAndATwoDigitMinute) {
    Offer(0, Behaviour::Answer, app_test::Terminated(u"Storage"));
    struct Case {
        SYSTEMTIME time;
        const char16_t* expected;
    } cases[] = {
        {platform::MakeSystemTime(2000, 1, 1, 9, 5), u"\\Storage\\Field 1-1-2000 9.05"},
        {platform::MakeSystemTime(1999, 12, 31, 0, 0), u"\\Storage\\Field 12-31-1999 0.00"},
        {platform::MakeSystemTime(2001, 10, 9, 23, 59), u"\\Storage\\Field 10-9-2001 23.59"},
    };
    for (const Case& c : cases) {
        Clock().SetLocalTime(c.time);
        ASSERT_EQ(backupApplication.DiscoverDrive(path), 0u);
        EXPECT_EQ(path, ui::TextString(c.expected));
    }
}

TEST_F(DriveDiscoveryTest, NoAnsweringDeviceGives15AndChangesNothing) {
    Offer(0, Behaviour::FailRequest);
    Offer(9, Behaviour::FailOpen);
    EXPECT_EQ(backupApplication.DiscoverDrive(path), 15u);
    EXPECT_EQ(path, ui::TextString(u"unchanged"));
    EXPECT_EQ(ui::TextString(driveFolder), ui::TextString(u"\\Earlier"));
    EXPECT_EQ(counts[0].closes, 1);
}

TEST_F(DriveDiscoveryTest, AMissingIdentKeyReturnsItsErrorWithoutLookingForTheDrive) {
    testing_support::LoadHive("REGEDIT4\n");
    Offer(0, Behaviour::Answer, app_test::Terminated(u"Storage"));
    EXPECT_EQ(backupApplication.DiscoverDrive(path), 2u);
    EXPECT_EQ(counts[0].opens, 0);
    EXPECT_EQ(path, ui::TextString(u"unchanged"));
    EXPECT_EQ(ui::TextString(driveFolder), ui::TextString(u"\\Earlier"));
}

// Leaves a stretch of the stack full of 'Z', as earlier calls may leave it.
[[gnu::noinline]] void DirtyTheStack() {
    volatile char16_t dirt[2048];
    for (auto& unit : dirt) unit = u'Z';
}

// The device name as both of its readers see it: the backup folder's name begins with it, and
// the restore offers the folders that begin with it.
TEST_F(DriveDiscoveryTest, BothReadersTakeTheNameUpToWhereTheStoredValueEnds) {
    Offer(0, Behaviour::Answer, app_test::Terminated(u"Storage"));
    ASSERT_TRUE(CreateDirectory(u"\\Storage", nullptr));
    const std::u16string folders[] = {u"ab 1-1-1999 1.00", u"ABCDEFGHIJKLMNOPQRS 1-1-1999 1.00", u"Field 1-1-1999 1.00"};
    for (const auto& folder : folders) ASSERT_TRUE(CreateDirectory((u"\\Storage\\" + folder).c_str(), nullptr));

    struct Case {
        const char* what;
        std::u16string stored;  // the value's bytes exactly as stored, terminator only if given
        DWORD bytes;            // how many of them
        std::u16string name;
    } cases[] = {
        {"terminated", Terminated(u"Field"), 12, u"Field"},
        {"two characters without terminator", u"ab", 4, u"ab"},
        {"an odd byte count", u"abc", 5, u"ab"},
        {"19 characters and the terminator", Terminated(u"ABCDEFGHIJKLMNOPQRS"), 40, u"ABCDEFGHIJKLMNOPQRS"},
        {"20 characters without terminator", u"ABCDEFGHIJKLMNOPQRST", 40, u"ABCDEFGHIJKLMNOPQRS"},
        {"20 characters and the terminator: too long", Terminated(u"ABCDEFGHIJKLMNOPQRST"), 42, u""},
        {"no value", u"", 0, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing_support::LoadHive("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Ident]\n");
        if (c.bytes > 0) {
            HKEY key;
            ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Ident", 0, 0, &key), 0);
            ASSERT_EQ(RegSetValueEx(key, u"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.stored.data()), c.bytes), 0);
            RegCloseKey(key);
        }
        DirtyTheStack();
        ASSERT_EQ(backupApplication.DiscoverDrive(path), 0u);
        EXPECT_EQ(path.str(), u"\\Storage\\" + c.name + u" 3-18-1999 23.05");

        std::vector<std::u16string> expected;
        for (const auto& folder : folders) {
            if (folder.starts_with(c.name)) expected.push_back(folder);
        }
        ui::StringList offered;
        DirtyTheStack();
        ListDeviceBackups(offered);
        std::vector<std::u16string> got;
        for (auto position = offered.GetHeadPosition(); position != 0;) got.push_back(offered.GetNext(position).str());
        EXPECT_EQ(got, expected);
    }
}

}  // namespace
