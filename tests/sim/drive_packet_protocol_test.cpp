// The PACKET protocol as a host sees it on the registers: phases, interrupt reasons, bursts
// cut by the byte-count limit, DRQ dropping with the last word, and what the drive ignores.
#include "drive_host.h"

namespace sim_test {
namespace {

class PacketProtocol : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(drive_.InsertMedium(image_.path()));
        host_.ClearUnitAttentions();
    }
    TempImage image_{2048};
    sim::EmulatedDrive drive_;
    DriveHost host_{drive_};
};

TEST_F(PacketProtocol, CommandWriteShowsBusyAtOnceThenThePacketRequest) {
    host_.Select();
    host_.Write(ata::kByteCountLow, 0x00);
    host_.Write(ata::kByteCountHigh, 0x02);
    host_.Command(ata::kPacket);
    EXPECT_EQ(host_.Status(), ata::kBsy | ata::kDrdy);
    const uint8_t status = host_.Status();
    EXPECT_EQ(status & (ata::kBsy | ata::kDrq), ata::kDrq);
    EXPECT_EQ(host_.Read(ata::kSectorCount), ata::kReasonPacket);
    EXPECT_EQ(host_.Read(ata::kError), 0);
}

TEST_F(PacketProtocol, ANoDataCommandCompletesWithReadySeekAndReasonDone) {
    const Outcome outcome = host_.Run(TestUnitReady(), 0);
    EXPECT_EQ(outcome.status, ata::kDrdy | ata::kDsc);
    EXPECT_EQ(outcome.reason, ata::kReasonDone);
    EXPECT_TRUE(outcome.bursts.empty());
}

TEST_F(PacketProtocol, DataInBurstsFollowTheLimitMadeEven) {
    struct Case {
        uint16_t limit;
        std::vector<uint16_t> bursts;
    };
    // 1024 bytes of READ(10) (two blocks).
    const Case cases[] = {
        {1024, {1024}},
        {0xFFFF, {1024}},
        {512, {512, 512}},
        {513, {512, 512}},
        {301, {300, 300, 300, 124}},
        {1, {2, 2}},  // a limit below one word still moves words (first two bursts shown)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        if (c.limit == 1) drive_.SetMaxBurst(0);
        const Outcome outcome = host_.Run(Read10(0, 2), c.limit);
        ASSERT_GE(outcome.bursts.size(), c.bursts.size());
        EXPECT_TRUE(std::equal(c.bursts.begin(), c.bursts.end(), outcome.bursts.begin()));
        EXPECT_EQ(outcome.data.size(), 1024u);
        EXPECT_EQ(outcome.status, ata::kDrdy | ata::kDsc);
    }
}

TEST_F(PacketProtocol, AnOddAllocationEndsInAShortLastBurstOnBothPaths) {
    for (Path path : {Path::Wide, Path::Narrow}) {
        const Outcome outcome = host_.Run(RequestSense(25), 25, path);
        EXPECT_EQ(outcome.bursts, (std::vector<uint16_t>{24, 1}));
        EXPECT_EQ(outcome.data.size(), 25u);
        EXPECT_EQ(outcome.data[0], 0x70);
        EXPECT_EQ(outcome.status, ata::kDrdy | ata::kDsc);
    }
}

TEST_F(PacketProtocol, DataInAnnouncesReasonTwoAndDrqDropsWithTheLastWord) {
    host_.SendPacket(RequestSense(), 26);
    EXPECT_EQ(host_.WaitNotBusy() & ata::kDrq, ata::kDrq);
    EXPECT_EQ(host_.Read(ata::kSectorCount), ata::kReasonDataIn);
    EXPECT_EQ(host_.ByteCount(), 26);
    for (int i = 0; i < 12; ++i) host_.ReadWord();
    EXPECT_EQ(host_.Status() & ata::kDrq, ata::kDrq);  // one word left
    host_.ReadWord();
    EXPECT_EQ(host_.Status() & ata::kDrq, 0);
}

