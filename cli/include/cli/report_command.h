// velto1cli report: what a roll-out's logs say, computer by computer, with the
// causes of the computers that need attention (cli/rollout_report.h).
#pragma once

#include "cli/arguments.h"

namespace cli {

// Reads every log (and the inventory of --expect), prints the summary (or
// with --json one JSON object) and returns 0, kExitReportAttention when a
// computer needs attention or never reported, or kExitReportUnreadable when
// a file could not be read (the others are read all the same).
int RunReport(const Options& options);

}  // namespace cli
