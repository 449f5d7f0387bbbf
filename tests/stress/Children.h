// This test program doubles as the child processes of its tests: started with LKMDB7_STRESS_CHILD
// set, it runs the child's part and exits before any test. POSIX only.
//
// Children:
//   "hold"    opens the database mutex, waits for it without limit, creates the file named by
//             LKMDB7_STRESS_READY once it owns it, and then sleeps until it is killed.
//   "worker"  until LKMDB7_STRESS_SECONDS have passed: takes the database mutex (at most 10 s),
//             loads the database in LKMDB7_STRESS_FOLDER, adds a record whose first field is
//             "<LKMDB7_STRESS_ID>-<count>", saves and releases. Appends one line per round to
//             LKMDB7_STRESS_LOG: "saved <tag> <wait ms>", "failed <tag> <result>" or
//             "timeout <wait ms>". Exits 0, or 2 when it could not start.
//
// Every process of the program keeps its locks in a private scratch folder (LKMDB7_LOCK_DIR),
// which the children inherit.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace lkmdb7_stress {

using Env = std::vector<std::pair<std::string, std::string>>;

// Starts a child of the given kind with the variables added; its process id, or -1.
pid_t Spawn(const std::string& kind, const Env& env);
// Waits for the child to end: its exit code, or -1 when a signal ended it.
int ExitCodeOf(pid_t pid);
// Polls for the file for at most ms milliseconds.
bool WaitForFile(const std::string& path, long long ms);

}  // namespace lkmdb7_stress
