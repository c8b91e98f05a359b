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

// A program started as RunProcess starts it, which the test waits for, reads
// while it runs, or ends; it is ended when the owner goes.
class RunningProcess {
  public:
    RunningProcess(const std::wstring& program, const std::wstring& arguments,
                   std::wstring* environment = nullptr);
    ~RunningProcess();
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    bool Started() const { return process_ != nullptr; }
    bool Ended() const { return !process_ || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }
    // Waits until its output holds text, it ends, or a minute passes; true
    // when the output holds text.
    bool WaitForOutput(const std::string& text);
    // Waits for its end (ending it after a minute), as RunProcess does.
    ProcessRun Wait();
    // Ends it at once, as a crash would, and waits for the end.
    void Kill();

  private:
    void Drain();

    std::wstring program_;
    HANDLE process_ = nullptr;
    HANDLE output_ = nullptr;  // our end of its stdout and stderr
    ProcessRun run_;
};

}  // namespace testsupport
