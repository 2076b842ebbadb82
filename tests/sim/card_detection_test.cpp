// Detection as a card insertion runs it: the Detect subkeys asked in number order, libraries
// and functions that are missing passed over, the claiming entry's driver handed the card.
#include <gtest/gtest.h>
#include <platform/installer.h>
#include <platform/pc_card.h>
#include <platform/text.h>
#include <support/registry_helpers.h>
#include <support/temp_folder.h>

#include <cstring>

#include "sim/drive/medium_image.h"
#include "sim/socket/pc_card_socket.h"

namespace {

using platform::DetectionStep;
using Outcome = platform::DetectionStep::Outcome;

std::string Hive(const std::string& entries) {
    return "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Drivers\\PCMCIA\\Detect]\n\n" + entries;
}

std::string Entry(const std::string& number, const std::string& dll, const std::string& entry) {
    return "[HKEY_LOCAL_MACHINE\\Drivers\\PCMCIA\\Detect\\" + number + "]\n\"Dll\"=\"" + dll +
           "\"\n\"Entry\"=\"" + entry + "\"\n\n";
}

const std::string kPlatformEntries =
    Entry("60", "ATADISK.DLL", "DetectATADisk") + Entry("65", "SRAMDISK.DLL", "DetectSRAMDisk");

// A socket holding a card of a given function and nothing behind it.
class FakeCard final : public platform::CardSlot {
public:
    explicit FakeCard(BYTE function) : function_(function) {}
    bool ReadIdentity(CARD_IDENTITY& identity) override {
        identity = {};
        std::strcpy(identity.maker, "OTHER");
        identity.functionId = function_;
        return true;
    }
    bool IoWindow(PUCHAR&, PUCHAR&, bool&) override { return false; }

private:
    BYTE function_;
};

std::vector<std::pair<std::string, Outcome>> Steps(const platform::DetectionResult& result) {
    std::vector<std::pair<std::string, Outcome>> steps;
    for (const auto& step : result.steps) steps.emplace_back(platform::ToUtf8(step.subkey), step.outcome);
    return steps;
}

class CardDetection : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim::CreateBlankImage(folder_.Path() / "medium.img", 2048));
        ASSERT_TRUE(drive_.InsertMedium(folder_.Path() / "medium.img"));
    }
    void TearDown() override {
        platform::CardRemoved(0);
        platform::SetCardSlot(0, nullptr);
        platform::ResetRegistry();
    }
    platform::DetectionResult InsertDrive() {
        platform::SetCardSlot(0, &socket_);
        EXPECT_TRUE(socket_.Insert(drive_));
        return platform::CardInserted(0);
    }

    testing_support::TempFolder folder_;
    sim::EmulatedDrive drive_;
    sim::PcCardSocket socket_;
};

TEST_F(CardDetection, TheDrivesCardIdentifiesItselfThroughSocketServices) {
    platform::SetCardSlot(0, &socket_);
    CARD_IDENTITY identity{};
    SetLastError(0);
    EXPECT_FALSE(CardGetIdentity(0, &identity));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    ASSERT_TRUE(socket_.Insert(drive_));
    ASSERT_TRUE(CardGetIdentity(0, &identity));
    EXPECT_STREQ(identity.maker, "QUORVA");
    EXPECT_STREQ(identity.product, "ZAPT! 40");
    EXPECT_EQ(identity.functionId, CARD_FUNCTION_FIXED_DISK);
    EXPECT_FALSE(CardGetIdentity(1, &identity));  // no socket plugged there
}

TEST_F(CardDetection, EntriesAreTriedInNumberOrderAndMissingOnesArePassedOver) {
    // Named so that text order differs from number order.
    testing_support::LoadHive(Hive(Entry("100", "ATADISK.DLL", "DetectATADisk") +
                                   Entry("9", "SRAMDISK.DLL", "DetectSRAMDisk") +
                                   Entry("10", "NOSUCH.DLL", "Detect") +
                                   Entry("20", "SRAMDISK.DLL", "NoSuchFunction") +
                                   Entry("x1", "SRAMDISK.DLL", "DetectSRAMDisk")));
    const auto result = InsertDrive();
    EXPECT_EQ(Steps(result), (std::vector<std::pair<std::string, Outcome>>{
                                 {"9", Outcome::Declined}, {"10", Outcome::NoLibrary},
                                 {"20", Outcome::NoFunction}, {"100", Outcome::Claimed}}));
    EXPECT_EQ(result.driver, u"ATADISK.DLL");
}

TEST_F(CardDetection, ThePlatformsAtaDriverClaimsThePacketDriveButCannotUseIt) {
    testing_support::LoadHive(Hive(kPlatformEntries));
    const auto result = InsertDrive();
    ASSERT_TRUE(result.claimed);
    EXPECT_EQ(Steps(result).front(), std::make_pair(std::string("60"), Outcome::Claimed));
    EXPECT_FALSE(result.attached);
    EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_NOT_READY));
    EXPECT_NE(result.Describe().find("detection entry 60 (ATADISK.DLL DetectATADisk)"), std::string::npos);
    // Unusable until it is inserted again: a second insertion report is refused.
    EXPECT_EQ(platform::CardInserted(0).error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST_F(CardDetection, MemoryCardsGoToTheSramDriverAndOnlyThere) {
    testing_support::LoadHive(Hive(kPlatformEntries));
    FakeCard memory(CARD_FUNCTION_MEMORY);
    platform::SetCardSlot(0, &memory);
    auto result = platform::CardInserted(0);
    EXPECT_EQ(Steps(result), (std::vector<std::pair<std::string, Outcome>>{
                                 {"60", Outcome::Declined}, {"65", Outcome::Claimed}}));
    platform::CardRemoved(0);

    FakeCard serial(0x02);
    platform::SetCardSlot(0, &serial);
    result = platform::CardInserted(0);
    EXPECT_FALSE(result.claimed);
    EXPECT_EQ(result.steps.size(), 2u);
}

}  // namespace
