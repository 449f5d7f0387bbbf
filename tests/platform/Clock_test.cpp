#include "lkmdb7/platform/internal/Clock.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace LKMDB7;

namespace {

ULONGLONG Ticks(const FILETIME& ft) {
    return (ULONGLONG{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

SYSTEMTIME Make(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
    return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

}  // namespace

TEST(Clock, SystemTimeToFileTimeCountsFrom1601WithoutZoneShift) {
    const struct {
        SYSTEMTIME time;
        ULONGLONG ticks;
    } cases[] = {
        {Make(1601, 1, 1), 0},
        {Make(1904, 1, 1), 95616288000000000ULL},
        {Make(1970, 1, 1), 116444736000000000ULL},
        {Make(2000, 2, 29, 12, 34, 56, 789), 125963012967890000ULL},
    };
    for (const auto& c : cases) {
        FILETIME ft{};
        EXPECT_TRUE(SystemTimeToFileTime(&c.time, &ft)) << c.time.wYear;
        EXPECT_EQ(Ticks(ft), c.ticks) << c.time.wYear;
    }
    // The day of the week plays no part.
    SYSTEMTIME odd = Make(1970, 1, 1);
    odd.wDayOfWeek = 9;
    FILETIME ft{};
    EXPECT_TRUE(SystemTimeToFileTime(&odd, &ft));
    EXPECT_EQ(Ticks(ft), 116444736000000000ULL);
    const SYSTEMTIME last = Make(30827, 12, 31, 23, 59, 59, 999);
    EXPECT_TRUE(SystemTimeToFileTime(&last, &ft));
}

TEST(Clock, SystemTimeToFileTimeRejectsFieldsOutOfRange) {
    const SYSTEMTIME bad[] = {
        Make(1600, 12, 31),         Make(2021, 0, 1),
        Make(2021, 13, 1),          Make(2021, 1, 0),
        Make(2000, 2, 30),          Make(2021, 4, 31),
        Make(2021, 1, 1, 24),       Make(2021, 1, 1, 0, 60),
        Make(2021, 1, 1, 0, 0, 60), Make(2021, 1, 1, 0, 0, 0, 1000),
    };
    for (const SYSTEMTIME& t : bad) {
        FILETIME ft{0x1234, 0x5678};
        EXPECT_FALSE(SystemTimeToFileTime(&t, &ft))
            << t.wYear << "-" << t.wMonth << "-" << t.wDay << " " << t.wHour << ":" << t.wMinute
            << ":" << t.wSecond << "." << t.wMilliseconds;
    }
}

TEST(Clock, LocalTimeIsAValidDateWithItsOwnWeekday) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&now, &ft));
    EXPECT_GE(now.wYear, 2020);
    // 1601-01-01 was a Monday.
    const ULONGLONG days = Ticks(ft) / 10000000ULL / 86400ULL;
    EXPECT_EQ(now.wDayOfWeek, (days + 1) % 7);
}

TEST(Clock, UtcSecondsAndTicksAdvance) {
    const auto system = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const LONGLONG mine = Time64();
    EXPECT_LE(mine - system, 2);
    EXPECT_GE(mine - system, -2);

    const DWORD before = GetTickCount();
    SleepMs(100);
    const DWORD elapsed = GetTickCount() - before;  // unsigned, so a wrap in between is harmless
    // Windows ticks advance in steps of about 16 ms.
    EXPECT_GE(elapsed, 70u);
    EXPECT_LT(elapsed, 5000u);
}
