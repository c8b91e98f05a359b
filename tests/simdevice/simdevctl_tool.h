// Runs the device tool simdevctl, the copy beside the test binary, and collects
// what it printed. Shared by the tool's tests.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "tests/bench/sim_bench.h"
#include "tests/common/run_process.h"

namespace simdevctl_tool {

struct Outcome {
    int exitCode;
    std::string output;  // stdout and stderr together
};

// Starts simdevctl.exe directly, with no command interpreter between: cmd.exe
// reports every failure to start a program as its own exit code 9009, which
// hides why.
inline Outcome Tool(const std::wstring& arguments) {
    const std::wstring dll = simbench::DllPath();
    const testsupport::ProcessRun run = testsupport::RunProcess(
        dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"simdevctl.exe", arguments);
    EXPECT_NE(run.exitCode, testsupport::ProcessRun::kNotStarted) << run.output;
    return {static_cast<int>(run.exitCode), run.output};
}

}  // namespace simdevctl_tool
