#include "lkmdb7/platform/internal/Clock.h"

#include <time.h>

#include <cerrno>

namespace LKMDB7 {

namespace {

bool IsLeapYear(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1601-01-01 to the given date of the Gregorian calendar (year >= 1601).
ULONGLONG DaysSince1601(unsigned year, unsigned month, unsigned day) {
    const ULONGLONG y = year - 1601;
    ULONGLONG days = y * 365 + y / 4 - y / 100 + y / 400;
    for (unsigned m = 1; m < month; ++m) {
        days += DaysInMonth(year, m);
    }
    return days + day - 1;
}

}  // namespace

void GetLocalTime(SYSTEMTIME* out) {
    // Every new item asks for the time, more than once: the coarse clock costs a tenth of the
    // precise one, and its few milliseconds of granularity are finer than Windows gives here.
    // The conversion changes once a second (a new time zone shows from the next second).
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    thread_local time_t convertedSecond = -1;
    thread_local tm local{};
    if (now.tv_sec != convertedSecond) {
        ::localtime_r(&now.tv_sec, &local);
        convertedSecond = now.tv_sec;
    }
    out->wYear = static_cast<WORD>(local.tm_year + 1900);
    out->wMonth = static_cast<WORD>(local.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    out->wDay = static_cast<WORD>(local.tm_mday);
    out->wHour = static_cast<WORD>(local.tm_hour);
    out->wMinute = static_cast<WORD>(local.tm_min);
    // A leap second shows as 60 here; Windows never reports one.
    out->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
    out->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* t, FILETIME* out) {
    if (t->wYear < 1601 || t->wYear > 30827 || t->wMonth < 1 || t->wMonth > 12 || t->wDay < 1 ||
        t->wDay > DaysInMonth(t->wYear, t->wMonth) || t->wHour > 23 || t->wMinute > 59 ||
        t->wSecond > 59 || t->wMilliseconds > 999) {
        return 0;
    }
    const ULONGLONG seconds = DaysSince1601(t->wYear, t->wMonth, t->wDay) * 86400 +
                              t->wHour * 3600ULL + t->wMinute * 60ULL + t->wSecond;
    const ULONGLONG ticks = (seconds * 1000 + t->wMilliseconds) * 10000;
    out->dwLowDateTime = static_cast<DWORD>(ticks);
    out->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return 1;
}

DWORD GetTickCount() {
    timespec now{};
    // Time spent suspended counts, as it does on Windows.
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    const auto ms =
        static_cast<ULONGLONG>(now.tv_sec) * 1000 + static_cast<ULONGLONG>(now.tv_nsec / 1000000);
    return static_cast<DWORD>(ms);
}

LONGLONG Time64() {
    return static_cast<LONGLONG>(::time(nullptr));
}

void SleepMs(DWORD milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace LKMDB7
