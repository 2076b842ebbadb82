#include "fat_time.h"

namespace platform::fat {
namespace {

constexpr int64_t kTicksPerMinute = 600000000;

}  // namespace

FatStamp ToFatStamp(FileTimeTicks utc) {
    if (utc == 0) return {};
    const int64_t offset = CurrentClock().LocalOffsetMinutes(utc) * kTicksPerMinute;
    const SYSTEMTIME local = ToSystemTime(static_cast<FileTimeTicks>(static_cast<int64_t>(utc) + offset));
    if (local.wYear < 1980) return {static_cast<uint16_t>((1 << 5) | 1), 0, 0};
    if (local.wYear > 2107) {
        return {static_cast<uint16_t>((127 << 9) | (12 << 5) | 31),
                static_cast<uint16_t>((23 << 11) | (59 << 5) | 29), 100};
    }
    FatStamp stamp;
    stamp.date = static_cast<uint16_t>(((local.wYear - 1980) << 9) | (local.wMonth << 5) | local.wDay);
    stamp.time = static_cast<uint16_t>((local.wHour << 11) | (local.wMinute << 5) | (local.wSecond / 2));
    stamp.tenMs = static_cast<uint8_t>((local.wSecond % 2) * 100 + local.wMilliseconds / 10);
    return stamp;
}

FileTimeTicks FromFatStamp(const FatStamp& stamp) {
    const int day = stamp.date & 0x1F, month = (stamp.date >> 5) & 0xF;
    const int hour = stamp.time >> 11, minute = (stamp.time >> 5) & 0x3F;
    const int second = (stamp.time & 0x1F) * 2 + (stamp.tenMs >= 100 && stamp.tenMs < 200 ? 1 : 0);
    const int ms = (stamp.tenMs % 100) * 10;
    if (day == 0 || month == 0 || month > 12 || hour > 23 || minute > 59 || second > 59) return 0;
    FileTimeTicks local = 0;
    if (!ToFileTimeTicks(MakeSystemTime(1980 + (stamp.date >> 9), month, day, hour, minute, second,
                                        ms),
                         local)) {
        return 0;
    }
    const int64_t offset = CurrentClock().LocalOffsetMinutes(local) * kTicksPerMinute;
    return static_cast<FileTimeTicks>(static_cast<int64_t>(local) - offset);
}

}  // namespace platform::fat
