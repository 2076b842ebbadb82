// Sense and unit attentions: what each failure reports, in which order the checks apply, and
// when sense is cleared.
#include <platform/clock.h>

#include "drive_host.h"

namespace sim_test {
namespace {

using sim::Sense;

constexpr uint8_t kFailed = ata::kDrdy | ata::kErr;

class SenseRules : public ::testing::Test {
protected:
    TempImage image_{1024};
    sim::EmulatedDrive drive_;
    DriveHost host_{drive_};
};

TEST_F(SenseRules, RequestSenseIsFixedFormatTwentySixBytes) {
    const Outcome outcome = host_.Run(RequestSense(), 26);
    ASSERT_EQ(outcome.data.size(), 26u);
    EXPECT_EQ(outcome.data[0], 0x70);
    EXPECT_EQ(outcome.data[2], 6);
    EXPECT_EQ(outcome.data[7], 18);
    EXPECT_EQ(outcome.data[12], 0x29);
    EXPECT_EQ(outcome.data[13], 0);
}

TEST_F(SenseRules, UnitAttentionsArriveInOrderThenNone) {
    // Power-on, then a medium inserted: 0x29, 0x28, then nothing.
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    const Outcome refused = host_.Run(TestUnitReady(), 0);
    EXPECT_EQ(refused.status, kFailed);
    EXPECT_EQ(refused.error, 6 << 4);
    EXPECT_EQ(host_.Sense(), (Sense{6, 0x29, 0}));
    EXPECT_EQ(host_.Sense(), (Sense{6, 0x28, 0}));
    EXPECT_EQ(host_.Sense(), (Sense{0, 0, 0}));
    EXPECT_EQ(host_.Run(TestUnitReady(), 0).status, ata::kDrdy | ata::kDsc);
}

TEST_F(SenseRules, APendingUnitAttentionFailsEveryCommandButRequestSenseAndInquiry) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    for (const Packet& packet : {TestUnitReady(), Read10(0, 1), VendorStatus(), ModeSense2F(),
                                 Cdb({0xEE})}) {
        const Outcome outcome = host_.Run(packet, 512);
        EXPECT_EQ(outcome.status, kFailed);
        EXPECT_EQ(outcome.error, 6 << 4);
        EXPECT_TRUE(outcome.bursts.empty());
    }
    const Outcome inquiry = host_.Run(Cdb({0x12, 0, 0, 0, 36}), 36);
    EXPECT_EQ(inquiry.status, ata::kDrdy | ata::kDsc);
    ASSERT_EQ(inquiry.data.size(), 36u);
    EXPECT_EQ(std::string(inquiry.data.begin() + 8, inquiry.data.begin() + 16), "QUORVA  ");
    EXPECT_EQ(std::string(inquiry.data.begin() + 16, inquiry.data.begin() + 24), "ZAPT! 40");
    // Failing commands did not consume the attention.
    EXPECT_EQ(host_.Sense(), (Sense{6, 0x29, 0}));
}

TEST_F(SenseRules, WithoutAMediumCommandsThatNeedOneGetNoMedium) {
    host_.ClearUnitAttentions();
    for (const Packet& packet : {TestUnitReady(), Read10(0, 1), Write10(0, 1)}) {
        const Outcome outcome = host_.Run(packet, 512);
        EXPECT_EQ(outcome.status, kFailed);
        EXPECT_EQ(outcome.error, 2 << 4);
        EXPECT_EQ(host_.Sense(), (Sense{2, 0x3A, 0}));
    }
    // Commands about the drive itself still work.
    EXPECT_EQ(host_.Run(ModeSense2F(), 10).status, ata::kDrdy | ata::kDsc);
    const Outcome status = host_.Run(VendorStatus(), 64);
    ASSERT_EQ(status.data.size(), 64u);
    EXPECT_EQ(status.data[21], 0);
}

TEST_F(SenseRules, SenseIsClearedOnceReportedAndByASuccessfulCommand) {
    host_.ClearUnitAttentions();
    host_.Run(TestUnitReady(), 0);
    EXPECT_EQ(host_.Sense(), (Sense{2, 0x3A, 0}));
    EXPECT_EQ(host_.Sense(), (Sense{0, 0, 0}));

    host_.Run(TestUnitReady(), 0);  // fails again
    EXPECT_EQ(host_.Run(VendorStatus(), 64).status, ata::kDrdy | ata::kDsc);
    EXPECT_EQ(host_.Sense(), (Sense{0, 0, 0}));
}

TEST_F(SenseRules, ChecksApplyInOrder) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.ClearUnitAttentions();
    // A data command with a byte-count limit of 0 is aborted (ABRT), before the opcode check.
    Outcome outcome = host_.Run(Read10(0, 1), 0);
    EXPECT_EQ(outcome.status, kFailed);
    EXPECT_EQ(outcome.error, 5 << 4 | ata::kAbrt);
    EXPECT_EQ(host_.Sense(), (Sense{5, 0x24, 0}));
    // ... but a no-data command with limit 0 is fine.
    EXPECT_EQ(host_.Run(TestUnitReady(), 0).status, ata::kDrdy | ata::kDsc);
    // Unknown opcode.
    outcome = host_.Run(Cdb({0xEE}), 512);
    EXPECT_EQ(outcome.error, 5 << 4);
    EXPECT_EQ(host_.Sense(), (Sense{5, 0x20, 0}));
    // LBA out of range: the last block is fine, one past it is not.
    EXPECT_EQ(host_.Run(Read10(1023, 1), 512).data.size(), 512u);
    outcome = host_.Run(Read10(1023, 2), 1024);
    EXPECT_EQ(outcome.status, kFailed);
    EXPECT_TRUE(outcome.bursts.empty());
    EXPECT_EQ(host_.Sense(), (Sense{5, 0x21, 0}));
    EXPECT_EQ(host_.Run(Read10(0xFFFFFFFF, 1), 512).status, kFailed);
    EXPECT_EQ(host_.Sense(), (Sense{5, 0x21, 0}));
}

