// Removing a window while accesses run: the card pulled from another thread, or by the device
// itself in the middle of an access.
#include <ceddk.h>
#include <platform/io_window.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "recording_device.h"

namespace {

using tests::RecordingDevice;

TEST(WindowTeardown, UnmappingWhileAnotherThreadLoopsEndsItsLoopCleanly) {
    RecordingDevice device;
    PUCHAR base = platform::MapIoWindow(device, 16);
    std::atomic<uint64_t> completed{0};
    std::thread poller([&] {
        while (platform::GuardRegisterAccess([&] {
            READ_REGISTER_UCHAR(base + 7);
            WRITE_REGISTER_USHORT(reinterpret_cast<volatile USHORT*>(base), 0x1234);
        })) {
            completed.fetch_add(1);
        }
    });
    while (completed.load() < 1000) std::this_thread::yield();
    platform::UnmapIoWindow(base);
    // Once the removal returned the device is never reached again: it may be destroyed now.
    const uint64_t reached = device.accessCount.load();
    poller.join();
    EXPECT_EQ(device.accessCount.load(), reached);
}

// Counts accesses that arrive at an offset outside the window.
class OffsetCheckingDevice final : public platform::IoDevice {
public:
    std::atomic<uint64_t> wrongOffsets{0};
    uint8_t Read8(uint32_t offset) override { return Check(offset), 0; }
    void Write8(uint32_t offset, uint8_t) override { Check(offset); }
    uint16_t Read16(uint32_t offset) override { return Check(offset), 0; }
    void Write16(uint32_t offset, uint16_t) override { Check(offset); }

private:
    void Check(uint32_t offset) {
        if (offset >= 16) wrongOffsets.fetch_add(1);
    }
};

TEST(WindowTeardown, AnAccessRacingTheRemovalStillReachesItsOwnOffset) {
    OffsetCheckingDevice device;
    for (int round = 0; round < 300; ++round) {
        PUCHAR base = platform::MapIoWindow(device, 16);
        std::atomic<bool> started{false};
        std::thread poller([&] {
            while (platform::GuardRegisterAccess([&] { READ_REGISTER_UCHAR(base + 7); })) {
                started = true;
            }
        });
        while (!started) std::this_thread::yield();
        platform::UnmapIoWindow(base);
        poller.join();
    }
    EXPECT_EQ(device.wrongOffsets.load(), 0u);
}

// The access in progress may first have reached another window (a device behind a bridge):
// its own window stays held after that inner access ends.
TEST(WindowTeardown, RemovalWaitsForAnAccessInProgress) {
    for (const bool bridged : {false, true}) {
        SCOPED_TRACE(bridged ? "after an access to another window" : "plain access");
        RecordingDevice device, beyond;
        PUCHAR base = platform::MapIoWindow(device, 16);
        PUCHAR other = platform::MapIoWindow(beyond, 16);
        std::atomic<bool> inside{false}, release{false}, removed{false};
        device.onAccess = [&] {
            if (bridged) READ_REGISTER_UCHAR(other + 1);
            inside = true;
            while (!release) std::this_thread::yield();
        };
        std::thread reader([&] { READ_REGISTER_UCHAR(base + 2); });
        while (!inside) std::this_thread::yield();
        std::thread remover([&] {
            platform::UnmapIoWindow(base);
            removed = true;
        });
        for (int i = 0; i < 1000; ++i) std::this_thread::yield();
        EXPECT_FALSE(removed.load());
        release = true;
        reader.join();
        remover.join();
        EXPECT_TRUE(removed.load());
        EXPECT_EQ(beyond.accessCount.load(), bridged ? 1u : 0u);
        platform::UnmapIoWindow(other);
    }
}

TEST(WindowTeardown, ADeviceMayPullItsOwnWindowFromInsideAnAccess) {
    RecordingDevice device;
    PUCHAR base = platform::MapIoWindow(device, 16);
    device.registers[7] = 0x50;
    device.onAccess = [&] { platform::UnmapIoWindow(base); };
    EXPECT_EQ(READ_REGISTER_UCHAR(base + 7), 0x50);  // the access in progress completes
    device.onAccess = nullptr;
    EXPECT_FALSE(platform::GuardRegisterAccess([&] { READ_REGISTER_UCHAR(base + 7); }));
}

TEST(WindowTeardown, WindowsComeAndGoWhileOtherWindowsAreInUse) {
    RecordingDevice steady, churned;
    PUCHAR steadyBase = platform::MapIoWindow(steady, 16);
    steady.registers[1] = 0x11;
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> wrong{0};
    std::thread reader([&] {
        while (!stop) {
            if (READ_REGISTER_UCHAR(steadyBase + 1) != 0x11) wrong.fetch_add(1);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        PUCHAR base = platform::MapIoWindow(churned, 16);
        WRITE_REGISTER_UCHAR(base + 1, 0x22);
        platform::UnmapIoWindow(base);
    }
    stop = true;
    reader.join();
    EXPECT_EQ(wrong.load(), 0u);
    platform::UnmapIoWindow(steadyBase);
}

}  // namespace
