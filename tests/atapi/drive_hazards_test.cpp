// Where the drive misbehaves: every request still ends, with its result, and the drive
// context stays sound.
#include <algorithm>
#include <cstring>
#include <functional>

#include "emulated_drive_fixture.h"

namespace atapi_test {
namespace {

class DriveHazards : public EmulatedDriveFixture {
protected:
    void Ready(sim::DriveSettings settings = {}, uint32_t blocks = 2048) {
        Insert(settings);
        image_ = NewImage(blocks);
        ASSERT_TRUE(drive_->InsertMedium(image_));
        BringUp();
        ASSERT_EQ(context_.mediumPresent, 1u);
    }
    // Unplugs the card, if still in, and plugs in a fresh drive with a registered medium.
    void Replug(sim::DriveSettings settings = {}) {
        context_ = DriveContext{};
        Ready(settings);
    }
    DWORD ReadBlocks(DWORD firstBlock, std::vector<uint8_t>& data) {
        auto request = SplitRequest<2>(firstBlock, data.data(), static_cast<DWORD>(data.size()));
        return qv_.read(&context_, request.request());
    }
    DWORD WriteBlocks(DWORD firstBlock, std::vector<uint8_t>& data) {
        auto request = SplitRequest<2>(firstBlock, data.data(), static_cast<DWORD>(data.size()));
        return qv_.write(&context_, request.request());
    }
    DWORD RawRead(BYTE opcode, std::vector<uint8_t>& data, DWORD code = 251) {
        CommandRecord record{};
        record.command.packet[0] = opcode;
        record.command.packet[8] = static_cast<BYTE>(data.size() / 512);
        record.command.buffer = data.data();
        record.command.length = static_cast<DWORD>(data.size());
        record.command.timeout = 30000;
        return qv_.command(&context_, code, &record);
    }
    size_t Received(uint8_t opcode) const {
        const auto commands = drive_->ReceivedCommands();
        return static_cast<size_t>(std::count_if(commands.begin(), commands.end(), [&](auto& c) {
            return c.command == 0xA0 && c.packet[0] == opcode;
        }));
    }

