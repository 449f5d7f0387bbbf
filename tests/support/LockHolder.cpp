#include "tests/support/LockHolder.h"

#include "lkmdb7/database/DatabaseObj7.h"

namespace lkmdb7_test {

LockHolder::LockHolder(std::chrono::milliseconds hold) {
    std::future<bool> taken = taken_.get_future();
    thread_ = std::thread([this, hold] {
        LKMDB7::CDatabaseObj7 holder;
        const bool held = holder.AcquireLock() == 0;
        taken_.set_value(held);
        if (held) {
            std::this_thread::sleep_for(hold);
            holder.ReleaseLock();
        }
    });
    held_ = taken.get();
}

LockHolder::~LockHolder() {
    thread_.join();
}

}  // namespace lkmdb7_test
