// Files that are not what a program expects, and writes that fail: for tests of how lkmdb meets
// them. POSIX only; elsewhere every function returns false, and tests that need one skip.
#pragma once

#include <cstdint>
#include <filesystem>

namespace lkmdb7_test {

// Makes a named pipe (FIFO) at path; false when the platform has none or it could not be made.
bool MakeFifo(const std::filesystem::path& path);

// Lets this process write no file beyond `bytes` (RLIMIT_FSIZE): a write past it fails with
// EFBIG instead of ending the process. For children; false when it could not be set.
bool LimitFileSize(std::uint64_t bytes);

}  // namespace lkmdb7_test
