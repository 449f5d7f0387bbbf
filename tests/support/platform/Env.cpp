#include "tests/support/platform/Env.h"

#include <stdlib.h>

#include <utility>

namespace lkmdb7_test {

namespace {

void SetVariable(const std::string& name, const char* value) {
#if defined(_WIN32)
    // An empty value removes the variable; Windows cannot hold an empty one.
    ::_putenv_s(name.c_str(), value != nullptr ? value : "");
#else
    if (value != nullptr) {
        ::setenv(name.c_str(), value, 1);
    } else {
        ::unsetenv(name.c_str());
    }
#endif
}

}  // namespace

ScopedEnv::ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* old = ::getenv(name_.c_str())) {
        saved_ = old;
    }
    SetVariable(name_, value);
}

ScopedEnv::~ScopedEnv() {
    SetVariable(name_, saved_ ? saved_->c_str() : nullptr);
}

}  // namespace lkmdb7_test
