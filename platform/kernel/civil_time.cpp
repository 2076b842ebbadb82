// Conversions between calendar time and FILETIME ticks (100 ns since 1601-01-01), proleptic
// Gregorian, valid for the years 1601 to 30827 as on the platform.
#include <platform/clock.h>

namespace platform {
namespace {

constexpr int64_t kTicksPerMs = 10'000;
constexpr int64_t kMsPerDay = 86'400'000;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kDaysFrom1601To1970 = 134'774;

// Howard Hinnant's days_from_civil: days since 1970-01-01.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, unsigned& month, unsigned& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

}  // namespace

bool ToFileTimeTicks(const SYSTEMTIME& t, FileTimeTicks& ticks) {
    if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 ||
        t.wDay > DaysInMonth(t.wYear, t.wMonth) || t.wHour > 23 || t.wMinute > 59 ||
        t.wSecond > 59 || t.wMilliseconds > 999) {
        return false;
    }
    const int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) + kDaysFrom1601To1970;
    const int64_t ms = days * kMsPerDay + ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 +
                       t.wMilliseconds;
    ticks = static_cast<FileTimeTicks>(ms) * kTicksPerMs;
    return true;
}

SYSTEMTIME ToSystemTime(FileTimeTicks ticks) {
    const int64_t ms = static_cast<int64_t>(ticks / kTicksPerMs);
    const int64_t days = ms / kMsPerDay;
    int64_t rest = ms % kMsPerDay;
    int year;
    unsigned month, day;
    CivilFromDays(days - kDaysFrom1601To1970, year, month, day);
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
    t.wMilliseconds = static_cast<WORD>(rest % 1000);
    rest /= 1000;
    t.wSecond = static_cast<WORD>(rest % 60);
    rest /= 60;
    t.wMinute = static_cast<WORD>(rest % 60);
    t.wHour = static_cast<WORD>(rest / 60);
    return t;
}

SYSTEMTIME MakeSystemTime(int year, int month, int day, int hour, int minute, int second,
                          int milliseconds) {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    t.wMilliseconds = static_cast<WORD>(milliseconds);
    FileTimeTicks ticks;
    if (ToFileTimeTicks(t, ticks)) t.wDayOfWeek = ToSystemTime(ticks).wDayOfWeek;
    return t;
}

}  // namespace platform
