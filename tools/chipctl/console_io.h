// chipctl's output: values on stdout, one-line messages on stderr, and the
// exit codes that scripts test.
#pragma once

#include <windows.h>

#include <string>

namespace chipctl {

constexpr int kSuccess = 0;
constexpr int kDeviceFailure = 1;  // the device or its driver failed; the status is printed
constexpr int kUsageError = 2;     // the command line was refused; nothing was sent

// Text in the ANSI code page, the form the library and --name use.
void Out(const std::wstring& text);
void Err(const std::wstring& text);

// "0x" and exactly digits upper-case hexadecimal digits.
std::wstring Hex(DWORD value, int digits);
// A status word as 0x and eight digits.
std::wstring StatusText(HRESULT status);
// An argument as a message quotes it: control characters as '?', long ones cut.
std::wstring Quoted(const std::wstring& text);

std::wstring Widen(const std::string& ansiText);

// "chipctl: <problem> (chipctl help shows the usage)"; returns kUsageError.
int UsageError(const std::wstring& problem);
// "chipctl: <what> failed: status 0x........"; returns kDeviceFailure.
int DeviceFailure(const std::wstring& what, HRESULT status);

}  // namespace chipctl
