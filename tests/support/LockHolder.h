// Holds the database lock from a thread of the test's own process, for tests of what waits for
// it. The holder's own database object excludes every other object's thread, as another process
// would.
#pragma once

#include <chrono>
#include <future>
#include <thread>

namespace lkmdb7_test {

class LockHolder {
  public:
    // Returns once the lock is taken (or could not be: Held() is false), and lets it go `hold`
    // later.
    explicit LockHolder(std::chrono::milliseconds hold);
    // Waits for the release.
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool Held() const { return held_; }

  private:
    std::promise<bool> taken_;
    bool held_ = false;
    std::thread thread_;
};

}  // namespace lkmdb7_test
