#include <ceddk.h>
#include <platform/io_window.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "recording_device.h"

namespace {

using tests::Access;
using tests::RecordingDevice;

volatile USHORT* WordAt(PUCHAR base, uint32_t offset) {
    return reinterpret_cast<volatile USHORT*>(base + offset);
}

TEST(RegisterAccessors, BytesAndWordsReachTheDeviceAtTheirWindowOffset) {
    RecordingDevice device;
    device.registers[7] = 0x50;
    device.registers[4] = 0x34;
    device.registers[5] = 0x12;
    PUCHAR base = platform::MapIoWindow(device, 16);
    ASSERT_NE(base, nullptr);

    EXPECT_EQ(READ_REGISTER_UCHAR(base + 7), 0x50);
    WRITE_REGISTER_UCHAR(base + 6, 0xA0);
    EXPECT_EQ(READ_REGISTER_USHORT(WordAt(base, 4)), 0x1234);
    WRITE_REGISTER_USHORT(WordAt(base, 0), 0xBEEF);
    WRITE_REGISTER_UCHAR(base + 15, 0x02);

    const std::vector<Access> expected = {
        {'r', 7, 0x50}, {'w', 6, 0xA0}, {'R', 4, 0x1234}, {'W', 0, 0xBEEF}, {'w', 15, 0x02}};
    EXPECT_EQ(device.Log(), expected);
    platform::UnmapIoWindow(base);
}

TEST(RegisterAccessors, TwoWindowsReachTheirOwnDevices) {
    RecordingDevice first, second;
    first.registers[1] = 1;
    second.registers[1] = 2;
    PUCHAR a = platform::MapIoWindow(first, 16);
    PUCHAR b = platform::MapIoWindow(second, 16);
    EXPECT_EQ(READ_REGISTER_UCHAR(a + 1), 1);
    EXPECT_EQ(READ_REGISTER_UCHAR(b + 1), 2);
    platform::UnmapIoWindow(a);
    EXPECT_EQ(READ_REGISTER_UCHAR(b + 1), 2);  // the other window is untouched
    platform::UnmapIoWindow(b);
}

TEST(RegisterAccessors, AnAddressInNoWindowRaisesAnAccessViolation) {
    RecordingDevice device;
    PUCHAR base = platform::MapIoWindow(device, 8);
    // One past the end lies in no window, even with another window mapped right after.
    PUCHAR next = platform::MapIoWindow(device, 8);
    try {
        READ_REGISTER_UCHAR(base + 8);
        FAIL() << "no violation";
    } catch (const platform::AccessViolation& violation) {
        EXPECT_EQ(violation.address, base + 8);
    }
    UCHAR plain = 0;
    EXPECT_THROW(WRITE_REGISTER_UCHAR(&plain, 1), platform::AccessViolation);
    EXPECT_EQ(plain, 0);  // an ordinary address is never written through
    EXPECT_TRUE(device.Log().empty());
    platform::UnmapIoWindow(base);
    platform::UnmapIoWindow(next);
}

TEST(RegisterAccessors, AfterUnmappingEveryAccessFaultsAndTheGuardAnswersFalse) {
    RecordingDevice device;
    PUCHAR base = platform::MapIoWindow(device, 16);
    EXPECT_TRUE(platform::GuardRegisterAccess([&] { READ_REGISTER_UCHAR(base); }));
    platform::UnmapIoWindow(base);
    // The next window may take over the table entry of the old one; it must not answer for it.
    RecordingDevice next;
    PUCHAR nextBase = platform::MapIoWindow(next, 16);
    const uint64_t before = device.accessCount.load();

    EXPECT_FALSE(platform::GuardRegisterAccess([&] { READ_REGISTER_UCHAR(base + 7); }));
    EXPECT_FALSE(platform::GuardRegisterAccess([&] { WRITE_REGISTER_UCHAR(base + 7, 0xA0); }));
    EXPECT_FALSE(platform::GuardRegisterAccess([&] { READ_REGISTER_USHORT(WordAt(base, 0)); }));
    EXPECT_FALSE(platform::GuardRegisterAccess([&] { WRITE_REGISTER_USHORT(WordAt(base, 0), 1); }));
    EXPECT_EQ(device.accessCount.load(), before);
    EXPECT_TRUE(next.Log().empty());
    platform::UnmapIoWindow(base);  // a second removal is harmless
    EXPECT_TRUE(platform::GuardRegisterAccess([&] { READ_REGISTER_UCHAR(nextBase); }));
    platform::UnmapIoWindow(nextBase);
}

TEST(RegisterAccessors, TheGuardLetsOtherFaultsThrough) {
    EXPECT_THROW(platform::GuardRegisterAccess([] { throw std::runtime_error("not ours"); }),
                 std::runtime_error);
}

TEST(RegisterAccessors, AGuardInsideAHiddenVisibilityModuleCatchesTheViolation) {
    HMODULE module = LoadLibrary(u"GUARDACC.DLL");
    ASSERT_NE(module, nullptr);
    auto guardedRead =
        reinterpret_cast<int (*)(volatile UCHAR*, UCHAR*)>(GetProcAddress(module, u"GuardedRead"));
    ASSERT_NE(guardedRead, nullptr);
    RecordingDevice device;
    device.registers[7] = 0x58;
    PUCHAR base = platform::MapIoWindow(device, 16);
    UCHAR value = 0;
    EXPECT_EQ(guardedRead(base + 7, &value), 1);
    EXPECT_EQ(value, 0x58);
    platform::UnmapIoWindow(base);
    EXPECT_EQ(guardedRead(base + 7, &value), 0);
    FreeLibrary(module);
}

TEST(RegisterAccessors, WindowAddressesAreNeverHandedOutAgain) {
    // A driver holding a stale address of a pulled card must never reach the next card.
    RecordingDevice device;
    std::set<PUCHAR> seen;
    for (int i = 0; i < 5000; ++i) {
        PUCHAR base = platform::MapIoWindow(device, 16);
        ASSERT_NE(base, nullptr);
        EXPECT_TRUE(seen.insert(base).second);
        platform::UnmapIoWindow(base);
    }
    for (PUCHAR old : {*seen.begin(), *seen.rbegin()}) {
        EXPECT_FALSE(platform::GuardRegisterAccess([&] { READ_REGISTER_UCHAR(old); }));
    }
}

TEST(RegisterAccessors, ManyWindowsAtOnceEachReachTheirDevice) {
    std::vector<RecordingDevice> devices(40);
    std::vector<PUCHAR> bases;
    for (size_t i = 0; i < devices.size(); ++i) {
        devices[i].registers[3] = static_cast<uint8_t>(i);
        bases.push_back(platform::MapIoWindow(devices[i], 16));
        ASSERT_NE(bases.back(), nullptr);
    }
    for (size_t i = devices.size(); i-- > 0;) EXPECT_EQ(READ_REGISTER_UCHAR(bases[i] + 3), i);
    for (PUCHAR base : bases) platform::UnmapIoWindow(base);
}

}  // namespace
