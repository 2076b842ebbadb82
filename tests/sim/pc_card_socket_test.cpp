// The socket: insertion maps the drive's registers and makes the socket usable, removal and a
// pull take them away (from any thread, at any step of a command), and a drive context is
// wired the way the card driver wires it.
#include <ceddk.h>

#include <atomic>
#include <thread>

#include "sim/drive/task_file.h"
#include "sim/socket/pc_card_socket.h"
#include <gtest/gtest.h>

namespace {

namespace ata = sim::ata;

uint8_t ReadAt(PUCHAR window, uint32_t offset) { return READ_REGISTER_UCHAR(window + offset); }

bool Reachable(PUCHAR window) {
    return platform::GuardRegisterAccess([&] { ReadAt(window, ata::kStatus); });
}

TEST(PcCardSocket, InsertionMakesTheSocketUsableAndWiresTheContext) {
    sim::PcCardSocket socket(true);
    sim::EmulatedDrive drive;
    EXPECT_EQ(SocketStateOf(socket.record()), sim::PcCardSocket::kStateEmpty);
    EXPECT_FALSE(socket.HasCard());
    ASSERT_TRUE(socket.Insert(drive));
    EXPECT_EQ(SocketStateOf(socket.record()), SOCKET_STATE_USABLE);
    EXPECT_EQ(socket.record().socketWideBus, 1u);

    DriveContext context{};
    context.deviceKind = 7;
    socket.WireContext(context);
    EXPECT_EQ(context.registerWindow, socket.registerWindow());
    EXPECT_EQ(context.controlRegister, context.registerWindow + 0x0E);
    EXPECT_EQ(context.socket, &socket.record());
    EXPECT_EQ(context.deviceKind, 0u);  // a packet drive
    // The task file at window offsets 0..7, the control register at its own offset.
    WRITE_REGISTER_UCHAR(context.registerWindow + ata::kByteCountLow, 0x55);
    EXPECT_EQ(ReadAt(context.registerWindow, ata::kByteCountLow), 0x55);
    WRITE_REGISTER_UCHAR(context.controlRegister, ata::kSrst | ata::kNien);
    EXPECT_EQ(READ_REGISTER_UCHAR(context.controlRegister), ata::kBsy);
}

TEST(PcCardSocket, AnAtaCardIsWiredAsAnAtaDevice) {
    sim::PcCardSocket socket(false);
    sim::DriveSettings settings;
    settings.variant = sim::DriveVariant::Ata;
    sim::EmulatedDrive drive(settings);
    ASSERT_TRUE(socket.Insert(drive));
    DriveContext context{};
    socket.WireContext(context);
    EXPECT_EQ(context.deviceKind, DEVICE_KIND_ATA);
    EXPECT_EQ(socket.record().socketWideBus, 0u);
    socket.SetWideBus(true);
    EXPECT_EQ(socket.record().socketWideBus, 1u);
}

TEST(PcCardSocket, OneCardAtATime) {
    sim::PcCardSocket socket;
    sim::EmulatedDrive first, second;
    ASSERT_TRUE(socket.Insert(first));
    EXPECT_FALSE(socket.Insert(second));
    sim::PcCardSocket other;
    EXPECT_TRUE(other.Insert(second));
}

TEST(PcCardSocket, RemovalTakesTheWindowAwayAndPowersTheDriveOff) {
    sim::PcCardSocket socket;
    sim::EmulatedDrive drive;
    ASSERT_TRUE(socket.Insert(drive));
    PUCHAR old = socket.registerWindow();
    socket.Remove();
    EXPECT_FALSE(socket.HasCard());
    EXPECT_EQ(SocketStateOf(socket.record()), sim::PcCardSocket::kStateEmpty);
    EXPECT_FALSE(Reachable(old));
    EXPECT_EQ(drive.Read8(ata::kStatus), 0xFF);  // no power
    socket.Remove();                             // nothing left to remove

    ASSERT_TRUE(socket.Insert(drive));
    EXPECT_NE(socket.registerWindow(), old);  // a new card never answers at a stale address
    EXPECT_FALSE(Reachable(old));
    EXPECT_TRUE(Reachable(socket.registerWindow()));
}

TEST(PcCardSocket, OrderlyRemovalWaitsForTheRequestHoldingTheLock) {
    sim::PcCardSocket socket;
    sim::EmulatedDrive drive;
    ASSERT_TRUE(socket.Insert(drive));
    EnterCriticalSection(&socket.record().socketLock);
    std::atomic<bool> removed{false};
    std::thread remover([&] {
        socket.Remove();
        removed = true;
    });
    for (int i = 0; i < 2000; ++i) std::this_thread::yield();
    EXPECT_FALSE(removed.load());
    EXPECT_TRUE(socket.HasCard());
    LeaveCriticalSection(&socket.record().socketLock);
    remover.join();
    EXPECT_FALSE(socket.HasCard());
}

TEST(PcCardSocket, APullFromAnotherThreadEndsAPollingLoopCleanly) {
    sim::PcCardSocket socket;
    sim::EmulatedDrive drive;
    ASSERT_TRUE(socket.Insert(drive));
    DriveContext context{};
    socket.WireContext(context);
    std::atomic<uint64_t> polls{0};
    std::atomic<bool> sawStateChange{false};
    std::thread poller([&] {
        // A driver's wait: poll the status until the socket is gone or an access faults.
        while (platform::GuardRegisterAccess([&] { ReadAt(context.registerWindow, ata::kStatus); })) {
            ++polls;
            if (SocketStateOf(*context.socket) != SOCKET_STATE_USABLE) sawStateChange = true;
        }
    });
    while (polls.load() < 500) std::this_thread::yield();
    socket.PullCard();
    poller.join();
    EXPECT_EQ(SocketStateOf(socket.record()), sim::PcCardSocket::kStateEmpty);
}

// A packet command issued step by step; answers false at the first access that faults.
bool IssueTestUnitReady(PUCHAR window) {
    return platform::GuardRegisterAccess([&] {
        WRITE_REGISTER_UCHAR(window + ata::kDeviceHead, 0xA0);
        WRITE_REGISTER_UCHAR(window + ata::kByteCountLow, 0);
        WRITE_REGISTER_UCHAR(window + ata::kByteCountHigh, 0);
        WRITE_REGISTER_UCHAR(window + ata::kStatus, ata::kPacket);
        while (READ_REGISTER_UCHAR(window + ata::kStatus) & ata::kBsy) {
        }
        for (int i = 0; i < 6; ++i) {
            WRITE_REGISTER_USHORT(reinterpret_cast<volatile USHORT*>(window), 0);
        }
        while (READ_REGISTER_UCHAR(window + ata::kStatus) & ata::kBsy) {
        }
    });
}

TEST(PcCardSocket, ThePullSwitchPullsTheCardAtEveryStepOfACommand) {
    sim::PcCardSocket socket;
    sim::EmulatedDrive drive;
    ASSERT_TRUE(socket.Insert(drive));
    ASSERT_TRUE(IssueTestUnitReady(socket.registerWindow()));  // a whole command: 14 accesses
    for (uint32_t step = 1; step < 14; ++step) {
        SCOPED_TRACE(step);
        ASSERT_TRUE(socket.Insert(drive) || socket.HasCard());
        PUCHAR window = socket.registerWindow();
        drive.PullCardAfterAccesses(step);
        EXPECT_FALSE(IssueTestUnitReady(window));
        EXPECT_FALSE(socket.HasCard());
        EXPECT_EQ(SocketStateOf(socket.record()), sim::PcCardSocket::kStateEmpty);
        EXPECT_FALSE(Reachable(window));
    }
}

TEST(PcCardSocket, APullRacingThePullSwitchTearsDownOnce) {
    for (int round = 0; round < 50; ++round) {
        sim::PcCardSocket socket;
        sim::EmulatedDrive drive;
        ASSERT_TRUE(socket.Insert(drive));
        PUCHAR window = socket.registerWindow();
        drive.PullCardAfterAccesses(20);
        std::thread puller([&] { socket.PullCard(); });
        while (Reachable(window)) {
        }
        puller.join();
        EXPECT_FALSE(socket.HasCard());
    }
}

TEST(PcCardSocket, BusyScopesCountOperationsInProgress) {
    DriveContext context{};
    {
        sim::BusyScope first(context);
        sim::BusyScope second(context);
        EXPECT_EQ(BusyCountOf(context), 2u);
    }
    EXPECT_EQ(BusyCountOf(context), 0u);
}

TEST(PcCardSocket, ADriveThatGoesAwayLeavesItsSocket) {
    sim::PcCardSocket socket;
    PUCHAR window = nullptr;
    {
        sim::EmulatedDrive drive;
        ASSERT_TRUE(socket.Insert(drive));
        window = socket.registerWindow();
    }
    EXPECT_FALSE(socket.HasCard());
    EXPECT_EQ(SocketStateOf(socket.record()), sim::PcCardSocket::kStateEmpty);
    EXPECT_FALSE(Reachable(window));
}

TEST(PcCardSocket, DestroyingASocketWithACardInPullsIt) {
    sim::EmulatedDrive drive;
    PUCHAR window = nullptr;
    {
        sim::PcCardSocket socket;
        ASSERT_TRUE(socket.Insert(drive));
        window = socket.registerWindow();
    }
    EXPECT_FALSE(Reachable(window));
    sim::PcCardSocket again;
    EXPECT_TRUE(again.Insert(drive));
}

}  // namespace
