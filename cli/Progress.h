// Progress on the error stream for long work (verify, import, export).
#pragma once

#include <cstddef>
#include <string>

#include "cli/Context.h"

namespace lkmdb {

// Shown only when the environment asks for it and the work is long.
class Progress {
  public:
    Progress(const Context& ctx, std::string what, std::size_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void Step();

  private:
    const Context& ctx_;
    std::string what_;
    std::size_t total_;
    std::size_t done_ = 0;
    bool active_;
};

}  // namespace lkmdb
