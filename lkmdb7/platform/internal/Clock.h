// Clocks of the platform, with the shapes of the Windows API. The Win32 backend calls the real
// functions; the POSIX backend reproduces them. Nothing here throws.
#pragma once

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// A calendar time split into fields, laid out as the Windows structure.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;      // 1-12
    WORD wDayOfWeek;  // 0 = Sunday; ignored by SystemTimeToFileTime
    WORD wDay;        // 1-31
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// 100-nanosecond intervals since 1601-01-01 00:00:00, split into two 32-bit halves.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// The current local time (the zone and daylight saving rules of the machine).
LKMDB7_EXPORT void GetLocalTime(SYSTEMTIME* time);

// Converts the fields unchanged, with no zone shift. FALSE, leaving *out alone, when a field is
// out of range: year 1601-30827, month 1-12, day within the month (leap years by the Gregorian
// rule), hour < 24, minute < 60, second < 60, milliseconds < 1000.
LKMDB7_EXPORT BOOL SystemTimeToFileTime(const SYSTEMTIME* time, FILETIME* out);

// Milliseconds since the machine started, wrapping to 0 after about 49.7 days.
LKMDB7_EXPORT DWORD GetTickCount();

// Seconds of UTC since 1970-01-01 00:00:00.
LKMDB7_EXPORT LONGLONG Time64();

// Suspends the calling thread for at least the given number of milliseconds.
LKMDB7_EXPORT void SleepMs(DWORD milliseconds);

}  // namespace LKMDB7
