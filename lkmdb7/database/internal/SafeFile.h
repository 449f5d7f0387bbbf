// Whole-file writes that never leave a half-written file in place of a good one.
//
// The new contents go to a temporary file beside the target, "<target>.<8 hex digits>.saving",
// created exclusively under a name of its own (never through a symbolic link, never over a file
// that exists), flushed to stable storage and renamed over the target; the folder is flushed
// after the rename. On any failure before the rename the target is untouched and the temporary
// file removed. When only the flush of the folder fails the result is a failure although the
// target already holds the complete new contents (a power cut may still bring back the old
// ones; either is whole).
//
// A folder that refuses new files (no permission) while the target itself is writable gets the
// target written in place: the new contents are made in memory first, then the target is cut to
// length 0, written and flushed before the call returns. A failure while writing in place leaves
// a damaged target; there is no other way to save into such a folder.
//
// Every file operation goes through GetFileSystem(). Results are statuses (DatabaseStatus.h):
// CannotOpen for a target or temporary that cannot be created or opened (3 for a missing folder,
// 5 for a read-only target), WriteFailed for a failure once writing began, kFormat or kMemory for
// a write callback that raised. Nothing raises.
#pragma once

#include <functional>

#include "lkmdb7/database/DatabaseStatus.h"
#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

inline constexpr const char* kSavingSuffix = ".saving";
// Archive buffer of whole database files: one system call per 64 KiB rather than per 4 KiB.
inline constexpr int kFileBufferSize = 64 * 1024;

// Writes the database file at path through an archive that `write` fills. A symbolic link at
// path is followed: the link stays and its target gets the new contents, written beside the
// target. The new file keeps the old one's owner, group and permission bits where the system
// allows; a new file is its owner's alone (POSIX 0600).
LKMDB7_EXPORT CDatabaseStatus WriteFileSafely(const CString& path,
                                              const std::function<void(CArchive&)>& write);

// Whose file a copy writes, and so whose owner, group and mode the copy takes.
enum class CopyTarget {
    kDatabase,  // `to` is the database (a restore): followed through a link; keeps its own
    kCopy       // `to` is a copy of the database (`from`): a link there is replaced, not
                // followed; the copy takes the database's owner, group and mode
};

// Copies from to `to` the same way (a missing `from` is CannotOpen with code 2).
LKMDB7_EXPORT CDatabaseStatus CopyFileSafely(const CString& from, const CString& to,
                                             CopyTarget target);

}  // namespace LKMDB7
