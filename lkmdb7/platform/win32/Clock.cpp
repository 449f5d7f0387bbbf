#include "lkmdb7/platform/internal/Clock.h"

#include <time.h>

#include "lkmdb7/platform/win32/WinApi.h"

namespace LKMDB7 {

void GetLocalTime(SYSTEMTIME* time) {
    ::GetLocalTime(time);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* time, FILETIME* out) {
    return ::SystemTimeToFileTime(time, out);
}

DWORD GetTickCount() {
    return ::GetTickCount();
}

LONGLONG Time64() {
    return static_cast<LONGLONG>(::_time64(nullptr));
}

void SleepMs(DWORD milliseconds) {
    ::Sleep(milliseconds);
}

}  // namespace LKMDB7
