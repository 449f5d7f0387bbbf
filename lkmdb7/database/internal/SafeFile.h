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
// A folder that refuses new files (no permission) while the target itself is writable cannot
// take a temporary. Writing the target in place there means cutting it to length 0 first, and a
// crash or a failing disk before the write ends would lose it. So such a write is refused
// (CannotOpen with the refused create's code, a message naming the folder) unless the caller
// names a folder for a copy: then a complete copy of the target is written and flushed there
// first ("<file name>.<8 hex digits>.before-save", the target's owner and bits), the new contents
// are made in memory, the target is cut, written and flushed, and a failure puts the copy back.
// The copy is removed once the target is whole again; only a crash, or a failure to put it back
// (the status then names it), leaves it behind, and no later write removes it. A copy that cannot
// be made means nothing is written.
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
inline constexpr const char* kBeforeSaveSuffix = ".before-save";
// Archive buffer of whole database files: one system call per 64 KiB rather than per 4 KiB.
inline constexpr int kFileBufferSize = 64 * 1024;

// Writes the database file at path through an archive that `write` fills. A symbolic link at
// path is followed: the link stays and its target gets the new contents, written beside the
// target. The new file keeps the old one's owner, group and permission bits where the system
// allows; a new file is its owner's alone (POSIX 0600). inPlaceCopyFolder: where the copy goes
// before a write in place; empty refuses to write in place.
LKMDB7_EXPORT CDatabaseStatus WriteFileSafely(const CString& path,
                                              const std::function<void(CArchive&)>& write,
                                              const CString& inPlaceCopyFolder);

// Whose file a copy writes, and so whose owner, group and mode the copy takes.
enum class CopyTarget {
    kDatabase,  // `to` is the database (a restore): followed through a link; keeps its own
    kCopy       // `to` is a copy of the database (`from`): a link there is replaced, not
                // followed; the copy takes the database's owner, group and mode
};

// Copies from to `to` the same way (a missing `from` is CannotOpen with code 2).
LKMDB7_EXPORT CDatabaseStatus CopyFileSafely(const CString& from, const CString& to,
                                             CopyTarget target, const CString& inPlaceCopyFolder);

}  // namespace LKMDB7
