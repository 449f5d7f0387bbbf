// POSIX user ids for tests of files that must belong to the user a test runs as. Windows has
// none: there both functions throw std::logic_error, so tests that use them skip there first.
#pragma once

#include <filesystem>

namespace lkmdb7_test {

// The effective user id of this process; 0 for root.
unsigned EffectiveUserId();

// Gives `path` to user and group 65534, "nobody". Only root may give files away: false when the
// system refused.
bool GiveToNobody(const std::filesystem::path& path);

// The user and group ids that own a file (a link itself, not its target).
unsigned OwnerOf(const std::filesystem::path& path);
unsigned GroupOf(const std::filesystem::path& path);

}  // namespace lkmdb7_test
