#include "tests/support/platform/Users.h"

#include <stdexcept>

#if defined(_WIN32)

namespace lkmdb7_test {

unsigned EffectiveUserId() {
    throw std::logic_error("no POSIX user ids on Windows");
}

bool GiveToNobody(const std::filesystem::path&) {
    throw std::logic_error("no POSIX user ids on Windows");
}

unsigned OwnerOf(const std::filesystem::path&) {
    throw std::logic_error("no POSIX user ids on Windows");
}

unsigned GroupOf(const std::filesystem::path&) {
    throw std::logic_error("no POSIX user ids on Windows");
}

}  // namespace lkmdb7_test

#else

#include <sys/stat.h>
#include <unistd.h>

namespace lkmdb7_test {

unsigned EffectiveUserId() {
    return ::geteuid();
}

bool GiveToNobody(const std::filesystem::path& path) {
    return ::chown(path.c_str(), 65534, 65534) == 0;
}

unsigned OwnerOf(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_uid : ~0u;
}

unsigned GroupOf(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_gid : ~0u;
}

}  // namespace lkmdb7_test

#endif
