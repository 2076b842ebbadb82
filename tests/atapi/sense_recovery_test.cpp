// Sense evaluation, recovery with retries, resets and the register probe.
#include <command_engine.h>

#include "drive_fixture.h"

namespace atapi_test {
namespace {

using atapi::EvaluateSense;
using atapi::ProbeRegisters;
using atapi::ResetDevice;
using atapi::SendPacketWithRecovery;
using atapi::StartReset;
using Trace = std::vector<std::string>;

class Sense : public DriveFixture {
protected:
    void SetUp() override {
        DriveFixture::SetUp();
        RegisterMedium(context_, 1000);
        context_.mediaFlags |= MF_WRITE_PROTECTED;
    }
    size_t SenseRequests() const { return script_.packets.size(); }
    bool MediumForgotten() const {
        return context_.mediumPresent == 0 &&
               (context_.mediaFlags & (MF_MEDIUM_KNOWN | MF_WRITE_PROTECTED)) == 0;
    }

    PacketScript script_{drive_};
};

TEST_F(Sense, EachAdditionalSenseCodeHasItsOutcome) {
    struct Case {
        uint8_t asc;
        DWORD result;
        bool forgetsMedium;
    };
    const Case table[] = {
        {0x00, 0, false},  {0x0C, 0, false},  {0x17, 0, false},         {0x18, 0, false},
        {0x04, 21, false}, {0x27, 19, false}, {0x30, 21, true},         {0x3A, 21, true},
        {0x28, 21, true},  {0x29, 21, false}, {0x11, ERR_DEVICE, false}};
    for (const Case& c : table) {
        SetUp();
        context_.mediaFlags &= ~MF_WRITE_PROTECTED;
        script_.sense = {{0x06, c.asc}};
        EXPECT_EQ(EvaluateSense(context_), c.result) << std::hex << int(c.asc);
        EXPECT_EQ(SenseRequests(), 1u);
        EXPECT_EQ(MediumForgotten(), c.forgetsMedium) << std::hex << int(c.asc);
        EXPECT_EQ((context_.mediaFlags & MF_WRITE_PROTECTED) != 0, c.asc == 0x27);
        script_.packets.clear();
        TearDown();
    }
}

TEST_F(Sense, MediumChangedWithoutARegisteredMediumAsksAgain) {
    context_.mediumPresent = 0;
    script_.sense = {{0x06, 0x28}};
    EXPECT_EQ(EvaluateSense(context_), 0u);
    EXPECT_EQ(SenseRequests(), 2u);
    EXPECT_TRUE(MediumForgotten());
}

TEST_F(Sense, UnitAttentionsAreConsumedOneAfterAnother) {
    context_.mediumPresent = 0;
    script_.sense = {{0x06, 0x29}, {0x06, 0x28}, {0x02, 0x3A}};
    EXPECT_EQ(EvaluateSense(context_), 21u);
    EXPECT_EQ(SenseRequests(), 3u);

    script_.sense = {{0x06, 0x29}, {0x06, 0x28}};
    script_.packets.clear();
    EXPECT_EQ(EvaluateSense(context_), 0u);
    EXPECT_EQ(SenseRequests(), 3u);
    // The last sense with an additional code is kept: 0x28.
    EXPECT_EQ(context_.senseData[0], 0x70);
    EXPECT_EQ(context_.senseData[2], 0x06);
    EXPECT_EQ(context_.senseData[12], 0x28);
}

TEST_F(Sense, NinetyNineAttentionsEndInADeviceError) {
    context_.mediumPresent = 0;
    for (int i = 0; i < 120; ++i) script_.sense.emplace_back(0x06, 0x29);
    EXPECT_EQ(EvaluateSense(context_), ERR_DEVICE);
    EXPECT_EQ(SenseRequests(), 99u);
}

TEST_F(Sense, AFailingRequestSenseGivesItsOwnResult) {
    Reply aborted;
    aborted.abort = true;
    script_.Queue(0x03, aborted);
    EXPECT_EQ(EvaluateSense(context_), ERR_ABORTED);
    script_.Queue(0x03, Returns(Bytes(10)));  // stops short of 26 bytes
    EXPECT_EQ(EvaluateSense(context_), ERR_SHORT_TRANSFER);
}

TEST_F(Sense, RequestSenseAsksFor26Bytes) {
    EXPECT_EQ(EvaluateSense(context_), 0u);
    ASSERT_EQ(script_.packets.size(), 1u);
    EXPECT_EQ(script_.packets[0], (std::vector<uint8_t>{0x03, 0, 0, 0, 26, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(drive_.registers[4], 26);  // the limit, read back as the burst
}

class Recovery : public Sense {
protected:
    BYTE packet_[12] = {0x00};
};

TEST_F(Recovery, ARetryAfterAnExplainedFailureSucceeds) {
    context_.mediumPresent = 0;
    script_.Queue(0x00, Fails(0x06, 0x29));  // then no more sense
    EXPECT_EQ(SendPacketWithRecovery(context_, packet_, 0, 11000), 0u);
    EXPECT_EQ(script_.Opcodes(), (std::vector<uint8_t>{0x00, 0x03, 0x03, 0x00}));
}

TEST_F(Recovery, FourAttemptsThatEachRecoverEndInADeviceError) {
    for (int i = 0; i < 5; ++i) script_.Queue(0x00, Fails(0x01, 0x17));  // recovered error
    EXPECT_EQ(SendPacketWithRecovery(context_, packet_, 0, 11000), ERR_DEVICE);
    EXPECT_EQ(script_.Opcodes(),
              (std::vector<uint8_t>{0x00, 0x03, 0x00, 0x03, 0x00, 0x03, 0x00, 0x03}));
}

TEST_F(Recovery, AnUnusableSenseResetsTheDeviceBeforeTheRetry) {
    script_.Queue(0x00, Fails(0x04, 0x44));
    context_.mediumPresent = 0;
    EXPECT_EQ(SendPacketWithRecovery(context_, packet_, 0, 11000), 0u);
    EXPECT_EQ(script_.resets, 1);
    // attempt, its sense, the reset's sense (0x29, then none), the retry
    EXPECT_EQ(script_.Opcodes(), (std::vector<uint8_t>{0x00, 0x03, 0x03, 0x03, 0x00}));
}

TEST_F(Recovery, ANotReadyOutcomeIsReturnedWithoutRetrying) {
    script_.Queue(0x00, Fails(0x02, 0x3A));
    EXPECT_EQ(SendPacketWithRecovery(context_, packet_, 0, 11000), 21u);
    EXPECT_EQ(script_.Opcodes(), (std::vector<uint8_t>{0x00, 0x03}));
    EXPECT_TRUE(MediumForgotten());
}

class Reset : public Sense {};

TEST_F(Reset, APacketDeviceIsResetByCommandAndAnswersWithItsSignature) {
    context_.mediumPresent = 0;
    context_.driveSelect = 0xB0;
    EXPECT_EQ(ResetDevice(context_), 0u);
    const Trace commands = drive_.Commands();
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(Trace(commands.begin(), commands.begin() + 4), (Trace{"W6=B0", "W7=08", "R4", "R5"}));
    EXPECT_EQ(script_.resets, 1);
    EXPECT_TRUE(script_.sense.empty());  // the reset's unit attention was consumed
}

TEST_F(Reset, WithoutTheSignatureTheResetFails) {
    script_.resetSignature = false;
    EXPECT_EQ(ResetDevice(context_), ERR_DEVICE);
    EXPECT_TRUE(script_.packets.empty());  // no sense asked
}

TEST_F(Reset, ASenseThatMakesNoSenseAfterTheResetFailsIt) {
    script_.resetQueuesUnitAttention = false;
    script_.sense = {{0x04, 0x44}};
    EXPECT_EQ(ResetDevice(context_), ERR_DEVICE);
}

TEST_F(Reset, AnAtaDeviceIsResetThroughTheControlRegister) {
    context_.deviceKind = DEVICE_KIND_ATA;
    std::vector<std::pair<BYTE, DWORD>> control;
    drive_.onControl = [&](uint8_t value) { control.emplace_back(value, Now()); };
    drive_.Status({0x50});
    EXPECT_EQ(ResetDevice(context_), 0u);
    ASSERT_EQ(control.size(), 2u);
    EXPECT_EQ(control[0].first, 0x06);
    EXPECT_EQ(control[1].first, 0x02);
    EXPECT_EQ(control[1].second - control[0].second, 40u);
    EXPECT_EQ(drive_.Commands(), (Trace{"W6=A0", "WE=06", "WE=02"}));

    drive_.Status({0x10});  // not busy but not ready
    EXPECT_EQ(ResetDevice(context_), ERR_PHASE);
}

TEST_F(Reset, StartResetNeitherSelectsNorWaits) {
    drive_.Status({0x80});
    StartReset(context_);
    EXPECT_EQ(drive_.trace, Trace{"W7=08"});
    context_.deviceKind = DEVICE_KIND_ATA;
    ClearTrace();
    StartReset(context_);
    EXPECT_EQ(drive_.trace, (Trace{"WE=06", "WE=02"}));
    PullCard();
    StartReset(context_);  // the fault is swallowed
}

TEST_F(Reset, TheProbeWritesAndReadsBackTwoRegisters) {
    EXPECT_EQ(ProbeRegisters(context_), 0u);
    EXPECT_EQ(drive_.trace, (Trace{"W6=A0", "W4=55", "W5=AA", "R4", "R5"}));
    drive_.latchWrites = false;  // an empty position: the registers keep what they had
    drive_.registers[4] = drive_.registers[5] = 0xFF;
    EXPECT_EQ(ProbeRegisters(context_), ERR_DEVICE);
    PullCard();
    EXPECT_EQ(ProbeRegisters(context_), 20u);
}

}  // namespace
}  // namespace atapi_test
