// Environment variables for tests that depend on them: set or removed for one scope, restored
// after.
#pragma once

#include <optional>
#include <string>

namespace lkmdb7_test {

// True in the Windows build; tests branch on this rather than on the compiler's platform macros.
#if defined(_WIN32)
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// Gives the variable `value` (removes it when null) until the object goes, then puts back what
// was there before. Not safe while other threads read the environment.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace lkmdb7_test
