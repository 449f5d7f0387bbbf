// For the POSIX backend only. POSIX reports a missing file and a missing folder on its way alike
// (ENOENT); Windows tells them apart, and callers act on the difference.
#pragma once

#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// The Windows code for a path that the system reported as missing: ERROR_FILE_NOT_FOUND when its
// parent folder exists, ERROR_PATH_NOT_FOUND when it does not (or is not a folder).
DWORD ErrorForMissingPath(const char* path);

// Sets the thread's last error from errno as SetLastErrorFromErrno does, except that ENOENT is
// resolved against path by ErrorForMissingPath. Returns the code.
DWORD SetLastErrorForPath(const char* path);

}  // namespace LKMDB7
