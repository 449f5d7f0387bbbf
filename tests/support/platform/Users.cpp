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

}  // namespace lkmdb7_test

#else

#include <unistd.h>

namespace lkmdb7_test {

unsigned EffectiveUserId() {
    return ::geteuid();
}

bool GiveToNobody(const std::filesystem::path& path) {
    return ::chown(path.c_str(), 65534, 65534) == 0;
}

}  // namespace lkmdb7_test

#endif
