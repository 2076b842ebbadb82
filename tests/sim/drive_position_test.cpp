// The empty position of the task file: no status, commands ignored, but the register probe
// lands because the task file is shared.
#include "drive_host.h"

namespace sim_test {
namespace {

sim::DriveSettings At(sim::DrivePosition position) {
    sim::DriveSettings settings;
    settings.position = position;
    return settings;
}

// The host's probe: select, 0x55 / 0xAA to the byte-count registers, read them back.
bool ProbePasses(DriveHost& host, uint8_t select) {
    host.Select(select);
    host.Write(ata::kByteCountLow, 0x55);
    host.Write(ata::kByteCountHigh, 0xAA);
    return host.Read(ata::kByteCountLow) == 0x55 && host.Read(ata::kByteCountHigh) == 0xAA;
}

TEST(DrivePosition, AnEmptyDeviceOneReadsStatusZeroButTheProbeLands) {
    sim::EmulatedDrive drive;
    DriveHost host(drive);
    EXPECT_TRUE(ProbePasses(host, 0xB0));
    EXPECT_EQ(host.Status(), 0x00);
    EXPECT_EQ(host.Read(ata::kControl), 0x00);
    drive.ClearReceivedCommands();
    host.Command(ata::kIdentifyPacketDevice);
    host.Command(ata::kDeviceReset);
    EXPECT_EQ(host.Status(), 0x00);  // no BSY, no DRQ: nothing happened
    EXPECT_TRUE(drive.ReceivedCommands().empty());
    EXPECT_EQ(host.Read(ata::kData), 0);
    // Device 0 answers as before.
    EXPECT_TRUE(ProbePasses(host, 0xA0));
    host.Command(ata::kIdentifyPacketDevice);
    EXPECT_EQ(host.WaitNotBusy() & ata::kDrq, ata::kDrq);
}

TEST(DrivePosition, ADriveAtDeviceOneLeavesDeviceZeroEmpty) {
    sim::EmulatedDrive drive(At(sim::DrivePosition::Device1));
    DriveHost host(drive);
    EXPECT_TRUE(ProbePasses(host, 0xA0));
    EXPECT_EQ(host.Status(), 0x00);
    host.Command(ata::kIdentifyPacketDevice);
    EXPECT_EQ(host.Status(), 0x00);
    host.Select(0xB0);
    host.Command(ata::kIdentifyPacketDevice);
    EXPECT_EQ(host.WaitNotBusy() & ata::kDrq, ata::kDrq);
}

TEST(DrivePosition, ASoftwareResetSelectsTheEmptyDeviceZeroAgain) {
    sim::DriveSettings settings = At(sim::DrivePosition::Device1);
    settings.variant = sim::DriveVariant::Ata;
    sim::EmulatedDrive drive(settings);
    DriveHost host(drive);
    host.Select(0xB0);
    EXPECT_EQ(host.Status(), ata::kDrdy | ata::kDsc);
    host.Write(ata::kControl, ata::kSrst | ata::kNien);
    host.Write(ata::kControl, ata::kNien);
    // Device 1 stays selected until the reset is done; then empty device 0 is, and status
    // polls still let the drive's reset run.
    EXPECT_EQ(host.Status(), ata::kBsy);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(host.Status(), 0x00);
    host.Select(0xB0);
    EXPECT_EQ(host.Status(), ata::kDrdy | ata::kDsc);
}

}  // namespace
}  // namespace sim_test
