// chipctl's output: values on stdout, one-line messages on stderr, and the
// exit codes that scripts test.
#pragma once

#include <windows.h>

#include <string>

#include "common/ansi_text.h"
#include "common/hex_text.h"

namespace chipctl {

constexpr int kSuccess = 0;
constexpr int kDeviceFailure = 1;  // the device or its driver failed; the status is printed
constexpr int kUsageError = 2;     // the command line was refused; nothing was sent

// Unicode on a console, UTF-8 when redirected.
void Out(const std::wstring& text);
void Err(const std::wstring& text);

// "0x" and at least digits upper-case hexadecimal digits.
inline std::wstring Hex(DWORD value, int digits) {
    return velto1::HexText<wchar_t>(value, digits);
}
using velto1::Quoted;

using velto1::WidenAnsi;

// "chipctl: <problem> (chipctl help shows the usage)"; returns kUsageError.
int UsageError(const std::wstring& problem);
// "chipctl: <what> failed: status 0x........"; returns kDeviceFailure.
int DeviceFailure(const std::wstring& what, HRESULT status);

}  // namespace chipctl
