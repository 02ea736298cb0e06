// The windowless modes run from a terminal, a script or a service: no window system is touched.
// The site lines and the summary go to standard output, failures and refusals also to standard
// error; the exit status is the run's.
#pragma once

#include <cstdio>

#include "sync/sync_run.h"

namespace horalux {

// Prints `report` as described above; returns its exit status, or 1 when the output cannot be
// written.
int PrintSyncReport(const SyncReport& report, std::FILE* out, std::FILE* err);

// Measures on the real wall clock and, with `set_clock`, moves the system clock; then prints.
int RunSyncInTerminal(const SyncRequest& request);

}  // namespace horalux
