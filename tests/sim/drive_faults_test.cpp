// Each fault switch does what it says, and a reset or the next command gets the drive back.
#include <atomic>

#include "drive_host.h"

namespace sim_test {
namespace {

using sim::Sense;

constexpr uint8_t kDone = ata::kDrdy | ata::kDsc;
constexpr uint8_t kFailed = ata::kDrdy | ata::kErr;

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(drive_.InsertMedium(image_.path()));
        host_.ClearUnitAttentions();
    }
    TempImage image_{1024};
    sim::EmulatedDrive drive_;
    DriveHost host_{drive_};
};

TEST_F(Faults, AnInjectedErrorFailsTheMatchingCommandsWithItsSense) {
    drive_.InjectError({.match = {0x00}, .sense = {3, 0x0C, 0}, .times = 2});
    EXPECT_EQ(host_.Run(Read10(0, 1), 512).status, kDone);  // other opcodes unaffected
    for (int i = 0; i < 2; ++i) {
        const Outcome outcome = host_.Run(TestUnitReady(), 0);
        EXPECT_EQ(outcome.status, kFailed);
        EXPECT_EQ(outcome.error, 3 << 4);
        EXPECT_EQ(host_.Sense(), (Sense{3, 0x0C, 0}));
    }
    EXPECT_EQ(host_.Run(TestUnitReady(), 0).status, kDone);
}

TEST_F(Faults, AnInjectedErrorWithAbortSetsAbrtAndAnyCommandSparesRequestSense) {
    drive_.InjectError({.match = {}, .sense = {4, 0x44, 0}, .times = 1, .abort = true});
    const Outcome outcome = host_.Run(VendorStatus(), 64);
    EXPECT_EQ(outcome.error, 4 << 4 | ata::kAbrt);
    EXPECT_EQ(host_.Sense(), (Sense{4, 0x44, 0}));
}

TEST_F(Faults, APacketWatcherActsBeforeThePacketRuns) {
    // The second WRITE(10) is failed by a switch thrown from the watcher; the first runs.
    int writes = 0;
    drive_.WatchPackets([&](const sim::Packet& packet) {
        if (packet[0] == 0x2A && ++writes == 2) drive_.InjectError({.match = {0x2A}, .sense = {3, 0x0C, 0}});
    });
    const std::vector<uint8_t> block(512, 0x5A);
    EXPECT_EQ(host_.Run(Write10(1, 1), 512, Path::Wide, block).status, kDone);
    EXPECT_EQ(host_.Run(Write10(2, 1), 512, Path::Wide, block).status, kFailed);
    EXPECT_EQ(host_.Sense(), (Sense{3, 0x0C, 0}));
    drive_.WatchPackets({});
    EXPECT_EQ(host_.Run(Write10(2, 1), 512, Path::Wide, block).status, kDone);
    EXPECT_EQ(writes, 2);
}

TEST_F(Faults, RequestSenseItselfCanBeMadeToFail) {
    drive_.InjectError({.match = {0x03}, .sense = {5, 0x24, 0}});
    EXPECT_EQ(host_.Run(RequestSense(), 26).status, kFailed);
    EXPECT_EQ(host_.Sense(), (Sense{5, 0x24, 0}));
}

TEST_F(Faults, ReportedSenseReplacesWhatRequestSenseSays) {
    drive_.ReportSense({6, 0x29, 0}, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(host_.Sense(), (Sense{6, 0x29, 0}));
    EXPECT_EQ(host_.Sense(), (Sense{0, 0, 0}));
}

TEST_F(Faults, AbortOnErrorAddsAbrtToEveryFailedPacket) {
    drive_.SetAbortOnError(true);
    EXPECT_EQ(host_.Run(Read10(5000, 1), 512).error, 5 << 4 | ata::kAbrt);
    drive_.SetAbortOnError(false);
    EXPECT_EQ(host_.Run(Read10(5000, 1), 512).error, 5 << 4);
}

TEST_F(Faults, AStalledCommandStaysBusyUntilAReset) {
    drive_.StallNextCommand();
    host_.Select();
    host_.Command(ata::kPacket);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(host_.Status() & ata::kBsy, ata::kBsy);
    host_.Command(ata::kDeviceReset);
    EXPECT_EQ(host_.WaitNotBusy(), 0x00);
    host_.ClearUnitAttentions();
    EXPECT_EQ(host_.Run(TestUnitReady(), 0).status, kDone);  // the stall was for one command
}

TEST_F(Faults, AStalledPacketStaysBusyAfterItsPacket) {
    drive_.StallPacket({0x28});
    EXPECT_EQ(host_.Run(TestUnitReady(), 0).status, kDone);
    host_.SendPacket(Read10(0, 1), 512);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(host_.Status() & ata::kBsy, ata::kBsy);
    host_.Write(ata::kControl, ata::kSrst | ata::kNien);
    host_.Write(ata::kControl, ata::kNien);
    EXPECT_EQ(host_.WaitNotBusy(), 0x00);
}

TEST_F(Faults, AStallAfterABurstLeavesTheRestOfTheDataUnmoved) {
    drive_.StallAfterBurst(1);
    host_.SendPacket(Read10(0, 4), 512);
    std::vector<uint8_t> data;
    for (int burst = 0; burst < 2; ++burst) {
        EXPECT_EQ(host_.WaitNotBusy() & ata::kDrq, ata::kDrq);
        host_.ReadBurst(512, Path::Wide, data);
    }
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(host_.Status() & ata::kBsy, ata::kBsy);
}

TEST_F(Faults, MaximumBurstCutsEveryBurstEvenToOddLengths) {
    drive_.SetMaxBurst(101);
    const Outcome outcome = host_.Run(Read10(0, 1), 512, Path::Wide);
    EXPECT_EQ(outcome.bursts, (std::vector<uint16_t>{101, 101, 101, 101, 101, 7}));
    EXPECT_EQ(outcome.data.size(), 512u);
    EXPECT_EQ(outcome.status, kDone);
}

TEST_F(Faults, AnOddBurstInMidTransferKeepsTheBytesInOrderOnTheWidePath) {
    const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> b(1024);
        for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 5 + 1);
        return b;
    }();
    host_.Run(Write10(10, 2), 1024, Path::Wide, bytes);
    drive_.SetBurstPattern({512, 3, 509});
    const Outcome outcome = host_.Run(Read10(10, 2), 1024, Path::Wide);
    EXPECT_EQ(outcome.bursts, (std::vector<uint16_t>{512, 3, 509}));
    EXPECT_EQ(outcome.data, bytes);
    // The pattern was for one data phase only.
    EXPECT_EQ(host_.Run(Read10(10, 2), 1024).bursts, (std::vector<uint16_t>{1024}));
}

