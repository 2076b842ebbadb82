// The ATA variant: IDENTIFY DEVICE with the medium's geometry, packet commands refused, media
// status bits, and the software reset through the device-control register.
#include <platform/clock.h>

#include "drive_host.h"

namespace sim_test {
namespace {

constexpr uint8_t kDone = ata::kDrdy | ata::kDsc;

uint16_t Word(const std::vector<uint8_t>& data, unsigned word) {
    return static_cast<uint16_t>(data[word * 2] | data[word * 2 + 1] << 8);
}

sim::DriveSettings AtaSettings() {
    sim::DriveSettings settings;
    settings.variant = sim::DriveVariant::Ata;
    return settings;
}

class AtaVariant : public ::testing::Test {
protected:
    // GET MEDIA STATUS: the error register when it failed, 0 when it completed cleanly.
    uint8_t MediaStatus() {
        host_.Select();
        host_.Command(ata::kGetMediaStatus);
        const uint8_t status = host_.WaitNotBusy();
        if (status == kDone) return 0;
        EXPECT_EQ(status, ata::kDrdy | ata::kErr);
        return host_.Read(ata::kError);
    }
    TempImage image_{sim::kDefaultMediumBlocks};
    sim::EmulatedDrive drive_{AtaSettings()};
    DriveHost host_{drive_};
};

TEST_F(AtaVariant, ComesOutOfPowerOnReadyWithTheAtaSignature) {
    EXPECT_EQ(host_.Status(), kDone);
    EXPECT_EQ(host_.Read(ata::kByteCountLow), 0);
    EXPECT_EQ(host_.Read(ata::kByteCountHigh), 0);
    EXPECT_EQ(host_.Read(ata::kError), 0x01);
}

TEST_F(AtaVariant, IdentifyDeviceDescribesTheMedium) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.Select();
    host_.Write(ata::kByteCountLow, 0x00);
    host_.Write(ata::kByteCountHigh, 0x02);
    host_.Command(ata::kIdentifyDevice);
    EXPECT_EQ(host_.WaitNotBusy(), kDone | ata::kDrq);
    EXPECT_EQ(host_.ByteCount(), 512);  // what the host wrote stays
    std::vector<uint8_t> data;
    host_.ReadBurst(512, Path::Narrow, data);
    EXPECT_EQ(host_.WaitNotBusy(), kDone);
    EXPECT_EQ(Word(data, 0) & 0x8000, 0);  // not a packet device
    EXPECT_EQ(Word(data, 1), 153);
    EXPECT_EQ(Word(data, 3), 16);
    EXPECT_EQ(Word(data, 6), 32);
    EXPECT_EQ(Word(data, 49) & 0x0200, 0x0200);
    EXPECT_EQ(Word(data, 60) | Word(data, 61) << 16, sim::kDefaultMediumBlocks);
    EXPECT_EQ(Word(data, 27), 'Q' << 8 | 'U');
}

TEST_F(AtaVariant, PacketCommandsAndDeviceResetAreAborted) {
    for (uint8_t command : {ata::kPacket, ata::kIdentifyPacketDevice, ata::kDeviceReset}) {
        host_.Select();
        host_.Command(command);
        EXPECT_EQ(host_.WaitNotBusy(), ata::kDrdy | ata::kErr);
        EXPECT_EQ(host_.Read(ata::kError), ata::kAbrt);
    }
}

TEST_F(AtaVariant, MediaStatusReportsNoMediumChangeOnceAndWriteProtection) {
    EXPECT_EQ(MediaStatus(), ata::kNoMedia);
    EXPECT_EQ(MediaStatus(), ata::kNoMedia);
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    EXPECT_EQ(MediaStatus(), ata::kMediaChanged);
    EXPECT_EQ(MediaStatus(), 0);
    drive_.SetWriteProtected(true);
    EXPECT_EQ(MediaStatus(), ata::kMediaWriteProtected);
    EXPECT_EQ(MediaStatus(), ata::kMediaWriteProtected);
    drive_.EjectMedium();
    EXPECT_EQ(MediaStatus(), ata::kNoMedia);
    ASSERT_TRUE(drive_.InsertMedium(image_.path(), {.writeProtected = true}));
    EXPECT_EQ(MediaStatus(), ata::kMediaChanged | ata::kMediaWriteProtected);
    EXPECT_EQ(MediaStatus(), ata::kMediaWriteProtected);
}

TEST_F(AtaVariant, AcknowledgingAMediaChangeClearsIt) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.Select();
    host_.Command(ata::kAcknowledgeMediaChange);
    EXPECT_EQ(host_.WaitNotBusy(), kDone);
    EXPECT_EQ(MediaStatus(), 0);
}

