// A drive context wired to a ScriptedDrive behind a real I/O window, on a socket that is
// usable, with the virtual clock installed.
#pragma once

#include <drive/drive_context.h>
#include <gtest/gtest.h>
#include <platform/clock.h>

#include <cstring>
#include <vector>

#include "packet_script.h"
#include "scripted_drive.h"

namespace atapi_test {

class DriveFixture : public ::testing::Test {
protected:
    void SetUp() override {
        clock_ = &platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18), 100000);
        InitializeCriticalSection(&socket_.socketLock);
        SetSocketState(socket_, SOCKET_STATE_USABLE);
        window_ = platform::MapIoWindow(drive_, ScriptedDrive::kWindowSize);
        ASSERT_NE(window_, nullptr);
        context_.registerWindow = window_;
        context_.controlRegister = window_ + ScriptedDrive::kControlOffset;
        context_.socket = &socket_;
        context_.driveSelect = 0xA0;
    }
    void TearDown() override {
        if (window_ != nullptr) platform::UnmapIoWindow(window_);
        DeleteCriticalSection(&socket_.socketLock);
    }

    // The card is pulled: the window is gone and the socket is no longer usable.
    void PullCard() {
        platform::UnmapIoWindow(window_);
        window_ = nullptr;
        SetSocketState(socket_, 1);
    }
    void UseWidePath(bool wide) { context_.wideDataPath = wide ? 1 : 0; }
    DWORD Now() const { return clock_->TickCount(); }
    void ClearTrace() { drive_.trace.clear(); }

    platform::VirtualClock* clock_ = nullptr;
    ScriptedDrive drive_;
    SocketRecord socket_{};
    DriveContext context_{};
    PUCHAR window_ = nullptr;
};

// A registered medium of the given size, as CheckMedia leaves it.
inline void RegisterMedium(DriveContext& context, DWORD sectors) {
    context.mediumPresent = 1;
    context.mediaFlags |= MF_MEDIUM_KNOWN;
    context.diskInfo.totalSectors = sectors;
    context.diskInfo.bytesPerSector = 512;
}

// The fields the library keeps, compared one by one.
inline void ExpectSameDriveState(const DriveContext& expected, const DriveContext& actual) {
    EXPECT_EQ(expected.mediumPresent, actual.mediumPresent);
    EXPECT_EQ(expected.mediaFlags, actual.mediaFlags);
    EXPECT_EQ(expected.wideDataPath, actual.wideDataPath);
    EXPECT_EQ(expected.lbaCapable, actual.lbaCapable);
    EXPECT_EQ(expected.driveSelect, actual.driveSelect);
    EXPECT_EQ(expected.lastResetTick[0], actual.lastResetTick[0]);
    EXPECT_EQ(expected.lastResetTick[1], actual.lastResetTick[1]);
    EXPECT_EQ(0, std::memcmp(&expected.diskInfo, &actual.diskInfo, sizeof actual.diskInfo));
    EXPECT_EQ(0, std::memcmp(expected.senseData, actual.senseData, sizeof actual.senseData));
}

inline std::vector<uint8_t> Bytes(size_t count, uint8_t first = 1) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

}  // namespace atapi_test