TEST_F(Faults, AZeroCountBurstRaisesDrqWithNothingAnnounced) {
    drive_.AnnounceZeroCount(1);
    host_.SendPacket(Read10(0, 2), 512);
    EXPECT_EQ(host_.WaitNotBusy() & ata::kDrq, ata::kDrq);
    EXPECT_EQ(host_.ByteCount(), 512);
    std::vector<uint8_t> data;
    host_.ReadBurst(512, Path::Wide, data);
    EXPECT_EQ(host_.WaitNotBusy(), kDone | ata::kDrq);
    EXPECT_EQ(host_.ByteCount(), 0);
    EXPECT_EQ(host_.Read(ata::kSectorCount), ata::kReasonDataIn);
    // A reset gets the drive out of it.
    host_.Command(ata::kDeviceReset);
    EXPECT_EQ(host_.WaitNotBusy(), 0x00);
}

TEST_F(Faults, MoreBytesAnnouncedThanRequestedKeepDrqUpAfterTheRemainder) {
    drive_.AnnounceExtraBytes(6);
    host_.SendPacket(RequestSense(), 26);
    host_.WaitNotBusy();
    EXPECT_EQ(host_.ByteCount(), 32);
    std::vector<uint8_t> data;
    host_.ReadBurst(26, Path::Wide, data);
    EXPECT_EQ(data[0], 0x70);
    EXPECT_EQ(host_.WaitNotBusy() & ata::kDrq, ata::kDrq);  // the surplus is still there
    host_.ReadBurst(6, Path::Wide, data);
    EXPECT_EQ(host_.WaitNotBusy(), kDone);
    EXPECT_EQ(std::vector<uint8_t>(data.begin() + 26, data.end()), std::vector<uint8_t>(6, 0));
}

TEST_F(Faults, SurplusBytesOfADataOutPhaseAreDropped) {
    drive_.AnnounceExtraBytes(4);
    std::vector<uint8_t> bytes(516, 0x5A);
    bytes[512] = bytes[513] = bytes[514] = bytes[515] = 0xDD;
    const Outcome outcome = host_.Run(Write10(1, 1), 512, Path::Wide, bytes);
    EXPECT_EQ(outcome.bursts, (std::vector<uint16_t>{516}));
    EXPECT_EQ(outcome.status, kDone);
    EXPECT_EQ(image_.ReadBytes(512, 512), std::vector<uint8_t>(512, 0x5A));
    EXPECT_EQ(image_.ReadBytes(1024, 4), std::vector<uint8_t>(4, 0));
}

TEST_F(Faults, NothingAnsweringReadsAllOnesAndTakesNoWrites) {
    drive_.SetNothingAnswering(true);
    EXPECT_EQ(host_.Status(), 0xFF);
    host_.Write(ata::kByteCountLow, 0x55);
    EXPECT_EQ(host_.Read(ata::kByteCountLow), 0xFF);
    EXPECT_EQ(host_.ReadWord(), 0xFFFF);
    drive_.ClearReceivedCommands();
    host_.Command(ata::kIdentifyPacketDevice);
    EXPECT_TRUE(drive_.ReceivedCommands().empty());
    drive_.SetNothingAnswering(false);
    EXPECT_EQ(host_.Status(), kDone);
}

TEST_F(Faults, ThePullSwitchRunsTheHandlerAfterTheNthAccess) {
    std::atomic<int> pulls{0};
    std::atomic<uint64_t> atPull{0};
    drive_.SetCardPullHandler([&] {
        ++pulls;
        atPull = drive_.StatusReads();
    });
    drive_.PullCardAfterAccesses(3);
    host_.Status();
    host_.Status();
    EXPECT_EQ(pulls.load(), 0);
    host_.Status();
    EXPECT_EQ(pulls.load(), 1);
    EXPECT_EQ(atPull.load(), drive_.StatusReads());  // after the third access, before a fourth
    host_.Status();
    EXPECT_EQ(pulls.load(), 1);
    drive_.PullCardAfterAccesses(0);
    EXPECT_EQ(pulls.load(), 2);
    drive_.SetCardPullHandler(nullptr);  // the drive's end would pull once more
}

TEST_F(Faults, PowerOffLeavesNothingAnswering) {
    drive_.PowerOff();
    EXPECT_EQ(host_.Status(), 0xFF);
    drive_.PowerOn();
    EXPECT_EQ(host_.Status(), 0x00);
    EXPECT_EQ(host_.Sense(), (Sense{6, 0x29, 0}));
}

}  // namespace
}  // namespace sim_test