TEST_F(AtaVariant, AMediumAlreadyInAtPowerOnIsNoChange) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    drive_.PowerOff();
    drive_.PowerOn();
    EXPECT_EQ(MediaStatus(), 0);
}

TEST_F(AtaVariant, ACommandLeftUnpolledFinishesWhenTheHostComesBack) {
    ASSERT_TRUE(drive_.InsertMedium(image_.path()));
    host_.Select();
    host_.Command(ata::kAcknowledgeMediaChange);  // written without waiting
    host_.Write(ata::kByteCountLow, 0x11);        // still busy: lost
    host_.Write(ata::kByteCountLow, 0x55);
    host_.Write(ata::kByteCountHigh, 0xAA);
    EXPECT_EQ(host_.Read(ata::kByteCountLow), 0x55);
    EXPECT_EQ(host_.Read(ata::kByteCountHigh), 0xAA);
    EXPECT_EQ(host_.Status(), kDone);
}

TEST_F(AtaVariant, SoftwareResetIsBusyFromTheRisingEdgeAndLeavesTheAtaSignature) {
    host_.Select();
    host_.Write(ata::kByteCountLow, 0x55);
    host_.Write(ata::kControl, ata::kSrst | ata::kNien);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(host_.Status(), ata::kBsy);
    host_.Write(ata::kStatus, ata::kIdentifyDevice);  // ignored while held in reset
    host_.Write(ata::kControl, ata::kNien);
    EXPECT_EQ(host_.WaitNotBusy(), kDone);
    EXPECT_EQ(host_.Read(ata::kError), 0x01);
    EXPECT_EQ(host_.Read(ata::kSectorCount), 0x01);
    EXPECT_EQ(host_.Read(ata::kSectorNumber), 0x01);
    EXPECT_EQ(host_.Read(ata::kByteCountLow), 0x00);
    EXPECT_EQ(host_.Read(ata::kByteCountHigh), 0x00);
}

TEST_F(AtaVariant, SoftwareResetSelectsDeviceZeroAgain) {
    host_.Write(ata::kDeviceHead, 0xB0);
    host_.Write(ata::kControl, ata::kSrst | ata::kNien);
    host_.Write(ata::kControl, ata::kNien);
    // Device 1 is empty, so its status reads 0, but the polls let the reset run.
    for (int i = 0; i < 3; ++i) host_.Status();
    EXPECT_EQ(host_.Read(ata::kDeviceHead) & ata::kDeviceBit, 0);
    EXPECT_EQ(host_.Status(), kDone);
}

TEST_F(AtaVariant, SoftwareResetStopsATransfer) {
    host_.Select();
    host_.Write(ata::kByteCountHigh, 0x02);
    host_.Command(ata::kIdentifyDevice);
    EXPECT_EQ(host_.WaitNotBusy() & ata::kDrq, ata::kDrq);
    host_.ReadWord();
    host_.Write(ata::kControl, ata::kSrst | ata::kNien);
    host_.Write(ata::kControl, ata::kNien);
    EXPECT_EQ(host_.WaitNotBusy(), kDone);
    EXPECT_EQ(host_.ReadWord(), 0);
}

TEST_F(AtaVariant, SoftwareResetTimeCountsFromTheRelease) {
    auto& clock = platform::UseVirtualClock(platform::MakeSystemTime(2001, 1, 1));
    sim::DriveSettings settings = AtaSettings();
    settings.timing.resetMilliseconds = 100;
    sim::EmulatedDrive drive(settings);
    DriveHost host(drive);
    host.Write(ata::kControl, ata::kSrst | ata::kNien);
    clock.Advance(40);
    host.Write(ata::kControl, ata::kNien);
    clock.Advance(99);
    EXPECT_EQ(host.Status(), ata::kBsy);
    EXPECT_EQ(host.Status(), ata::kBsy);
    clock.Advance(1);
    EXPECT_EQ(host.Status(), kDone);
    platform::UseRealClock();
}

TEST_F(AtaVariant, APacketDriveAlsoHonoursTheSoftwareReset) {
    sim::EmulatedDrive drive;
    DriveHost host(drive);
    host.ClearUnitAttentions();
    host.Write(ata::kControl, ata::kSrst | ata::kNien);
    host.Write(ata::kControl, ata::kNien);
    EXPECT_EQ(host.WaitNotBusy(), 0x00);
    EXPECT_EQ(host.ByteCount(), 0xEB14);
    EXPECT_EQ(host.Sense(), (sim::Sense{6, 0x29, 0}));
}

}  // namespace
}  // namespace sim_test
