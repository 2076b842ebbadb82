// WaitStatus: what ends a wait, when, and after how many polls.
#include <command_engine.h>

#include "drive_fixture.h"

namespace atapi_test {
namespace {

using atapi::WaitStatus;

constexpr DWORD COMMAND_DONE = WS_NOT_BUSY | WS_NO_DRQ;  // 0x12
constexpr DWORD DATA_READY = WS_NOT_BUSY | WS_DRQ;       // 0x0A
constexpr DWORD SEEK_DONE = WS_NOT_BUSY | WS_SEEK_DONE;  // 0x22

class StatusWait : public DriveFixture {
protected:
    // Answers BSY until the clock reaches start + readyAfter, then ready.
    void ReadyAfter(DWORD milliseconds, uint8_t ready = 0x50) {
        const DWORD start = Now();
        drive_.statusSource = [=, this] {
            return static_cast<uint8_t>(Now() - start >= milliseconds ? ready : 0x80);
        };
    }
};

TEST_F(StatusWait, ErrIsNotLookedAtWhileBusy) {
    drive_.Status({0x81, 0x81, 0x50});
    EXPECT_EQ(WaitStatus(context_, 300, COMMAND_DONE), 0u);
    EXPECT_EQ(drive_.statusReads, 3u);
    EXPECT_EQ(drive_.Commands(), std::vector<std::string>{});  // the error register unread
}

TEST_F(StatusWait, ErrOnAnIdleDeviceEndsTheWaitByItsErrorRegister) {
    drive_.Status({0x41});
    drive_.registers[1] = 0x04;
    EXPECT_EQ(WaitStatus(context_, 300, COMMAND_DONE), ERR_ABORTED);
    drive_.registers[1] = 0x50;
    EXPECT_EQ(WaitStatus(context_, 300, DATA_READY), ERR_DEVICE);
    EXPECT_EQ(drive_.Commands(), (std::vector<std::string>{"R1", "R1"}));
}

TEST_F(StatusWait, IgnoreErrorSucceedsAtOnceWhateverTheOtherBits) {
    drive_.Status({0x49});  // ERR and DRQ
    EXPECT_EQ(WaitStatus(context_, 300, WS_IGNORE_ERROR | COMMAND_DONE), 0u);
    EXPECT_EQ(drive_.statusReads, 1u);
    EXPECT_EQ(drive_.Commands(), std::vector<std::string>{});
}

TEST_F(StatusWait, ADeviceOutOfTheWantedPhaseFailsOnTheFirstPoll) {
    const DWORD start = Now();
    drive_.Status({0x58});  // not busy, DRQ
    EXPECT_EQ(WaitStatus(context_, 300, COMMAND_DONE), ERR_PHASE);
    drive_.Status({0x50});  // not busy, no DRQ
    EXPECT_EQ(WaitStatus(context_, 300, DATA_READY), ERR_PHASE);
    EXPECT_EQ(drive_.statusReads, 2u);
    EXPECT_EQ(Now(), start);
}

TEST_F(StatusWait, ASeekWaitKeepsPollingAnIdleDeviceUntilSeekCompletes) {
    // Before DSC the device shows not busy without it: 0x40, which must not end the wait.
    const DWORD start = Now();
    drive_.statusSource = [=, this] {
        return static_cast<uint8_t>(Now() - start >= 2000 ? 0x50 : 0x40);
    };
    EXPECT_EQ(WaitStatus(context_, 5000, SEEK_DONE), 0u);
    EXPECT_EQ(Now() - start, 2000u);

    const DWORD again = Now();
    drive_.statusSource = [] { return uint8_t{0x40}; };
    EXPECT_EQ(WaitStatus(context_, 700, SEEK_DONE), ERR_PHASE);
    EXPECT_EQ(Now() - again, 700u);
}

TEST_F(StatusWait, TimeOutCountsFromTheStartOnTheTick) {
    ReadyAfter(299);
    EXPECT_EQ(WaitStatus(context_, 300, COMMAND_DONE), 0u);
    ReadyAfter(301);
    const DWORD start = Now();
    EXPECT_EQ(WaitStatus(context_, 300, COMMAND_DONE), ERR_PHASE);
    EXPECT_EQ(Now() - start, 300u);
}

TEST_F(StatusWait, NoTimeOutWaitsAsLongAsItTakes) {
    ReadyAfter(45000);
    EXPECT_EQ(WaitStatus(context_, 0, COMMAND_DONE), 0u);
}

// The first 1001 polls follow each other at once; each later one costs 1 ms.
TEST_F(StatusWait, PollsBackToBackUntilTheCounterPasses1000) {
    struct Case {
        size_t busyReads;
        DWORD elapsed;
    };
    for (const Case& c : {Case{1001, 0}, Case{1002, 1}, Case{1051, 50}}) {
        const DWORD start = Now();
        size_t reads = 0;
        drive_.statusSource = [&] { return static_cast<uint8_t>(reads++ < c.busyReads ? 0x80 : 0x50); };
        EXPECT_EQ(WaitStatus(context_, 300, COMMAND_DONE), 0u);
        EXPECT_EQ(Now() - start, c.elapsed) << c.busyReads;
    }
}

TEST_F(StatusWait, NothingAnsweringPollsUntilTheTimeOut) {
    drive_.Status({0xFF});
    const DWORD start = Now();
    EXPECT_EQ(WaitStatus(context_, 5000, COMMAND_DONE), ERR_PHASE);
    EXPECT_EQ(Now() - start, 5000u);
    EXPECT_EQ(drive_.statusReads, 1001u + 5000u + 1u);
}

TEST_F(StatusWait, ASocketThatStopsBeingUsableEndsTheWaitWith20) {
    size_t reads = 0;
    drive_.statusSource = [&] {
        if (++reads == 40) SetSocketState(socket_, 1);
        return uint8_t{0xFF};
    };
    EXPECT_EQ(WaitStatus(context_, 0, COMMAND_DONE), 20u);
    EXPECT_EQ(reads, 40u);

    // Also when the poll that saw the change succeeded.
    SetSocketState(socket_, SOCKET_STATE_USABLE);
    drive_.statusSource = [&] {
        SetSocketState(socket_, 0);
        return uint8_t{0x50};
    };
    EXPECT_EQ(WaitStatus(context_, 300, COMMAND_DONE), 20u);
}

TEST_F(StatusWait, APulledCardEndsTheWaitWith20) {
    PullCard();
    EXPECT_EQ(WaitStatus(context_, 300, COMMAND_DONE), 20u);
}

}  // namespace
}  // namespace atapi_test
