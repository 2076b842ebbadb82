#include <platform/clock.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using platform::MakeSystemTime;

class VirtualTime : public ::testing::Test {
protected:
    void SetUp() override {
        clock_ = &platform::UseVirtualClock(MakeSystemTime(1999, 3, 18, 23, 5), 1000);
    }
    void TearDown() override { platform::UseRealClock(); }
    platform::VirtualClock* clock_ = nullptr;
};

TEST_F(VirtualTime, ThirtySecondSleepCostsMicroseconds) {
    const auto start = std::chrono::steady_clock::now();
    const DWORD before = GetTickCount();
    Sleep(30000);
    const auto real = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(GetTickCount() - before, 30000u);
    EXPECT_LT(real, std::chrono::milliseconds(50));
}

TEST_F(VirtualTime, LocalTimeFollowsTheTicks) {
    EXPECT_EQ(GetTickCount(), 1000u);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 1999);
    EXPECT_EQ(now.wMonth, 3);
    EXPECT_EQ(now.wDay, 18);
    EXPECT_EQ(now.wHour, 23);
    EXPECT_EQ(now.wMinute, 5);
    EXPECT_EQ(now.wDayOfWeek, 4);  // a Thursday
    clock_->Advance(55 * 60 * 1000);
    GetLocalTime(&now);
    EXPECT_EQ(now.wDay, 19);
    EXPECT_EQ(now.wHour, 0);
    EXPECT_EQ(now.wMinute, 0);
    EXPECT_EQ(now.wDayOfWeek, 5);
}

TEST_F(VirtualTime, TickCountWrapsAt32Bits) {
    platform::UseVirtualClock(MakeSystemTime(2000, 1, 1), 0xFFFFFF00u);
    Sleep(0x200);
    EXPECT_EQ(GetTickCount(), 0x100u);
}

TEST(TimeConversion, KnownMomentsAndDayOfWeek) {
    const struct {
        SYSTEMTIME time;
        uint64_t ticks;
        WORD dayOfWeek;
    } cases[] = {
        {MakeSystemTime(1601, 1, 1), 0, 1},
        {MakeSystemTime(1970, 1, 1), 116444736000000000ull, 4},
        {MakeSystemTime(2000, 2, 29, 12, 30, 15, 250), 125963010152500000ull, 2},
        {MakeSystemTime(2038, 1, 19, 3, 14, 8), 137919572480000000ull, 2},
    };
    for (const auto& c : cases) {
        FILETIME file;
        ASSERT_TRUE(SystemTimeToFileTime(&c.time, &file));
        EXPECT_EQ(platform::ToTicks(file), c.ticks) << c.time.wYear;
        SYSTEMTIME back;
        ASSERT_TRUE(FileTimeToSystemTime(&file, &back));
        EXPECT_EQ(back.wYear, c.time.wYear);
        EXPECT_EQ(back.wMonth, c.time.wMonth);
        EXPECT_EQ(back.wDay, c.time.wDay);
        EXPECT_EQ(back.wHour, c.time.wHour);
        EXPECT_EQ(back.wSecond, c.time.wSecond);
        EXPECT_EQ(back.wMilliseconds, c.time.wMilliseconds);
        EXPECT_EQ(back.wDayOfWeek, c.dayOfWeek) << c.time.wYear;
    }
}

TEST(TimeConversion, InvalidFieldsGive87) {
    const SYSTEMTIME bad[] = {
        MakeSystemTime(1999, 2, 29), MakeSystemTime(1999, 13, 1), MakeSystemTime(1600, 12, 31),
        MakeSystemTime(1999, 1, 1, 24), MakeSystemTime(1999, 4, 31), MakeSystemTime(1999, 1, 0),
    };
    for (const auto& time : bad) {
        FILETIME file{1, 1};
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(SystemTimeToFileTime(&time, &file));
        EXPECT_EQ(GetLastError(), 87u);
    }
    const FILETIME tooLate{0xFFFFFFFF, 0xFFFFFFFF};
    SYSTEMTIME out;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(FileTimeToSystemTime(&tooLate, &out));
    EXPECT_EQ(GetLastError(), 87u);
}

TEST(TimeConversion, LocalFileTimeUsesTheClocksOffset) {
    platform::UseVirtualClock(MakeSystemTime(2000, 6, 1, 12), 0, 120);
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    EXPECT_EQ(utc.wHour, 10);
    FILETIME utcFile, localFile, back;
    SystemTimeToFileTime(&utc, &utcFile);
    ASSERT_TRUE(FileTimeToLocalFileTime(&utcFile, &localFile));
    EXPECT_EQ(platform::ToTicks(localFile) - platform::ToTicks(utcFile), 120ull * 600000000ull);
    ASSERT_TRUE(LocalFileTimeToFileTime(&localFile, &back));
    EXPECT_EQ(CompareFileTime(&back, &utcFile), 0);
    EXPECT_EQ(CompareFileTime(&utcFile, &localFile), -1);
    platform::UseRealClock();
}

}  // namespace
