// The packet drive's own commands: identification, DEVICE RESET and its signature, mode page
// 0x2F, the vendor status reply.
#include <platform/clock.h>

#include "drive_host.h"

namespace sim_test {
namespace {

using sim::Sense;

uint16_t Word(const std::vector<uint8_t>& data, unsigned word) {
    return static_cast<uint16_t>(data[word * 2] | data[word * 2 + 1] << 8);
}

// The model field in reading order: two characters a word, the first in the high byte.
std::string Model(const std::vector<uint8_t>& data) {
    std::string model;
    for (unsigned word = 27; word <= 46; ++word) {
        model += static_cast<char>(Word(data, word) >> 8);
        model += static_cast<char>(Word(data, word) & 0xFF);
    }
    return model;
}

// An ATA-protocol data-in command: the host writes the byte count it expects to read back.
std::vector<uint8_t> Identify(DriveHost& host, uint8_t command, Path path = Path::Wide) {
    host.Select();
    host.Write(ata::kByteCountLow, 0x00);
    host.Write(ata::kByteCountHigh, 0x02);
    host.Command(command);
    std::vector<uint8_t> data;
    const uint8_t status = host.WaitNotBusy();
    if (!(status & ata::kDrq)) return data;
    EXPECT_EQ(host.ByteCount(), 512);
    host.ReadBurst(512, path, data);
    EXPECT_EQ(host.WaitNotBusy(), ata::kDrdy | ata::kDsc);
    return data;
}

class PacketDriveCommands : public ::testing::Test {
protected:
    TempImage image_{4096};
    sim::EmulatedDrive drive_;
    DriveHost host_{drive_};
};

TEST_F(PacketDriveCommands, IdentifyPacketDeviceCarriesTheModelAndCapabilities) {
    for (Path path : {Path::Wide, Path::Narrow}) {
        const std::vector<uint8_t> data = Identify(host_, ata::kIdentifyPacketDevice, path);
        ASSERT_EQ(data.size(), 512u);
        EXPECT_EQ(Model(data), "QUORVA ZAPT! 40" + std::string(25, ' '));
        EXPECT_EQ(Word(data, 0) & 0xC000, 0x8000);  // a packet device
        EXPECT_EQ(Word(data, 49) & 0x0200, 0x0200);  // LBA
        EXPECT_EQ(Word(data, 1), 0);
        EXPECT_EQ(Word(data, 3), 0);
        EXPECT_EQ(Word(data, 6), 0);
    }
}

TEST_F(PacketDriveCommands, IdentifyFollowsTheSettings) {
    sim::DriveSettings settings;
    settings.model = "quorva  zapt! 40";
    settings.lbaCapable = false;
    settings.packetCylinders = 153;
    settings.packetHeads = 16;
    settings.packetSectorsPerTrack = 32;
    sim::EmulatedDrive drive(settings);
    DriveHost host(drive);
    const std::vector<uint8_t> data = Identify(host, ata::kIdentifyPacketDevice);
    ASSERT_EQ(data.size(), 512u);
    EXPECT_EQ(Model(data).substr(0, 17), "quorva  zapt! 40 ");
    EXPECT_EQ(Word(data, 49) & 0x0200, 0);
    EXPECT_EQ(Word(data, 1), 153);
    EXPECT_EQ(Word(data, 3), 16);
    EXPECT_EQ(Word(data, 6), 32);
}

TEST_F(PacketDriveCommands, IdentifyDeviceIsAbortedWithThePacketSignature) {
    host_.Write(ata::kByteCountLow, 0x00);
    host_.Write(ata::kByteCountHigh, 0x02);
    EXPECT_TRUE(Identify(host_, ata::kIdentifyDevice).empty());
    EXPECT_EQ(host_.Status(), ata::kDrdy | ata::kErr);
    EXPECT_EQ(host_.Read(ata::kError), ata::kAbrt);
    EXPECT_EQ(host_.Read(ata::kByteCountLow), 0x14);
    EXPECT_EQ(host_.Read(ata::kByteCountHigh), 0xEB);
}

TEST_F(PacketDriveCommands, UnknownAtaCommandsAreAborted) {
    for (uint8_t command : {uint8_t{0x20}, uint8_t{0x30}, ata::kGetMediaStatus, uint8_t{0x00}}) {
        host_.Select();
        host_.Command(command);
        EXPECT_EQ(host_.WaitNotBusy(), ata::kDrdy | ata::kErr);
        EXPECT_EQ(host_.Read(ata::kError), ata::kAbrt);
    }
}

TEST_F(PacketDriveCommands, DeviceResetLeavesTheSignatureWithoutReadyAndQueuesPowerOn) {
    host_.ClearUnitAttentions();
    host_.Write(ata::kByteCountLow, 0x55);
    host_.Write(ata::kByteCountHigh, 0xAA);
    host_.Command(ata::kDeviceReset);
    EXPECT_EQ(host_.Status(), ata::kBsy);  // no DRDY throughout
    EXPECT_EQ(host_.WaitNotBusy(), 0x00);
    EXPECT_EQ(host_.Read(ata::kSectorCount), 0x01);
    EXPECT_EQ(host_.Read(ata::kSectorNumber), 0x01);
    EXPECT_EQ(host_.Read(ata::kByteCountLow), 0x14);
    EXPECT_EQ(host_.Read(ata::kByteCountHigh), 0xEB);
    EXPECT_EQ(host_.Sense(), (Sense{6, 0x29, 0}));
}

TEST_F(PacketDriveCommands, DeviceResetStopsATransferInItsDataPhase) {
    host_.ClearUnitAttentions();
    host_.SendPacket(RequestSense(), 26);
    EXPECT_EQ(host_.WaitNotBusy() & ata::kDrq, ata::kDrq);
    host_.ReadWord();
    host_.Command(ata::kDeviceReset);  // accepted although DRQ is set
    EXPECT_EQ(host_.WaitNotBusy(), 0x00);
    EXPECT_EQ(host_.Read(ata::kData), 0);  // nothing left to read
    EXPECT_EQ(host_.ByteCount(), 0xEB14);
    EXPECT_EQ(host_.Run(TestUnitReady(), 0).error, 6 << 4);
}

// Throughout the reset the drive shows BSY, or by the switch status 0, and owns the task file
// either way: the signature comes only at its end.
TEST_F(PacketDriveCommands, AResetTakesTheConfiguredTimeOnThePlatformClock) {
    auto& clock = platform::UseVirtualClock(platform::MakeSystemTime(2001, 1, 1));
    for (const auto resetStatus : {sim::ResetStatus::Busy, sim::ResetStatus::Zero}) {
        const uint8_t shown = resetStatus == sim::ResetStatus::Busy ? ata::kBsy : 0x00;
        sim::DriveSettings settings;
        settings.timing.resetMilliseconds = 2500;
        settings.deviceResetStatus = resetStatus;
        sim::EmulatedDrive drive(settings);
        DriveHost host(drive);
        host.Write(ata::kByteCountLow, 0x55);
        host.Command(ata::kDeviceReset);
        for (int i = 0; i < 50; ++i) EXPECT_EQ(host.Status(), shown);
        host.Write(ata::kByteCountHigh, 0xAA);  // dropped
        host.Command(ata::kPacket);             // ignored
        EXPECT_NE(host.ByteCount(), 0xEB14);
        clock.Advance(2499);
        EXPECT_EQ(host.Status(), shown);
        clock.Advance(1);
        EXPECT_EQ(host.Status(), 0x00);
        EXPECT_EQ(host.ByteCount(), 0xEB14);
        EXPECT_EQ(host.Sense(), (Sense{6, 0x29, 0}));
    }
    platform::UseRealClock();
}

TEST_F(PacketDriveCommands, ModePage2FKeepsWhatWasSelected) {
    host_.ClearUnitAttentions();
    Outcome sensed = host_.Run(ModeSense2F(), 10);
    ASSERT_EQ(sensed.data.size(), 10u);
    EXPECT_EQ(sensed.data[0], 9);  // mode data length
    EXPECT_EQ(sensed.data[3], 0);  // no block descriptor asked for
    EXPECT_EQ(sensed.data[4], 0x2F);
    EXPECT_EQ(sensed.data[6], 0x00);

    std::vector<uint8_t> list = sensed.data;
    list[0] = list[1] = list[2] = 0;
    list[6] |= 0x20;
    EXPECT_EQ(host_.Run(ModeSelect(), 10, Path::Wide, list).status, ata::kDrdy | ata::kDsc);
    sensed = host_.Run(ModeSense2F(), 10);
    EXPECT_EQ(sensed.data[6], 0x20);

    // Only bit 0x20 can be changed; the changeable mask says so.
    list[6] = 0xFF;
    host_.Run(ModeSelect(), 10, Path::Wide, list);
    EXPECT_EQ(drive_.ModePage2F(), 0x20);
    EXPECT_EQ(host_.Run(ModeSense2F(10, 1), 10).data[6], 0x20);
    EXPECT_EQ(host_.Run(ModeSense2F(10, 2), 10).data[6], 0x00);  // default

    list[6] = 0x00;
    host_.Run(ModeSelect(), 10, Path::Wide, list);
    EXPECT_EQ(drive_.ModePage2F(), 0x00);
}

TEST_F(PacketDriveCommands, ModePagesOtherThan2FAndBadParameterListsAreRefused) {
    host_.ClearUnitAttentions();
    EXPECT_EQ(host_.Run(Cdb({0x1A, 0x08, 0x01, 0, 10}), 10).status, ata::kDrdy | ata::kErr);
    EXPECT_EQ(host_.Sense(), (Sense{5, 0x24, 0}));
    EXPECT_EQ(host_.Run(ModeSense2F(10, 3), 10).status, ata::kDrdy | ata::kErr);
    EXPECT_EQ(host_.Sense(), (Sense{5, 0x39, 0}));

    const std::vector<uint8_t> wrongPage = {0, 0, 0, 0, 0x01, 4, 0x20, 0, 0, 0};
    EXPECT_EQ(host_.Run(ModeSelect(), 10, Path::Wide, wrongPage).status, ata::kDrdy | ata::kErr);
    EXPECT_EQ(host_.Sense(), (Sense{5, 0x26, 0}));
    const std::vector<uint8_t> tooShort = {0, 0, 0, 0, 0x2F};
    EXPECT_EQ(host_.Run(ModeSelect(5), 5, Path::Wide, tooShort).status, ata::kDrdy | ata::kErr);
    EXPECT_EQ(host_.Sense(), (Sense{5, 0x1A, 0}));
    EXPECT_EQ(drive_.ModePage2F(), 0x00);
}

TEST_F(PacketDriveCommands, ModeSenseWithBlockDescriptorDescribesTheMedium) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path(), {.writeProtected = true}));
    host_.ClearUnitAttentions();
    const Outcome sensed = host_.Run(Cdb({0x1A, 0x00, 0x2F, 0, 18}), 18);
    ASSERT_EQ(sensed.data.size(), 18u);
    EXPECT_EQ(sensed.data[0], 17);
    EXPECT_EQ(sensed.data[2], 0x80);  // write protected
    EXPECT_EQ(sensed.data[3], 8);
    EXPECT_EQ(sensed.data[7], 4096 & 0xFF);
    EXPECT_EQ(sensed.data[6], 4096 >> 8);
    EXPECT_EQ(sensed.data[10], 2);  // block length 512
    EXPECT_EQ(sensed.data[12], 0x2F);
}

