#include <platform/clock.h>
#include <winbase.h>

using platform::CurrentClock;
using platform::FileTimeTicks;

namespace {

constexpr FileTimeTicks kTicksPerMinute = 600'000'000ull;
// The largest FILETIME that SYSTEMTIME can hold (year 30827).
constexpr FileTimeTicks kMaxTicks = 0x7FFF35F4F06C7FFFull;

FileTimeTicks ShiftByMinutes(FileTimeTicks ticks, int64_t minutes) {
    return ticks + static_cast<FileTimeTicks>(minutes) * kTicksPerMinute;
}

}  // namespace

void Sleep(DWORD milliseconds) { CurrentClock().Sleep(milliseconds); }

DWORD GetTickCount() { return CurrentClock().TickCount(); }

void GetSystemTime(LPSYSTEMTIME systemTime) {
    if (systemTime) *systemTime = platform::ToSystemTime(CurrentClock().UtcNow());
}

void GetLocalTime(LPSYSTEMTIME localTime) {
    if (!localTime) return;
    auto& clock = CurrentClock();
    const FileTimeTicks utc = clock.UtcNow();
    *localTime = platform::ToSystemTime(ShiftByMinutes(utc, clock.LocalOffsetMinutes(utc)));
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime) {
    FileTimeTicks ticks = 0;
    if (!systemTime || !fileTime || !platform::ToFileTimeTicks(*systemTime, ticks)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *fileTime = platform::ToFileTime(ticks);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
    if (!fileTime || !systemTime || platform::ToTicks(*fileTime) > kMaxTicks) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *systemTime = platform::ToSystemTime(platform::ToTicks(*fileTime));
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime) {
    if (!fileTime || !localFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const FileTimeTicks utc = platform::ToTicks(*fileTime);
    *localFileTime =
        platform::ToFileTime(ShiftByMinutes(utc, CurrentClock().LocalOffsetMinutes(utc)));
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime) {
    if (!localFileTime || !fileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const FileTimeTicks local = platform::ToTicks(*localFileTime);
    *fileTime =
        platform::ToFileTime(ShiftByMinutes(local, -CurrentClock().LocalOffsetMinutes(local)));
    return TRUE;
}

LONG CompareFileTime(const FILETIME* first, const FILETIME* second) {
    const FileTimeTicks a = platform::ToTicks(*first), b = platform::ToTicks(*second);
    return a < b ? -1 : (a > b ? 1 : 0);
}
