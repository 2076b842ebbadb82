// The one clock behind every time service of the platform (GetTickCount, Sleep, GetLocalTime,
// GetSystemTime, timed waits, window timers). Real by default; tests switch to a virtual clock
// whose time moves only when a thread sleeps or the test advances it, so a 30 s time-out costs
// microseconds.
#pragma once

#include <atomic>
#include <cstdint>

#include "../windef.h"

namespace platform {

// 100-ns intervals since 1 January 1601, as FILETIME counts them.
using FileTimeTicks = uint64_t;

class Clock {
public:
    virtual ~Clock() = default;
    virtual DWORD TickCount() = 0;
    virtual void Sleep(DWORD milliseconds) = 0;
    virtual FileTimeTicks UtcNow() = 0;
    // Minutes to add to UTC to get local time, at the given UTC moment.
    virtual int64_t LocalOffsetMinutes(FileTimeTicks utc) = 0;
    virtual bool IsVirtual() const = 0;
};

class VirtualClock final : public Clock {
public:
    explicit VirtualClock(const SYSTEMTIME& localStart, DWORD startTick = 0,
                          int64_t localOffsetMinutes = 0);
    DWORD TickCount() override;
    void Sleep(DWORD milliseconds) override;
    FileTimeTicks UtcNow() override;
    int64_t LocalOffsetMinutes(FileTimeTicks) override { return offsetMinutes_; }
    bool IsVirtual() const override { return true; }

    void Advance(DWORD milliseconds);
    void SetLocalTime(const SYSTEMTIME& local);
    uint64_t ElapsedMilliseconds() const;

private:
    DWORD startTick_;
    int64_t offsetMinutes_;
    std::atomic<uint64_t> elapsed_{0};
    std::atomic<FileTimeTicks> utcOrigin_{0};
};

Clock& CurrentClock();
void UseRealClock();
// Installs a virtual clock starting at the given local time and returns it. The clock stays
// installed until the next Use...Clock call; references to it stay valid for the process.
VirtualClock& UseVirtualClock(const SYSTEMTIME& localStart, DWORD startTick = 0,
                              int64_t localOffsetMinutes = 0);

// Civil-time helpers shared by the time services and the file system.
bool ToFileTimeTicks(const SYSTEMTIME& time, FileTimeTicks& ticks);
SYSTEMTIME ToSystemTime(FileTimeTicks ticks);
inline FILETIME ToFileTime(FileTimeTicks ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}
inline FileTimeTicks ToTicks(const FILETIME& time) {
    return (static_cast<FileTimeTicks>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
SYSTEMTIME MakeSystemTime(int year, int month, int day, int hour = 0, int minute = 0,
                          int second = 0, int milliseconds = 0);

}  // namespace platform
