#include "tools/chipctl/console_io.h"

#include <cstdio>

namespace chipctl {

namespace {

void Write(FILE* stream, const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

}  // namespace

void Out(const std::wstring& text) {
    Write(stdout, text);
}

void Err(const std::wstring& text) {
    std::fflush(stdout);  // keeps the order of the two streams when they share a pipe
    Write(stderr, text);
}

int UsageError(const std::wstring& problem) {
    Err(L"chipctl: " + problem + L" (chipctl help shows the usage)\n");
    return kUsageError;
}

int DeviceFailure(const std::wstring& what, HRESULT status) {
    Err(L"chipctl: " + what + L" failed: status " + velto1::StatusWordText<wchar_t>(status) +
        L"\n");
    return kDeviceFailure;
}

}  // namespace chipctl
