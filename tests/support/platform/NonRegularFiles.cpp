#include "tests/support/platform/NonRegularFiles.h"

#if defined(_WIN32)

namespace lkmdb7_test {

bool MakeFifo(const std::filesystem::path&) {
    return false;
}

bool LimitFileSize(std::uint64_t) {
    return false;
}

}  // namespace lkmdb7_test

#else

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace lkmdb7_test {

bool MakeFifo(const std::filesystem::path& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

bool LimitFileSize(std::uint64_t bytes) {
    // By default the signal ends the process; ignored, the write fails as a full disk's would.
    if (::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
        return false;
    }
    const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

}  // namespace lkmdb7_test

#endif
