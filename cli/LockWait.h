// Tells the user why a command seems to hang while another program holds the database lock.
#pragma once

#include "cli/Context.h"
#include "lkmdb7/database/DatabaseObj7.h"

namespace lkmdb {

// Makes db's waits for the lock write one line on ctx.err once they have lasted a second; one
// such line a run, however many waits follow. A plain line even under --json: scripts read
// standard output, and the wait is no error. ctx must outlive db.
void SayWhenWaitingForLock(Context& ctx, LKMDB7::CDatabaseObj7& db);

}  // namespace lkmdb
