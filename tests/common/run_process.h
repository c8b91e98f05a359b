// Runs a console program as a script would (no command interpreter between)
// and collects its exit code and what it printed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

struct ProcessRun {
    // The program's exit code; kNotStarted when it could not be started.
    DWORD exitCode;
    // stdout and stderr together, in the order written; when the program could
    // not be started, why.
    std::string output;
    static constexpr DWORD kNotStarted = 0xFFFFFFFF;
    // The exit code of a program ended for running too long.
    static constexpr DWORD kTimedOut = 0xFFFFFFFE;
};

// Starts program (a full path) with the command line "program" arguments, its
// stdout and stderr on one pipe and stdin on NUL, and waits for it to end
// (ending it after a minute). A program that ends with an exception code
// (tests/common/heap_gate.h) fails the running test.
ProcessRun RunProcess(const std::wstring& program, const std::wstring& arguments);

// The same, with the named environment variables taken out of the program's
// environment (DISPLAY: a program under Wine then has no X display).
ProcessRun RunProcessWithout(const std::wstring& program, const std::wstring& arguments,
                             const std::vector<std::wstring>& unsetVariables);

}  // namespace testsupport
