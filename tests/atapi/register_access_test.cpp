// The data paths: every access goes to register 0, an odd count moves an even number of
// bytes across the interface, and the filler is 0xDD on both paths.
#include <register_access.h>

#include <cstring>

#include "drive_fixture.h"

namespace atapi_test {
namespace {

using atapi::ReadByteCount;
using atapi::ReadData;
using atapi::WriteData;
using Trace = std::vector<std::string>;

class RegisterAccess : public DriveFixture {};

TEST_F(RegisterAccess, WidePathReadsWordsLittleEndianAndKeepsOnlyTheLowByteOfAnOddEnd) {
    UseWidePath(true);
    drive_.Data({0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
    BYTE buffer[6];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(ReadData(context_, buffer, 5), 0u);
    EXPECT_EQ(drive_.trace, (Trace{"R0:16", "R0:16", "R0:16"}));
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 6),
              (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44, 0x55, 0xEE}));
}

TEST_F(RegisterAccess, WidePathWritesAnOddEndWithTheFillerInTheHighByte) {
    UseWidePath(true);
    const BYTE bytes[5] = {0x01, 0x02, 0x03, 0x04, 0x05};
    EXPECT_EQ(WriteData(context_, bytes, 5), 0u);
    EXPECT_EQ(drive_.trace, (Trace{"W0:16=0201", "W0:16=0403", "W0:16=DD05"}));
}

TEST_F(RegisterAccess, WidePathDiscardsAndFillsWholeWords) {
    UseWidePath(true);
    EXPECT_EQ(ReadData(context_, nullptr, 3), 0u);
    EXPECT_EQ(WriteData(context_, nullptr, 3), 0u);
    EXPECT_EQ(drive_.trace, (Trace{"R0:16", "R0:16", "W0:16=DDDD", "W0:16=DDDD"}));
}

TEST_F(RegisterAccess, NarrowPathPadsOddCountsToAnEvenNumberOfBytes) {
    UseWidePath(false);
    drive_.Data({0xA1, 0xA2, 0xA3, 0xA4});
    BYTE buffer[4];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(ReadData(context_, buffer, 3), 0u);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 4),
              (std::vector<uint8_t>{0xA1, 0xA2, 0xA3, 0xEE}));
    EXPECT_TRUE(drive_.dataIn.empty());  // the fourth byte was read and dropped

    const BYTE bytes[3] = {0x07, 0x08, 0x09};
    ClearTrace();
    EXPECT_EQ(WriteData(context_, bytes, 3), 0u);
    EXPECT_EQ(drive_.trace, (Trace{"W0=07", "W0=08", "W0=09", "W0=DD"}));
}

TEST_F(RegisterAccess, NarrowPathDiscardsFourAndFillsFourForThreeBytes) {
    UseWidePath(false);
    EXPECT_EQ(ReadData(context_, nullptr, 3), 0u);
    EXPECT_EQ(WriteData(context_, nullptr, 3), 0u);
    EXPECT_EQ(drive_.trace,
              (Trace{"R0", "R0", "R0", "R0", "W0=DD", "W0=DD", "W0=DD", "W0=DD"}));
}

TEST_F(RegisterAccess, ByteCountIsRegisterFourThenFive) {
    drive_.ByteCount(512);
    DWORD count = 0;
    EXPECT_EQ(ReadByteCount(context_, count), 0u);
    EXPECT_EQ(count, 512u);
    EXPECT_EQ(drive_.trace, (Trace{"R4", "R5"}));
}

TEST_F(RegisterAccess, APulledCardEndsEveryAccessWith20AndLeavesTheContextAlone) {
    context_.mediumPresent = 1;
    context_.diskInfo.totalSectors = 77;
    const DriveContext before = context_;
    PullCard();
    BYTE buffer[8] = {};
    DWORD count = 1234;
    EXPECT_EQ(ReadData(context_, buffer, 8), 20u);
    EXPECT_EQ(WriteData(context_, buffer, 8), 20u);
    EXPECT_EQ(ReadByteCount(context_, count), 20u);
    EXPECT_EQ(count, 1234u);
    ExpectSameDriveState(before, context_);
}

}  // namespace
}  // namespace atapi_test
