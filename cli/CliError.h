// The failure that every part of the tool throws to stop a command: the line to report and the
// exit code to leave with.
#pragma once

#include <stdexcept>
#include <string>

#include "cli/Lkmdb.h"  // the exit codes

namespace lkmdb {

// A failure to report: one line (without the "lkmdb: " prefix) and the exit code (kExit*).
class CliError : public std::runtime_error {
  public:
    CliError(int exitCode, const std::string& message)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int ExitCode() const { return exitCode_; }

  private:
    int exitCode_;
};

}  // namespace lkmdb