TEST_F(PacketDriveCommands, ThePageOutlivesResetsButNotPowerOff) {
    sim::DriveSettings settings;
    settings.page2FInitial = 0x20;
    sim::EmulatedDrive drive(settings);
    DriveHost host(drive);
    host.ClearUnitAttentions();
    const std::vector<uint8_t> list = {0, 0, 0, 0, 0x2F, 4, 0x00, 0, 0, 0};
    host.Run(ModeSelect(), 10, Path::Wide, list);
    host.Command(ata::kDeviceReset);
    host.WaitNotBusy();
    EXPECT_EQ(drive.ModePage2F(), 0x00);
    drive.PowerOff();
    drive.PowerOn();
    EXPECT_EQ(drive.ModePage2F(), 0x20);
}

TEST_F(PacketDriveCommands, VendorStatusGivesTheBlockCountAndMediumState) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.ClearUnitAttentions();
    Outcome status = host_.Run(VendorStatus(), 64);
    ASSERT_EQ(status.data.size(), 64u);
    EXPECT_EQ(status.data[5], 0);
    EXPECT_EQ(status.data[6], 0);
    EXPECT_EQ(status.data[7], 0x10);  // 4096 big-endian
    EXPECT_EQ(status.data[8], 0x00);
    EXPECT_NE(status.data[21] & 0x0F, 5);

    TempImage unusable(100, "unusable.img");
    ASSERT_TRUE(drive_.InsertMedium(unusable.path(), {.usable = false}));
    host_.ClearUnitAttentions();
    EXPECT_EQ(host_.Run(TestUnitReady(), 0).status, ata::kDrdy | ata::kDsc);
    status = host_.Run(VendorStatus(), 64);
    EXPECT_EQ(status.data[21], 0x15);
    EXPECT_EQ(status.data[8], 100);
    EXPECT_EQ(host_.Run(Read10(0, 1), 512).status, ata::kDrdy | ata::kErr);
    EXPECT_EQ(host_.Sense(), (Sense{2, 0x30, 0}));

    EXPECT_EQ(host_.Run(Cdb({0x06, 0, 0x01, 0, 64}), 64).status, ata::kDrdy | ata::kErr);
    EXPECT_EQ(host_.Sense(), (Sense{5, 0x24, 0}));
}

