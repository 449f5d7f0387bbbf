#include "cli/LockWait.h"

#include <ostream>

namespace lkmdb {

void SayWhenWaitingForLock(Context& ctx, LKMDB7::CDatabaseObj7& db) {
    db.SetLockWaitObserver([&ctx] {
        if (!ctx.toldOfLockWait) {
            ctx.toldOfLockWait = true;
            ctx.err << "lkmdb: waiting for another program to release the database...\n"
                    << std::flush;
        }
    });
}

}  // namespace lkmdb
