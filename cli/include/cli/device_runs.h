// Runs update or check on the attached devices, one line per device on
// stdout (and in the log), and gives the run's exit code.
#pragma once

#include "cli/arguments.h"

namespace cli {

// The first device found, or with options.all every one, each bound in turn
// and run through the update procedure; returns the highest exit code of
// the devices (kExitLogNotWritten instead of success when a log line could
// not be written).
int RunOnDevices(const Options& options);

}  // namespace cli