TEST_F(SenseRules, NoMediumComesBeforeTheLimitCheckAndTheAttentionBeforeBoth) {
    Outcome outcome = host_.Run(Read10(0, 1), 0);
    EXPECT_EQ(outcome.error, 6 << 4);  // the power-on attention first
    host_.ClearUnitAttentions();
    outcome = host_.Run(Read10(0, 1), 0);
    EXPECT_EQ(outcome.error, 2 << 4);
    EXPECT_EQ(host_.Sense(), (Sense{2, 0x3A, 0}));
}

TEST_F(SenseRules, RemovalThenInsertionGivesNoMediumThenMediumChanged) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.ClearUnitAttentions();
    drive_.EjectMedium();
    host_.Run(TestUnitReady(), 0);
    EXPECT_EQ(host_.Sense(), (Sense{2, 0x3A, 0}));
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.Run(TestUnitReady(), 0);
    EXPECT_EQ(host_.Sense(), (Sense{6, 0x28, 0}));
    EXPECT_EQ(host_.Run(TestUnitReady(), 0).status, ata::kDrdy | ata::kDsc);
}

TEST_F(SenseRules, ASwapBetweenTwoCommandsShowsOnlyOneMediumChange) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.ClearUnitAttentions();
    drive_.EjectMedium();
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    drive_.EjectMedium();
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.Run(TestUnitReady(), 0);
    EXPECT_EQ(host_.Sense(), (Sense{6, 0x28, 0}));
    EXPECT_EQ(host_.Sense(), (Sense{0, 0, 0}));
}

TEST_F(SenseRules, AResetPutsItsAttentionAheadOfAPendingMediumChange) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.ClearUnitAttentions();
    drive_.EjectMedium();
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.Select();
    host_.Command(ata::kDeviceReset);
    host_.WaitNotBusy();
    EXPECT_EQ(host_.Sense(), (Sense{6, 0x29, 0}));
    EXPECT_EQ(host_.Sense(), (Sense{6, 0x28, 0}));
    EXPECT_EQ(host_.Sense(), (Sense{0, 0, 0}));
}

TEST_F(SenseRules, AMediumBecomingReadyAnswersNotReadyForTheConfiguredCommands) {
    sim::DriveSettings settings;
    settings.timing.becomingReadyCommands = 2;
    sim::EmulatedDrive drive(settings);
    DriveHost host(drive);
    ASSERT_TRUE(drive.InsertMedium(image_.path()));
    host.ClearUnitAttentions();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(host.Run(TestUnitReady(), 0).status, kFailed);
        EXPECT_EQ(host.Sense(), (Sense{2, 0x04, 0x01}));
    }
    EXPECT_EQ(host.Run(TestUnitReady(), 0).status, ata::kDrdy | ata::kDsc);
}

TEST_F(SenseRules, AMediumBecomingReadyForATimeUsesThePlatformClock) {
    auto& clock = platform::UseVirtualClock(platform::MakeSystemTime(2001, 1, 1));
    sim::DriveSettings settings;
    settings.timing.becomingReadyMilliseconds = 500;
    sim::EmulatedDrive drive(settings);
    DriveHost host(drive);
    ASSERT_TRUE(drive.InsertMedium(image_.path()));
    host.ClearUnitAttentions();
    clock.Advance(499);
    EXPECT_EQ(host.Run(TestUnitReady(), 0).status, kFailed);
    EXPECT_EQ(host.Sense(), (Sense{2, 0x04, 0x01}));
    clock.Advance(1);
    EXPECT_EQ(host.Run(TestUnitReady(), 0).status, ata::kDrdy | ata::kDsc);
    platform::UseRealClock();
}

}  // namespace
}  // namespace sim_test
