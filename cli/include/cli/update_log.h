// The log that `velto1cli update --log FILE` appends to: one UTF-8 line per
// device per run, tab-separated, ending in CR LF:
//   time (ISO 8601 with zone)  computer  user  device  before  after  outcome  exit code
//   version  architecture
// Fields are only ever added at the end. A record starts on a line of its
// own even when the file's last line has no line end. Lines of several runs,
// on several computers, may share one file.
#pragma once

#include <windows.h>

#include <string>

namespace cli {

struct LogRecord {
    std::wstring device;  // friendly name; empty when none was found
    std::string before;   // the option byte as read, "-" when not read
    std::string after;    // as read back, "-" when not read back
    std::string outcome;  // the outcome in English, as printed
    int exitCode;
};

// The whole line, with the time, computer and user of now.
std::string LogLine(const LogRecord& record);

// Appends one line to the file (created when missing) with one write at the
// file's end, sharing it with other writers; returns ERROR_SUCCESS or why not.
DWORD AppendLogLine(const std::wstring& path, const std::string& line);

}  // namespace cli
