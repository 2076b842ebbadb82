// QVATAPI against the emulated drive: the life of a medium from Init to a new cartridge.
#include "emulated_drive_fixture.h"

namespace atapi_test {
namespace {

constexpr DWORD kHalf = 32 * 1024;  // a request cannot carry 64 KiB: two halves

class MediumCycle : public EmulatedDriveFixture {
protected:
    // 64 KiB at firstBlock through two requests of four segments each.
    DWORD Transfer(QvTransferFunction operation, DWORD firstBlock, std::vector<uint8_t>& data) {
        for (DWORD half = 0; half < 2; ++half) {
            auto request = SplitRequest<4>(firstBlock + half * (kHalf / 512),
                                           data.data() + half * kHalf, kHalf);
            const DWORD result = operation(&context_, request.request());
            if (result != 0) return result;
        }
        return 0;
    }
};

TEST_F(MediumCycle, WriteReadBackEjectAndANewCartridge) {
    Insert();
    const auto image = NewImage(4096);
    ASSERT_TRUE(drive_->InsertMedium(image));
    ASSERT_TRUE(InitDrive());
    EXPECT_EQ(context_.driveSelect, 0xA0);
    EXPECT_EQ(context_.diskInfo.totalSectors, 0u);  // a packet drive has no geometry
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(context_.mediumPresent, 1u);
    EXPECT_EQ(context_.mediaFlags, MF_MEDIUM_KNOWN);
    EXPECT_EQ(context_.diskInfo.totalSectors, 4096u);
    EXPECT_EQ(drive_->ModePage2F(), 0x00);  // restored after the check

    std::vector<uint8_t> written = Pattern(2 * kHalf, 1);
    ASSERT_EQ(Transfer(qv_.write, 100, written), 0u);
    EXPECT_EQ(ImageBytes(image, 100 * 512, written.size()), written);
    std::vector<uint8_t> read(2 * kHalf);
    ASSERT_EQ(Transfer(qv_.read, 100, read), 0u);
    EXPECT_EQ(read, written);

    // One request of 64 KiB would send a byte count limit of 0: refused, the drive untouched.
    auto whole = SplitRequest<4>(100, read.data(), 2 * kHalf);
    drive_->ClearReceivedCommands();
    EXPECT_EQ(qv_.read(&context_, whole.request()), 87u);
    EXPECT_TRUE(drive_->ReceivedCommands().empty());

    drive_->EjectMedium();
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(context_.mediumPresent, 0u);
    EXPECT_EQ(context_.mediaFlags & MF_MEDIUM_KNOWN, 0u);
    EXPECT_EQ(Transfer(qv_.read, 100, read), 20u);

    InsertMedium(8192);
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(context_.mediumPresent, 1u);
    EXPECT_EQ(context_.diskInfo.totalSectors, 8192u);
    EXPECT_EQ(Transfer(qv_.read, 8192 - 128, read), 0u);
}

TEST_F(MediumCycle, AMediumSwappedWithoutACheckIsNoticedByTheNextRequest) {
    Insert();
    InsertMedium(4096);
    BringUp();
    InsertMedium(2048);  // replaces the first: a medium change
    std::vector<uint8_t> data(2 * kHalf);
    // The sense says 21, but a request that ends without a registered medium is 20.
    EXPECT_EQ(Transfer(qv_.read, 0, data), 20u);
    EXPECT_EQ(context_.mediumPresent, 0u);
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(context_.diskInfo.totalSectors, 2048u);
    EXPECT_EQ(Transfer(qv_.read, 0, data), 0u);
}

TEST_F(MediumCycle, TheNarrowDataPathCarriesTheSameBytes) {
    Insert({}, false);
    const auto image = NewImage(1024);
    ASSERT_TRUE(drive_->InsertMedium(image));
    BringUp();
    EXPECT_EQ(context_.wideDataPath, 0u);
    std::vector<uint8_t> written = Pattern(2 * kHalf, 2);
    ASSERT_EQ(Transfer(qv_.write, 7, written), 0u);
    EXPECT_EQ(ImageBytes(image, 7 * 512, written.size()), written);
    std::vector<uint8_t> read(2 * kHalf);
    ASSERT_EQ(Transfer(qv_.read, 7, read), 0u);
    EXPECT_EQ(read, written);
}

TEST_F(MediumCycle, OddBurstsInTheMiddleOfAWideTransferLoseNothing) {
    Insert();
    const auto image = NewImage(1024);
    ASSERT_TRUE(drive_->InsertMedium(image));
    BringUp();
    std::vector<uint8_t> written = Pattern(4096, 3);
    drive_->SetBurstPattern({1001, 999, 2096});
    auto request = SplitRequest<2>(3, written.data(), 4096);
    ASSERT_EQ(qv_.write(&context_, request.request()), 0u);
    EXPECT_EQ(ImageBytes(image, 3 * 512, 4096), written);
    std::vector<uint8_t> read(4096);
    drive_->SetBurstPattern({513, 3583});
    auto back = SplitRequest<2>(3, read.data(), 4096);
    ASSERT_EQ(qv_.read(&context_, back.request()), 0u);
    EXPECT_EQ(read, written);
}

TEST_F(MediumCycle, ADriveAtTheSecondPositionIsFoundThere) {
    sim::DriveSettings settings;
    settings.position = sim::DrivePosition::Device1;
    Insert(settings);
    InsertMedium(1024);
    BringUp();
    EXPECT_EQ(context_.driveSelect, 0xB0);
    EXPECT_EQ(context_.diskInfo.totalSectors, 1024u);
    std::vector<uint8_t> data = Pattern(1024, 4);
    auto request = SplitRequest<1>(0, data.data(), 1024);
    EXPECT_EQ(qv_.write(&context_, request.request()), 0u);
}

TEST_F(MediumCycle, AnotherModelIsNotTakenForOurs) {
    sim::DriveSettings settings;
    settings.model = "QUORVA ZAPT!";
    Insert(settings);
    EXPECT_FALSE(InitDrive(3));
}

TEST_F(MediumCycle, APageAlreadySetIsLeftAloneAndAnUnusableCartridgeIsNotRegistered) {
    sim::DriveSettings settings;
    settings.page2FInitial = 0x20;
    Insert(settings);
    ASSERT_TRUE(drive_->InsertMedium(NewImage(1024), sim::MediumOptions{false, false}));
    BringUp();
    EXPECT_EQ(context_.mediumPresent, 0u);
    EXPECT_EQ(context_.mediaFlags & MF_MEDIUM_KNOWN, 0u);
    for (const auto& command : drive_->ReceivedCommands()) {
        EXPECT_NE(command.packet[0], 0x15) << "MODE SELECT sent";
    }
    EXPECT_EQ(drive_->ModePage2F(), 0x20);
}

TEST_F(MediumCycle, AWriteProtectedCartridgeRefusesWritesWith19) {
    Insert();
    const auto image = NewImage(1024);
    ASSERT_TRUE(drive_->InsertMedium(image, sim::MediumOptions{true, true}));
    BringUp();
    std::vector<uint8_t> data = Pattern(2048, 5);
    auto request = SplitRequest<2>(0, data.data(), 2048);
    EXPECT_EQ(qv_.write(&context_, request.request()), 19u);
    EXPECT_NE(context_.mediaFlags & MF_WRITE_PROTECTED, 0u);
    EXPECT_EQ(ImageBytes(image, 0, 2048), std::vector<uint8_t>(2048, 0));
    EXPECT_EQ(qv_.read(&context_, request.request()), 0u);

    // A drive that takes the data before it refuses: still 19.
    drive_->SetWriteProtectAfterData(true);
    EXPECT_EQ(qv_.write(&context_, request.request()), 19u);
}

TEST_F(MediumCycle, TheAtaVariantTracksItsMediumThroughMediaStatus) {
    sim::DriveSettings settings;
    settings.variant = sim::DriveVariant::Ata;
    Insert(settings);
    const auto image = NewImage(153 * 16 * 2);
    ASSERT_TRUE(drive_->InsertMedium(image));
    ASSERT_TRUE(InitDrive());
    EXPECT_EQ(context_.lbaCapable, 1u);
    EXPECT_NE(context_.diskInfo.totalSectors, 0u);
    EXPECT_EQ(context_.diskInfo.totalSectors,
              context_.diskInfo.cylinders * context_.diskInfo.heads *
                  context_.diskInfo.sectorsPerTrack);

    // The insertion is reported once as a change: acknowledged, medium not known yet.
    EXPECT_EQ(qv_.checkMedia(&context_), ERR_DEVICE);
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(context_.mediumPresent, 1u);
    EXPECT_EQ(context_.mediaFlags, MF_MEDIUM_KNOWN);

    drive_->EjectMedium();
    EXPECT_EQ(qv_.checkMedia(&context_), ERR_DEVICE);
    EXPECT_EQ(context_.mediumPresent, 0u);
}

}  // namespace
}  // namespace atapi_test
