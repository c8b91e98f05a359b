#include "cli/update_log.h"

#include <cstdio>
#include <cwctype>

#include "common/ansi_text.h"
#include "common/win32_owners.h"

namespace cli {

namespace {

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

// A field never breaks its line or its columns: control characters become '?'.
std::string Field(std::wstring text) {
    for (wchar_t& c : text) {
        c = std::iswcntrl(c) ? L'?' : c;
    }
    return text.empty() ? "-" : Utf8(text);
}

ULONGLONG Ticks(const FILETIME& time) {
    return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// Local time with its offset from UTC, to the second: 2026-12-10T14:03:07+09:00.
std::string IsoTimeNow() {
    FILETIME utc = {};
    FILETIME local = {};
    SYSTEMTIME shown = {};
    GetSystemTimeAsFileTime(&utc);
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &shown);
    constexpr LONGLONG kTicksPerMinute = 600000000;
    const LONGLONG offset =
        (static_cast<LONGLONG>(Ticks(local)) - static_cast<LONGLONG>(Ticks(utc))) / kTicksPerMinute;
    const LONGLONG size = offset < 0 ? -offset : offset;
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02u:%02u", shown.wYear,
                  shown.wMonth, shown.wDay, shown.wHour, shown.wMinute, shown.wSecond,
                  offset < 0 ? '-' : '+', static_cast<unsigned>(size / 60),
                  static_cast<unsigned>(size % 60));
    return text;
}

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? name : L"";
}

std::wstring UserName() {
    wchar_t name[257] = {};  // UNLEN + 1
    DWORD size = 257;
    return GetUserNameW(name, &size) ? name : L"";
}

}  // namespace

std::string LogLine(const LogRecord& record) {
    const std::string fields[] = {
        IsoTimeNow(),
        Field(ComputerName()),
        Field(UserName()),
        Field(velto1::WidenAnsi(record.device)),
        record.before,
        record.after,
        Field(velto1::WidenAnsi(record.outcome)),
        std::to_string(record.exitCode),
    };
    std::string line;
    for (const std::string& field : fields) {
        line += (line.empty() ? "" : "\t") + field;
    }
    return line + "\r\n";
}

DWORD AppendLogLine(const std::wstring& path, const std::string& line) {
    // Append-only access: every write lands at the end of the file as it is
    // then, even with another process appending at the same time.
    const velto1::UniqueHandle file(
        CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return GetLastError();
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        return GetLastError();
    }
    return written == line.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

}  // namespace cli
