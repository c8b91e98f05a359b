#include "cli/update_log.h"

#include <cstdio>
#include <cwctype>

#include "common/console_text.h"
#include "common/win32_owners.h"
#include "velto1_build_info.h"

namespace cli {

namespace {

// A field never breaks its line or its columns: control characters and the
// line and paragraph separators (NEL among the controls) become '?'.
std::string Field(std::wstring text) {
    for (wchar_t& c : text) {
        c = std::iswcntrl(c) || c == 0x85 || c == 0x2028 || c == 0x2029 ? L'?' : c;
    }
    return text.empty() ? "-" : velto1::Utf8Of(text);
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

std::wstring UserName() {
    wchar_t name[257] = {};  // UNLEN + 1
    DWORD size = 257;
    return GetUserNameW(name, &size) ? name : L"";
}

}  // namespace

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? name : L"";
}

std::string LogLine(const LogRecord& record) {
    const std::string fields[] = {
        IsoTimeNow(),
        Field(ComputerName()),
        Field(UserName()),
        Field(record.device),
        record.before,
        record.after,
        Field(velto1::WidenAscii(record.outcome)),
        std::to_string(record.exitCode),
        VELTO1_VERSION,
        VELTO1_ARCH,
    };
    std::string line;
    for (const std::string& field : fields) {
        line += (line.empty() ? "" : "\t") + field;
    }
    return line + "\r\n";
}

namespace {

// Whether the file ends in the middle of a line: its last byte is not a line
// feed. A file that can't be read that way counts as ending well.
bool EndsInsideALine(HANDLE file) {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size) || size.QuadPart == 0) {
        return false;
    }
    OVERLAPPED at = {};
    const ULONGLONG last = static_cast<ULONGLONG>(size.QuadPart) - 1;
    at.Offset = static_cast<DWORD>(last);
    at.OffsetHigh = static_cast<DWORD>(last >> 32);
    char byte = '\n';
    DWORD read = 0;
    return ReadFile(file, &byte, 1, &read, &at) && read == 1 && byte != '\n';
}

}  // namespace

DWORD AppendLogLine(const std::wstring& path, const std::string& line) {
    // Append-only access: every write lands at the end of the file as it is
    // then, even with another process appending at the same time. Read
    // access too where the file allows it, to see how the file ends.
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    velto1::UniqueHandle file(CreateFileW(path.c_str(),
                                          FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE, kShare,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid() && GetLastError() == ERROR_ACCESS_DENIED) {
        file =
            velto1::UniqueHandle(CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, kShare,
                                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file.Valid()) {
        return GetLastError();
    }
    // Every writer ends its lines, so a line left open was cut short by
    // something else: the record starts on a line of its own, in the same write.
    const std::string record = EndsInsideALine(file.Get()) ? "\r\n" + line : line;
    DWORD written = 0;
    if (!WriteFile(file.Get(), record.data(), static_cast<DWORD>(record.size()), &written,
                   nullptr)) {
        return GetLastError();
    }
    return written == record.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

}  // namespace cli
