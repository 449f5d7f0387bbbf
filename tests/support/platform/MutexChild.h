// Child processes that hold or try a named mutex (CreateMutexA and WaitForSingleObject), for
// tests of exclusion between processes. POSIX only: see ChildProcessesSupported().
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "lkmdb7/platform/Types.h"
#include "tests/support/platform/ChildProcess.h"

namespace lkmdb7_test {

using LKMDB7::DWORD;

// Starts a child that takes the mutex `name`, waiting for it up to `waitMs` (LKMDB7::INFINITE:
// without limit), creates `readyFile` once it owns it, and then holds it until killed; with
// `releaseAfter` it releases it after that time and stays alive until killed. A child that does
// not get the mutex in time exits with 1 and creates nothing. Throws std::runtime_error as
// ChildProcess does.
ChildProcess StartMutexHolder(const std::string& name, const std::filesystem::path& readyFile,
                              std::optional<std::chrono::milliseconds> releaseAfter = {},
                              DWORD waitMs = 0);

// Runs a child that waits up to `ms` for the mutex `name` and ends: 0 when it obtained it, 1 when
// the wait timed out, another value when it could not try.
int ChildTakesMutex(const std::string& name, DWORD ms);

}  // namespace lkmdb7_test
