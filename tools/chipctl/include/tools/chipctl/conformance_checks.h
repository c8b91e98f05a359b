// The checks of chipctl conformance, run on a bound device (tools/chipctl's
// conformance command, and the tests).
#pragma once

#include <functional>
#include <string>

#include "devctl/call_recorder.h"
#include "devctl/device_control.h"

namespace chipctl {

struct ConformanceCounts {
    int passed = 0;  // passed, warned and failed follow each other: a verdict's index
    int warned = 0;
    int failed = 0;
};
using ConformanceOutput = std::function<void(const std::wstring&)>;

// Runs every check on device, whose driver calls calls records (the checks
// read them), and hands each line of the report to out.
ConformanceCounts RunConformanceChecks(DeviceControl& device, CallRecorder& calls,
                                       const ConformanceOutput& out);

}  // namespace chipctl
