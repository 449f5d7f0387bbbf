// errno to Windows error code, for the POSIX backend only.
#pragma once

#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

DWORD ErrorFromErrno(int err);
// Sets the thread's last error from errno and returns it.
DWORD SetLastErrorFromErrno();

}  // namespace LKMDB7
