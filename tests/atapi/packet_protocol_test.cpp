// SendPacket, TransferData, WaitSeekComplete and CommandTimeout against the scripted device.
#include <command_engine.h>

#include "drive_fixture.h"

namespace atapi_test {
namespace {

using atapi::CommandTimeout;
using atapi::Direction;
using atapi::SendPacket;
using atapi::TransferData;
using atapi::WaitSeekComplete;
using Trace = std::vector<std::string>;

class PacketProtocol : public DriveFixture {
protected:
    PacketScript script_{drive_};
    BYTE packet_[12] = {0x28, 0, 0, 0, 0, 7, 0, 0, 1, 0, 0, 0};
};

TEST_F(PacketProtocol, APacketGoesOutInThisOrder) {
    UseWidePath(true);
    context_.driveSelect = 0xB0;
    script_.Queue(0x28, Returns(Bytes(0x1234)));
    EXPECT_EQ(SendPacket(context_, packet_, 0x1234, 30000), 0u);
    EXPECT_EQ(drive_.Commands(),
              (Trace{"W6=B0", "W4=34", "W5=12", "W7=A0", "W0:16=0028", "W0:16=0000",
                     "W0:16=0700", "W0:16=0000", "W0:16=0001", "W0:16=0000"}));
    EXPECT_EQ(script_.packets.size(), 1u);
}

TEST_F(PacketProtocol, WithoutALimitThePacketWaitsForCompletion) {
    const BYTE testUnitReady[12] = {};
    EXPECT_EQ(SendPacket(context_, testUnitReady, 0, 11000), 0u);
    // A device that wants data although no limit was given has left the phase.
    script_.Queue(0x00, Returns(Bytes(4)));
    EXPECT_EQ(SendPacket(context_, testUnitReady, 0, 11000), ERR_PHASE);
}

TEST_F(PacketProtocol, EachStepRunsOnlyAfterTheLastSucceeded) {
    // Still busy with something else: nothing is written.
    drive_.Status({0x80});
    const DWORD start = Now();
    EXPECT_EQ(SendPacket(context_, packet_, 512, 30000), ERR_PHASE);
    EXPECT_EQ(Now() - start, 300u);
    EXPECT_EQ(drive_.Commands(), Trace{});

    // An idle device showing ERR is fine; one that never asks for the packet is not.
    drive_.onCommand = nullptr;
    drive_.Status({0x41, 0x50});
    EXPECT_EQ(SendPacket(context_, packet_, 512, 30000), ERR_PHASE);
    EXPECT_EQ(drive_.dataOut.size(), 0u);
}

TEST_F(PacketProtocol, DataArrivesInTheBurstsTheDeviceAnnounces) {
    Reply reply = Returns(Bytes(1000));
    reply.bursts = {400, 100, 500};
    script_.Queue(0x28, reply);
    ASSERT_EQ(SendPacket(context_, packet_, 1000, 30000), 0u);
    std::vector<BYTE> buffer(1000);
    EXPECT_EQ(TransferData(context_, buffer.data(), 1000, 30000, Direction::FromDevice), 0u);
    EXPECT_EQ(buffer, Bytes(1000));
}

TEST_F(PacketProtocol, ADeviceThatStopsEarlyGivesAShortTransfer) {
    script_.Queue(0x28, Returns(Bytes(256)));
    ASSERT_EQ(SendPacket(context_, packet_, 512, 30000), 0u);
    std::vector<BYTE> buffer(512);
    EXPECT_EQ(TransferData(context_, buffer.data(), 512, 30000, Direction::FromDevice),
              ERR_SHORT_TRANSFER);
}

TEST_F(PacketProtocol, ADeviceAnnouncingMoreThanRemainsMovesOnlyTheRemainder) {
    script_.Queue(0x28, Returns(Bytes(600)));
    ASSERT_EQ(SendPacket(context_, packet_, 600, 30000), 0u);
    std::vector<BYTE> buffer(512 + 1, 0xEE);
    EXPECT_EQ(TransferData(context_, buffer.data(), 512, 30000, Direction::FromDevice), ERR_PHASE);
    EXPECT_EQ(buffer[512], 0xEE);
    EXPECT_EQ(drive_.dataIn.size(), 600u - 512u);
}

TEST_F(PacketProtocol, DrqWithAZeroCountEndsTheTransfer) {
    Reply reply = Returns(Bytes(512));
    reply.bursts = {0};
    script_.Queue(0x28, reply);
    ASSERT_EQ(SendPacket(context_, packet_, 512, 30000), 0u);
    std::vector<BYTE> buffer(512);
    EXPECT_EQ(TransferData(context_, buffer.data(), 512, 30000, Direction::FromDevice), ERR_PHASE);
}

TEST_F(PacketProtocol, WritingSendsTheBufferAndNothingOfAZeroTotal) {
    script_.Queue(0x2A, Takes(6));
    BYTE write[12] = {0x2A};
    ASSERT_EQ(SendPacket(context_, write, 6, 30000), 0u);
    BYTE data[6] = {9, 8, 7, 6, 5, 4};
    EXPECT_EQ(TransferData(context_, data, 6, 30000, Direction::ToDevice), 0u);
    EXPECT_EQ(script_.written.back(), (std::vector<uint8_t>{9, 8, 7, 6, 5, 4}));

    ClearTrace();
    EXPECT_EQ(TransferData(context_, data, 0, 30000, Direction::ToDevice), 0u);
    EXPECT_EQ(drive_.trace, Trace{});
}

TEST_F(PacketProtocol, OnlySeeksWaitForSeekCompletion) {
    drive_.Status({0x40});  // idle, seek not complete
    EXPECT_EQ(WaitSeekComplete(context_, 0x28, 1000), 0u);
    EXPECT_EQ(drive_.statusReads, 0u);
    const DWORD start = Now();
    EXPECT_EQ(WaitSeekComplete(context_, 0x2B, 1000), ERR_PHASE);
    EXPECT_EQ(Now() - start, 1000u);
    drive_.Status({0x40, 0x40, 0x50});
    EXPECT_EQ(WaitSeekComplete(context_, 0x0B, 1000), 0u);
}

TEST(CommandTimeouts, ByOpcode) {
    const std::pair<BYTE, DWORD> table[] = {
        {0x00, 11000}, {0x03, 11000}, {0x04, 900000}, {0x08, 30000}, {0x0A, 30000},
        {0x28, 30000}, {0x2A, 30000}, {0xA8, 30000},  {0xAA, 30000}, {0x1B, 15000},
        {0x1A, 11000}, {0x15, 11000}, {0x06, 11000},  {0xFF, 11000}};
    for (const auto& [opcode, timeout] : table) {
        EXPECT_EQ(CommandTimeout(opcode), timeout) << int(opcode);
    }
}

}  // namespace
}  // namespace atapi_test
