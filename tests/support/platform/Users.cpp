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

bool BecomeNobody() {
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

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lkmdb7_test {

unsigned EffectiveUserId() {
    return ::geteuid();
}

bool GiveToNobody(const std::filesystem::path& path) {
    return ::chown(path.c_str(), 65534, 65534) == 0;
}

bool BecomeNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0 &&
           ::setresuid(65534, 65534, 65534) == 0;
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

namespace lkmdb7_test {

namespace {

constexpr auto kOpenToEveryone =
    std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
    std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
    std::filesystem::perms::others_exec;

}  // namespace

bool GiveFileInRootsFolderToNobody(const std::filesystem::path& folder,
                                   const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::permissions(folder, kOpenToEveryone, error);
    return !error && GiveToNobody(file);
}

bool MakeNobodysFolders(const std::filesystem::path& parent,
                        std::initializer_list<std::filesystem::path> folders) {
    std::error_code error;
    std::filesystem::permissions(parent, kOpenToEveryone, error);
    for (const std::filesystem::path& folder : folders) {
        std::filesystem::create_directory(folder, error);
        if (error) {
            return false;
        }
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
        if (error || !GiveToNobody(folder)) {
            return false;
        }
    }
    return !error;
}

}  // namespace lkmdb7_test
