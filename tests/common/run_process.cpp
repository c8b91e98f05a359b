#include "tests/common/run_process.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "common/win32_owners.h"
#include "tests/common/heap_gate.h"

namespace testsupport {

namespace {

ProcessRun NotStarted(const char* what) {
    return {ProcessRun::kNotStarted,
            std::string(what) + " failed: error " + std::to_string(GetLastError())};
}

// Appends whatever the pipe holds now, without waiting for more.
void DrainPipe(HANDLE pipe, std::string& output) {
    char buffer[4096];
    DWORD available = 0;
    DWORD read = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
           ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        output.append(buffer, read);
    }
}

// Long enough for the slowest tool run (32-bit code under emulation), short
// enough to end a hung one well within the test's own time limit.
constexpr DWORD kRunTimeoutMs = 60000;

constexpr int kStartAttempts = 3;

// This process's environment block without the named variables (compared
// without regard to case, as Windows names them).
std::wstring EnvironmentWithout(const std::vector<std::wstring>& unsetVariables) {
    std::wstring block;
    wchar_t* const strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; entry && *entry; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        const std::wstring name = text.substr(0, text.find(L'=', 1));
        bool unset = false;
        for (const std::wstring& variable : unsetVariables) {
            unset = unset || _wcsicmp(name.c_str(), variable.c_str()) == 0;
        }
        if (!unset) {
            block += text + L'\0';
        }
    }
    FreeEnvironmentStringsW(strings);
    return block + L'\0';
}

}  // namespace

ProcessRun RunProcess(const std::wstring& program, const std::wstring& arguments) {
    return RunningProcess(program, arguments).Wait();
}

ProcessRun RunProcessWithout(const std::wstring& program, const std::wstring& arguments,
                             const std::vector<std::wstring>& unsetVariables) {
    std::wstring environment = EnvironmentWithout(unsetVariables);
    return RunningProcess(program, arguments, &environment).Wait();
}

RunningProcess::RunningProcess(const std::wstring& program, const std::wstring& arguments,
                               std::wstring* environment)
    : program_(program), run_{ProcessRun::kNotStarted, ""} {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    velto1::UniqueHandle readEnd;
    velto1::UniqueHandle writeEnd;
    if (!CreatePipe(readEnd.Put(), writeEnd.Put(), &inheritable, 0)) {
        run_ = NotStarted("CreatePipe");
        return;
    }
    // Only the child's end is inherited: ours must not keep the pipe open.
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    velto1::UniqueHandle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           &inheritable, OPEN_EXISTING, 0, nullptr));

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.Get();
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    PROCESS_INFORMATION info = {};
    // Wine answers ERROR_INTERNAL_ERROR when the new process ended before it
    // had finished starting (seen about once in a thousand starts under load).
    // Only such a start is tried again, and it is said on stderr: a program
    // that started and then failed is never run twice.
    BOOL started = FALSE;
    for (int attempt = 1; attempt <= kStartAttempts; ++attempt) {
        started =
            CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                           environment ? CREATE_UNICODE_ENVIRONMENT : 0,
                           environment ? &(*environment)[0] : nullptr, nullptr, &startup, &info);
        if (started || GetLastError() != ERROR_INTERNAL_ERROR) {
            break;
        }
        std::fprintf(stderr, "note: Wine did not start %ls (error 1359, attempt %d of %d)\n",
                     program.c_str(), attempt, kStartAttempts);
    }
    if (!started) {
        run_ = NotStarted("CreateProcessW");
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    output_ = readEnd.Release();
}

RunningProcess::~RunningProcess() {
    if (process_) {
        Kill();
        CloseHandle(process_);
    }
    if (output_) {
        CloseHandle(output_);
    }
}

void RunningProcess::Drain() {
    if (output_) {
        DrainPipe(output_, run_.output);
    }
}

bool RunningProcess::WaitForOutput(const std::string& text) {
    const ULONGLONG deadline = GetTickCount64() + kRunTimeoutMs;
    while (process_) {
        const bool ended = WaitForSingleObject(process_, 20) == WAIT_OBJECT_0;
        Drain();
        if (run_.output.find(text) != std::string::npos) {
            return true;
        }
        if (ended || GetTickCount64() > deadline) {
            return false;
        }
    }
    return false;
}

void RunningProcess::Kill() {
    if (process_ && WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_, ProcessRun::kTimedOut);
        WaitForSingleObject(process_, INFINITE);
    }
}

ProcessRun RunningProcess::Wait() {
    if (!process_) {
        return run_;
    }
    // Reads while the program runs and stops when it has ended, not at the
    // pipe's end: a process the program started may still hold the pipe.
    const ULONGLONG deadline = GetTickCount64() + kRunTimeoutMs;
    bool ended = false;
    while (!ended) {
        ended = WaitForSingleObject(process_, 20) == WAIT_OBJECT_0;
        Drain();
        if (!ended && GetTickCount64() > deadline) {
            Kill();
            run_.output +=
                "\n(still running after " + std::to_string(kRunTimeoutMs / 1000) + " s: ended)";
            ended = true;
        }
    }
    GetExitCodeProcess(process_, &run_.exitCode);
    if (IsExceptionCode(run_.exitCode)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(run_.exitCode));
        ADD_FAILURE() << testing::PrintToString(program_) << " ended with exception " << code
                      << " (a crash, or a memory error its heap check or stack protector "
                         "found); its output:\n"
                      << run_.output;
    }
    return run_;
}

}  // namespace testsupport
