#include "tools/chipctl/console_io.h"

#include "common/command_line.h"
#include "common/console_text.h"

namespace chipctl {

void Out(const std::wstring& text) {
    velto1::WriteText(stdout, text);
}

void Err(const std::wstring& text) {
    velto1::WriteText(stderr, text);
}

int UsageError(const std::wstring& problem) {
    velto1::RefuseUsage(L"chipctl", problem);
    return kUsageError;
}

int DeviceFailure(const std::wstring& what, HRESULT status) {
    Err(L"chipctl: " + what + L" failed: status " + velto1::StatusWordText<wchar_t>(status) +
        L"\n");
    return kDeviceFailure;
}

}  // namespace chipctl
