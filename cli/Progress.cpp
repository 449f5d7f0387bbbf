#include "cli/Progress.h"

#include <ostream>
#include <utility>

namespace lkmdb {

namespace {

// Verification and import show progress only beyond this many items.
constexpr std::size_t kProgressThreshold = 5000;

}  // namespace

Progress::Progress(const Context& ctx, std::string what, std::size_t total)
    : ctx_(ctx),
      what_(std::move(what)),
      total_(total),
      active_(ctx.env.showProgress && total > kProgressThreshold) {}

Progress::~Progress() {
    if (active_) {
        ctx_.err << '\r' << what_ << ": " << done_ << " of " << total_ << '\n' << std::flush;
    }
}

void Progress::Step() {
    ++done_;
    if (active_ && done_ % 1000 == 0) {
        ctx_.err << '\r' << what_ << ": " << done_ << " of " << total_ << std::flush;
    }
}

}  // namespace lkmdb
