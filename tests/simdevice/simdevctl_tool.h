// Runs the device tool simdevctl, the copy beside the test binary, as a script
// would run it, and collects what it printed. Shared by the tool's tests.
#pragma once

#include <cstdio>
#include <string>

#include "tests/bench/sim_bench.h"

namespace simdevctl_tool {

struct Outcome {
    int exitCode;
    std::string output;  // stdout and stderr together
};

// Runs a command line through the command interpreter and collects what it printed.
inline Outcome RunCommand(const std::wstring& command) {
    Outcome run = {-1, ""};
    FILE* pipe = _wpopen((L"\"" + command + L" 2>&1\"").c_str(), L"r");
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) {
        run.output += buffer;
    }
    run.exitCode = pipe ? _pclose(pipe) : -1;
    return run;
}

inline Outcome Tool(const std::wstring& arguments) {
    const std::wstring dll = simbench::DllPath();
    return RunCommand(L"\"" + dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"simdevctl.exe\" " +
                      arguments);
}

}  // namespace simdevctl_tool
