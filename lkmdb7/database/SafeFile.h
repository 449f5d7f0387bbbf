// Whole-file writes that never leave a half-written file in place of a good one.
//
// The new contents go to a temporary file in the same folder ("<path>.saving"), which is flushed
// to stable storage and then renamed over the target; the folder is flushed after the rename. On
// any failure before the rename the target is untouched and the temporary file removed. When
// only the flush of the folder fails the result is a failure although the target already holds
// the complete new contents (a power cut may still bring back the old ones; either is whole).
// A temporary file left by an earlier, killed write is replaced. A target that existed keeps its
// permission bits; a new one is readable and writable by its owner alone (POSIX 0600). Every
// file operation goes through GetFileSystem().
#pragma once

#include <functional>

#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

inline constexpr const char* kSavingSuffix = ".saving";
// Archive buffer of whole database files: one system call per 64 KiB rather than per 4 KiB.
inline constexpr int kFileBufferSize = 64 * 1024;

// Writes path through an archive that `write` fills. Returns 0, -1 when writing raised an
// exception, or the Windows error code of the file that could not be created, written or
// renamed (3 for a missing folder, 5 for a read-only target).
LKMDB7_EXPORT LONG WriteFileSafely(const CString& path,
                                   const std::function<void(CArchive&)>& write);

// Copies from to `to` the same way. Returns 0 or a Windows error code (2 when from is missing).
LKMDB7_EXPORT LONG CopyFileSafely(const CString& from, const CString& to);

}  // namespace LKMDB7
