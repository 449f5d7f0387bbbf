// The cross-process named lock, with the calls and results of the Win32 named mutex.
//
// A mutex is owned by a thread and is re-entrant for it: every successful wait adds one to the
// owner's count, every ReleaseMutex takes one away, and the lock is free again at 0. All handles
// of one name, in this process and in every other process of the same user, refer to one lock;
// two handles in one process therefore exclude each other's threads, while the owning thread
// re-enters through any of them. A process that ends while it holds the lock gives it up at once.
//
// The Win32 backend calls the system functions. The POSIX backend (see docs/locking.md) keeps
// the lock in `<folder>/<name>.lock`, where `<folder>` is a folder only the user can reach:
// "lkmdb7" in $XDG_RUNTIME_DIR (or `/run/user/<uid>`) when that is a real directory of the user
// with mode 0700, else ~/.local/state/lkmdb7 in the user's home from the password database.
// The folder is created 0700 when missing and must be a real directory owned by the user and
// open to nobody else, and the lock file a regular file of the user, or CreateMutexA refuses with
// ERROR_ACCESS_DENIED. LKMDB7_LOCK_DIR names another folder, under the same checks; it exists
// for tests, and every process that must exclude the others has to see the same value.
//
// None of these functions throws; failures are reported by the result and GetLastError().
#pragma once

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// Results of WaitForSingleObject, and the wait that never times out. The Windows headers define
// each of these names as a macro of the same value (not all in one header); where one is
// defined, the macro stands in for it.
#if !defined(WAIT_OBJECT_0)
inline constexpr DWORD WAIT_OBJECT_0 = 0;
#endif
#if !defined(WAIT_ABANDONED)
inline constexpr DWORD WAIT_ABANDONED =
    0x80;  // obtained; its previous owner ended without releasing it
#endif
#if !defined(WAIT_TIMEOUT)
inline constexpr DWORD WAIT_TIMEOUT = 0x102;
#endif
#if !defined(WAIT_FAILED)
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
#endif
#if !defined(INFINITE)
inline constexpr DWORD INFINITE = 0xFFFFFFFF;
#endif

// ReleaseMutex by a thread that does not own the mutex.
#if !defined(ERROR_NOT_OWNER)
inline constexpr DWORD ERROR_NOT_OWNER = 288;
#endif

// Opens the mutex `name`, creating it when no process has it yet. `security` is ignored on
// POSIX. A null or empty name gives a mutex of this process alone. With `initialOwner` the
// calling thread owns the new mutex, but only when it did not exist yet: an existing mutex is
// not taken and GetLastError() is ERROR_ALREADY_EXISTS, as after opening any existing mutex. On
// POSIX a mutex counts as existing when it is open in this process or held by another process.
// Returns null on failure with GetLastError() set: a name with
// a path separator (ERROR_INVALID_NAME), a lock folder that is not safe (ERROR_ACCESS_DENIED),
// or the file system's own error. The handle belongs to the caller until CloseHandle.
LKMDB7_EXPORT HANDLE CreateMutexA(void* security, BOOL initialOwner, const char* name);

// Waits until the calling thread owns the mutex, at most `milliseconds` (INFINITE: no limit;
// 0: one try). Returns WAIT_OBJECT_0 or WAIT_ABANDONED when the thread now owns it (count +1),
// WAIT_TIMEOUT when it did not get it in time, and WAIT_FAILED with GetLastError() set for a
// handle that is not an open mutex handle or a lock that cannot be taken at all. A waiting
// thread sleeps; it never spins.
LKMDB7_EXPORT DWORD WaitForSingleObject(HANDLE mutex, DWORD milliseconds);

// Gives back one wait of the calling thread. FALSE with ERROR_NOT_OWNER when the thread does not
// own the mutex; FALSE with ERROR_INVALID_HANDLE for a handle that is not open.
LKMDB7_EXPORT BOOL ReleaseMutex(HANDLE mutex);

// Closes a handle from CreateMutexA; the handle is invalid afterwards. On POSIX, waits that were
// obtained through this handle and not yet released are given back, so a forgotten release
// cannot keep other processes out (the next owner sees WAIT_ABANDONED). FALSE with
// ERROR_INVALID_HANDLE for a handle that is not open.
LKMDB7_EXPORT BOOL CloseHandle(HANDLE handle);

// A sentence on why the last CreateMutexA or WaitForSingleObject of the calling thread failed,
// naming the lock folder or file ("" when there is nothing to add to the error code).
LKMDB7_EXPORT const char* GetLastMutexDetail();

// Whether a wait result means the caller now owns the mutex.
constexpr bool WaitObtained(DWORD result) {
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

}  // namespace LKMDB7