TEST_F(PacketDriveCommands, ReadCapacityAndSeek) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.ClearUnitAttentions();
    const Outcome capacity = host_.Run(Cdb({0x25}), 8);
    EXPECT_EQ(capacity.data, (std::vector<uint8_t>{0, 0, 0x0F, 0xFF, 0, 0, 2, 0}));
    EXPECT_EQ(host_.Run(Cdb({0x2B, 0, 0, 0, 0x0F, 0xFF}), 0).status, ata::kDrdy | ata::kDsc);
    EXPECT_EQ(host_.Run(Cdb({0x2B, 0, 0, 0, 0x10, 0x00}), 0).status, ata::kDrdy | ata::kErr);
}

TEST_F(PacketDriveCommands, DscLagsBehindASeekWhenConfigured) {
    sim::DriveSettings settings;
    settings.timing.seekCompletePolls = 3;
    sim::EmulatedDrive drive(settings);
    DriveHost host(drive);
    ASSERT_TRUE(drive.InsertMedium(image_.path()));
    host.ClearUnitAttentions();
    host.SendPacket(Cdb({0x2B}), 0);
    EXPECT_EQ(host.WaitNotBusy(), ata::kDrdy);  // not busy, seek not complete
    EXPECT_EQ(host.Status(), ata::kDrdy);
    EXPECT_EQ(host.Status(), ata::kDrdy);
    EXPECT_EQ(host.Status(), ata::kDrdy | ata::kDsc);
}

}  // namespace
}  // namespace sim_test