    std::filesystem::path image_;
};

// Hazard: DRQ with a byte count of 0. The drive then holds its data phase and takes no
// register write but DEVICE RESET: Read and Write end with 21 and reset it before they
// return, so the next requests run and the medium stays registered.
TEST_F(DriveHazards, DrqWithAZeroCountEndsAReadOrWriteWith21AndTheDriveServesTheNext) {
    Ready();
    std::vector<uint8_t> written = Pattern(4096, 3);
    std::vector<uint8_t> read(4096);
    drive_->SetMaxBurst(512);
    drive_->AnnounceZeroCount(1);
    EXPECT_EQ(ReadBlocks(0, read), 21u);
    EXPECT_EQ(WriteBlocks(8, written), 0u);
    drive_->AnnounceZeroCount(0);
    EXPECT_EQ(WriteBlocks(16, written), 21u);
    EXPECT_EQ(ReadBlocks(8, read), 0u);
    EXPECT_EQ(read, written);
    EXPECT_EQ(ImageBytes(image_, 8 * 512, written.size()), written);
    EXPECT_EQ(context_.mediumPresent, 1u);
    EXPECT_EQ(context_.mediaFlags, MF_MEDIUM_KNOWN);
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(context_.mediumPresent, 1u);
}

// A raw data phase ends with ERR_PHASE and leaves the drive holding DRQ; the card driver's
// Init brings it back (a reset per position), and the medium is registered again by the next
// CheckMedia.
TEST_F(DriveHazards, DrqWithAZeroCountEndsARawDataPhaseAndInitRecoversTheDrive) {
    Ready();
    std::vector<uint8_t> data(4096);
    drive_->SetMaxBurst(512);
    drive_->AnnounceZeroCount(2);
    EXPECT_EQ(RawRead(0x28, data), ERR_PHASE);
    EXPECT_EQ(ReadBlocks(0, data), 20u);  // still in its data phase
    clock_->Advance(2001);
    ASSERT_TRUE(InitDrive());
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(context_.mediumPresent, 1u);
    EXPECT_EQ(context_.mediaFlags, MF_MEDIUM_KNOWN);
    EXPECT_EQ(ReadBlocks(0, data), 0u);
    drive_->AnnounceZeroCount(0);
    EXPECT_EQ(RawRead(0x28, data, 254), ERR_PHASE);
}

// Hazard: more bytes announced than the request holds. Read and Write discard or fill the
// surplus of the burst and succeed; a raw data phase stops at its length and the final wait
// sees the drive still in its data phase.
TEST_F(DriveHazards, ASurplusIsDiscardedOrFilled) {
    Ready();
    std::vector<uint8_t> written = Pattern(4096, 7);
    drive_->AnnounceExtraBytes(6);
    EXPECT_EQ(WriteBlocks(10, written), 0u);
    EXPECT_EQ(ImageBytes(image_, 10 * 512, 4096), written);
    std::vector<uint8_t> read(4096);
    drive_->AnnounceExtraBytes(10);
    EXPECT_EQ(ReadBlocks(10, read), 0u);
    EXPECT_EQ(read, written);
    drive_->AnnounceExtraBytes(4);
    std::vector<uint8_t> raw(512);
    EXPECT_EQ(RawRead(0x28, raw, 254), ERR_PHASE);
}

// Hazard: nothing answering (status 0xFF). Waits poll until their time-outs; the probe fails.
TEST_F(DriveHazards, NothingAnsweringEndsEveryEntryPoint) {
    Ready();
    drive_->SetNothingAnswering(true);
    std::vector<uint8_t> data(1024);
    const DWORD start = clock_->TickCount();
    EXPECT_EQ(ReadBlocks(0, data), 20u);
    EXPECT_EQ(WriteBlocks(0, data), 20u);
    EXPECT_EQ(qv_.checkMedia(&context_), ERR_DEVICE);
    EXPECT_EQ(qv_.init(&context_), 0u);
    EXPECT_EQ(RawRead(0x28, data), ERR_PHASE);
    EXPECT_EQ(qv_.command(&context_, 255, nullptr), ERR_DEVICE);  // no signature either
    EXPECT_LT(clock_->TickCount() - start, 60000u);
}

// Hazard: a command that never completes: the read's 30 s wait ends it, and the drive, still
// busy, fails the probe.
TEST_F(DriveHazards, AStalledCommandTimesOut) {
    Ready();
    drive_->StallPacket(sim::CommandMatch{0x28});
    std::vector<uint8_t> data(1024);
    const DWORD start = clock_->TickCount();
    EXPECT_EQ(ReadBlocks(0, data), 20u);
    EXPECT_GE(clock_->TickCount() - start, 30000u);
    EXPECT_LT(clock_->TickCount() - start, 31000u);

    // A reset brings it back; its unit attention is news for the registered medium.
    EXPECT_EQ(qv_.command(&context_, 255, nullptr), 0u);
    EXPECT_EQ(ReadBlocks(0, data), 0u);
}

// Hazard: a data phase that stops after a burst.
TEST_F(DriveHazards, ADataPhaseThatStopsHalfwayEndsTheRequest) {
    Ready();
    drive_->SetMaxBurst(512);
    drive_->StallAfterBurst(1);
    std::vector<uint8_t> data(4096);
    EXPECT_EQ(ReadBlocks(0, data), 20u);
    Replug();
    drive_->SetMaxBurst(512);
    drive_->StallAfterBurst(1);
    std::vector<uint8_t> raw(4096);
    EXPECT_EQ(RawRead(0x28, raw, 254), ERR_SHORT_TRANSFER);
}

// Hazard: a sense that never decides. 99 REQUEST SENSE commands, then a reset, whose own sense
// does not decide either: ERR_DEVICE.
TEST_F(DriveHazards, EndlessUnitAttentionsEndInADeviceError) {
    Ready();
    context_.mediumPresent = 0;
    drive_->InjectError(sim::InjectedError{sim::CommandMatch{0x00}, sim::Sense{6, 0x29, 0}, 1});
    drive_->ReportSense(sim::Sense{6, 0x29, 0}, 1000);
    drive_->ClearReceivedCommands();
    EXPECT_EQ(qv_.checkMedia(&context_), ERR_DEVICE);
    EXPECT_EQ(Received(0x03), 2u * 99u);  // the attempt's and the reset's
}

TEST_F(DriveHazards, ADeviceErrorWithAbortIsReportedAsAborted) {
    Ready();
    drive_->SetAbortOnError(true);
    drive_->InjectError(sim::InjectedError{sim::CommandMatch{0x28}, sim::Sense{3, 0x11, 0}, 1});
    std::vector<uint8_t> data(512);
    EXPECT_EQ(RawRead(0x28, data, 254), ERR_ABORTED);
}

// After the retries, each with a reset, the last sense the library kept is the reset's.
TEST_F(DriveHazards, AnUnreadableBlockIsADeviceErrorWithTheLastSenseHandedBack) {
    Ready();
    drive_->InjectError(sim::InjectedError{sim::CommandMatch{0x28}, sim::Sense{3, 0x11, 0}, 10});
    std::vector<uint8_t> data(512);
    CommandRecord record{};
    record.command.packet[0] = 0x28;
    record.command.packet[8] = 1;
    record.command.buffer = data.data();
    record.command.length = 512;
    record.command.timeout = 30000;
    EXPECT_EQ(qv_.command(&context_, 251, &record), ERR_DEVICE);
    EXPECT_EQ(Received(0x28), 4u);
    EXPECT_EQ(record.command.senseData[2], 6);
    EXPECT_EQ(record.command.senseData[12], 0x29);
    EXPECT_EQ(std::memcmp(record.command.senseData, context_.senseData, 32), 0);
}

// Hazard: a medium that needs a while to become ready after insertion.
TEST_F(DriveHazards, AMediumBecomingReadyIsRegisteredOnceItIs) {
    sim::DriveSettings settings;
    settings.timing.becomingReadyCommands = 3;
    Insert(settings);
    InsertMedium(1024);
    ASSERT_TRUE(InitDrive());
    int checks = 0;
    while (context_.mediumPresent == 0 && checks < 10) {
        EXPECT_EQ(qv_.checkMedia(&context_), 0u);
        ++checks;
    }
    EXPECT_EQ(context_.mediumPresent, 1u);
    EXPECT_GT(checks, 1);
    EXPECT_EQ(context_.diskInfo.totalSectors, 1024u);
}

// Hazard: the card pulled at any access of a request. Every request ends with 20 (CheckMedia
// reports it as 0, Init as 0) and the medium state stays as it was. Each operation is cut at
// every one of its accesses in turn, until it runs to its end before the pull.
TEST_F(DriveHazards, ACardPulledAtAnyStepEndsTheRequestWith20) {
    std::vector<uint8_t> data(512);
    struct Operation {
        const char* name;
        std::function<DWORD()> run;
        DWORD whenPulled;
        DWORD success;
    };
    const Operation operations[] = {
        {"Read", [&] { return ReadBlocks(0, data); }, 20, 0},
        {"Write", [&] { return WriteBlocks(0, data); }, 20, 0},
        {"Command 251", [&] { return RawRead(0x28, data); }, 20, 0},
        {"CheckMedia", [&] { return qv_.checkMedia(&context_); }, 0, 0},
        {"Init", [&] { return qv_.init(&context_); }, 0, 1},
    };
    for (const Operation& operation : operations) {
        uint32_t step = 1;
        for (;; ++step) {
            Replug();
            const DriveContext before = context_;
            drive_->PullCardAfterAccesses(step);
            const DWORD result = operation.run();
            const bool pulled = !CardIn();
            // Done before the pull, or the pull came after the last access.
            if (!pulled || (result == operation.success && result != operation.whenPulled)) break;
            EXPECT_EQ(result, operation.whenPulled) << operation.name << " step " << step;
            if (operation.name != std::string("Init")) {
                EXPECT_EQ(context_.mediumPresent, before.mediumPresent) << operation.name << step;
                EXPECT_EQ(context_.mediaFlags, before.mediaFlags) << operation.name << step;
            }
        }
        EXPECT_GT(step, 20u) << operation.name;
    }
}

// Hazard: a drive whose reset takes long while Init is retried every 500 ms.
TEST_F(DriveHazards, InitRetriesFindADriveThatResetsInUnder2Seconds) {
    for (const auto resetStatus : {sim::ResetStatus::Busy, sim::ResetStatus::Zero}) {
        for (const DWORD resetMs : {1500u, 2600u}) {
            sim::DriveSettings settings;
            settings.timing.resetMilliseconds = resetMs;
            settings.deviceResetStatus = resetStatus;
            context_ = DriveContext{};
            Insert(settings);
            drive_->StallNextCommand();  // the first identify hangs: Init resets the drive
            EXPECT_EQ(qv_.init(&context_), 0u);
            int attempts = 1;
            while (qv_.init(&context_) == 0 && attempts < 20) {
                clock_->Advance(500);
                ++attempts;
            }
            if (resetMs < 2000) {
                EXPECT_LT(attempts, 20) << resetMs;
            } else {
                EXPECT_EQ(attempts, 20) << "the 2 s guard resets it again before it is done";
            }
        }
    }
}

// Hazard: a drive that reads status 0, not BSY, for as long as DEVICE RESET runs. The reset
// wait lasts until the drive shows its signature, and the drive then serves the next request.
TEST_F(DriveHazards, AResetShowingStatusZeroIsWaitedForUntilItsEnd) {
    sim::DriveSettings settings;
    settings.deviceResetStatus = sim::ResetStatus::Zero;
    settings.timing.resetMilliseconds = 400;
    Ready(settings);
    std::vector<uint8_t> data(4096);
    const DWORD start = clock_->TickCount();
    EXPECT_EQ(qv_.command(&context_, 255, nullptr), 0u);
    EXPECT_GE(clock_->TickCount() - start, 400u);
    EXPECT_LT(clock_->TickCount() - start, 500u);
    EXPECT_EQ(ReadBlocks(0, data), 0u);
    drive_->SetMaxBurst(512);
    drive_->AnnounceZeroCount(1);  // Read resets the drive itself
    EXPECT_EQ(ReadBlocks(0, data), 21u);
    EXPECT_EQ(ReadBlocks(0, data), 0u);
}

// Hazard: an ATA drive answering at the second position; its software reset selects device 0.
TEST_F(DriveHazards, AnAtaDriveAtTheSecondPositionIsFoundAfterItsReset) {
    sim::DriveSettings settings;
    settings.variant = sim::DriveVariant::Ata;
    settings.position = sim::DrivePosition::Device1;
    Insert(settings);
    InsertMedium(153 * 16 * 2);
    ASSERT_TRUE(InitDrive());
    EXPECT_EQ(context_.driveSelect, 0xB0);
    // The reset leaves device 0 selected, whose empty position reads status 0: not ready, so
    // the wait for the reset to finish sees the phase left at once. The drive itself is fine.
    EXPECT_EQ(qv_.command(&context_, 255, nullptr), ERR_PHASE);
    EXPECT_EQ(qv_.checkMedia(&context_), ERR_DEVICE);  // the insertion, reported once
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(context_.mediumPresent, 1u);
}

}  // namespace
}  // namespace atapi_test
