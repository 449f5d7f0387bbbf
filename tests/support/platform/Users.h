// POSIX user ids for tests of files that must belong to the user a test runs as. Windows has
// none: there both functions throw std::logic_error, so tests that use them skip there first.
#pragma once

#include <filesystem>
#include <initializer_list>

namespace lkmdb7_test {

// The effective user id of this process; 0 for root.
unsigned EffectiveUserId();

// Gives `path` to user and group 65534, "nobody". Only root may give files away: false when the
// system refused.
bool GiveToNobody(const std::filesystem::path& path);

// A database that nobody may write in a folder where nobody may create nothing: opens folder to
// everyone (0755, still root's) and gives file to nobody. False when the system refused.
bool GiveFileInRootsFolderToNobody(const std::filesystem::path& folder,
                                   const std::filesystem::path& file);

// Makes each of folders (0700) under parent, opened to everyone, and gives it to nobody: places
// of nobody's own beside the test's. False when the system refused.
bool MakeNobodysFolders(const std::filesystem::path& parent,
                        std::initializer_list<std::filesystem::path> folders);

// Makes the calling process user and group 65534 (nobody) for good; root only. For children.
bool BecomeNobody();

// The user and group ids that own a file (a link itself, not its target).
unsigned OwnerOf(const std::filesystem::path& path);
unsigned GroupOf(const std::filesystem::path& path);

}  // namespace lkmdb7_test