TEST_F(PacketProtocol, TheDataRegisterWithDrqClearMovesNothing) {
    // The extra byte an 8-bit host reads after an odd burst must not eat into the next burst.
    drive_.SetBurstPattern({3, 23});
    host_.SendPacket(RequestSense(), 26);
    host_.WaitNotBusy();
    EXPECT_EQ(host_.ByteCount(), 3);
    std::vector<uint8_t> data;
    host_.ReadBurst(3, Path::Narrow, data);
    EXPECT_EQ(host_.Read(ata::kData), 0);  // DRQ is clear: a stray read moves nothing
    host_.Write(ata::kData, 0x55);          // and so does a stray write
    EXPECT_EQ(host_.WaitNotBusy() & ata::kDrq, ata::kDrq);
    EXPECT_EQ(host_.ByteCount(), 23);
    host_.ReadBurst(23, Path::Narrow, data);
    EXPECT_EQ(host_.WaitNotBusy(), ata::kDrdy | ata::kDsc);
    EXPECT_EQ(data, (std::vector<uint8_t>{0x70, 0, 0, 0, 0, 0, 0, 18, 0, 0, 0, 0, 0, 0, 0, 0,
                                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(host_.Read(ata::kData), 0);
}

TEST_F(PacketProtocol, DataOutAnnouncesReasonZeroAndLandsAfterTheLastBurst) {
    std::vector<uint8_t> bytes(1024);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    host_.SendPacket(Write10(3, 2), 600);
    host_.WaitNotBusy();
    EXPECT_EQ(host_.Read(ata::kSectorCount), ata::kReasonDataOut);
    EXPECT_EQ(host_.ByteCount(), 600);
    size_t sent = 0;
    host_.WriteBurst(600, Path::Wide, bytes, sent);
    host_.WaitNotBusy();
    EXPECT_EQ(host_.ByteCount(), 424);
    host_.WriteBurst(424, Path::Narrow, bytes, sent);
    EXPECT_EQ(host_.WaitNotBusy(), ata::kDrdy | ata::kDsc);
    EXPECT_EQ(image_.ReadBytes(3 * 512, 1024), bytes);
}

TEST_F(PacketProtocol, AWideWriteOfAnOddBurstDropsTheFillerByte) {
    const std::vector<uint8_t> list = {0, 0, 0, 0, 0x2F, 4, 0x20, 0, 0};  // 9 bytes
    const Outcome outcome = host_.Run(ModeSelect(9), 9, Path::Wide, list);
    EXPECT_EQ(outcome.bursts, (std::vector<uint16_t>{8, 1}));
    EXPECT_EQ(outcome.status, ata::kDrdy | ata::kDsc);
    EXPECT_EQ(drive_.ModePage2F(), 0x20);
}

TEST_F(PacketProtocol, WritesToTheTaskFileAndCommandsAreIgnoredWhileBusyOrInDataPhase) {
    host_.SendPacket(RequestSense(), 26);
    host_.WaitNotBusy();  // DRQ now
    host_.Write(ata::kByteCountLow, 0x55);
    host_.Write(ata::kDeviceHead, 0xB0);
    host_.Command(0x00);  // a new command while DRQ: ignored
    EXPECT_EQ(host_.ByteCount(), 26);
    EXPECT_EQ(host_.Read(ata::kDeviceHead), 0xA0);
    EXPECT_EQ(host_.Status() & ata::kDrq, ata::kDrq);
    std::vector<uint8_t> data;
    host_.ReadBurst(26, Path::Wide, data);
    EXPECT_EQ(data[0], 0x70);
}

TEST_F(PacketProtocol, WhileBusyEveryTaskFileRegisterReadsAsStatus) {
    sim::DriveSettings slow;
    slow.timing.commandBusyPolls = 5;
    sim::EmulatedDrive drive(slow);
    DriveHost host(drive);
    host.Select();
    host.Command(ata::kPacket);
    EXPECT_EQ(host.Read(ata::kByteCountLow), ata::kBsy | ata::kDrdy);
    EXPECT_EQ(host.Read(ata::kError), ata::kBsy | ata::kDrdy);
    host.Write(ata::kByteCountLow, 0x12);  // lands nowhere
    EXPECT_EQ(host.WaitNotBusy() & ata::kDrq, ata::kDrq);
    EXPECT_NE(host.Read(ata::kByteCountLow), 0x12);
}

TEST_F(PacketProtocol, BusyLastsTheConfiguredNumberOfPolls) {
    sim::DriveSettings slow;
    slow.timing.commandBusyPolls = 3;
    sim::EmulatedDrive drive(slow);
    DriveHost host(drive);
    host.Select();
    host.Command(ata::kPacket);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(host.Status() & ata::kBsy, ata::kBsy);
    EXPECT_EQ(host.Status() & (ata::kBsy | ata::kDrq), ata::kDrq);
}

TEST_F(PacketProtocol, AStaleDmaBitInTheFeaturesRegisterAbortsThePacketCommand) {
    host_.Write(ata::kError, 0x01);  // features: DMA, left by someone else
    host_.Select();
    host_.Command(ata::kPacket);
    EXPECT_EQ(host_.WaitNotBusy(), ata::kDrdy | ata::kErr);
    EXPECT_EQ(host_.Read(ata::kError), ata::kAbrt);
    host_.Command(ata::kDeviceReset);  // a reset does not clear it
    host_.WaitNotBusy();
    host_.Command(ata::kPacket);
    EXPECT_EQ(host_.WaitNotBusy(), ata::kDrdy | ata::kErr);
    host_.Write(ata::kError, 0x00);
    EXPECT_EQ(host_.Run(Cdb({0x12, 0, 0, 0, 36}), 36).status, ata::kDrdy | ata::kDsc);
    host_.Write(ata::kError, 0x01);
    drive_.PowerOff();
    drive_.PowerOn();  // power-on does
    EXPECT_EQ(host_.Run(Cdb({0x12, 0, 0, 0, 36}), 36).status, ata::kDrdy | ata::kDsc);
}

TEST_F(PacketProtocol, TheReceivedPacketIsRecorded) {
    drive_.ClearReceivedCommands();
    host_.Run(Read10(0x01020304, 0), 0);
    const auto received = drive_.ReceivedCommands();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].command, ata::kPacket);
    EXPECT_EQ(received[0].packet, Read10(0x01020304, 0));
}

}  // namespace
}  // namespace sim_test
