#include "cli/report_command.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "appcore/outcome_table.h"
#include "cli/file_name_piece.h"
#include "cli/outcomes.h"
#include "cli/rollout_report.h"
#include "common/console_text.h"
#include "common/win32_owners.h"

namespace cli {

namespace {

constexpr DWORD kChunkBytes = 1 << 16;
constexpr size_t kNamesShown = 10;  // of a cause, in the text summary

// Reads the file a chunk at a time and hands each line (its CR LF or LF
// removed, a UTF-8 byte order mark at the start dropped) to line(). A line
// longer than any record is handed over cut, marked by its length alone, so
// memory stays one chunk and one record whatever the file holds. Returns
// ERROR_SUCCESS or why the file could not be read.
template <typename Line>
DWORD ReadLines(const std::wstring& path, Line line) {
    velto1::UniqueHandle file(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid()) {
        return GetLastError();
    }
    std::vector<char> chunk(kChunkBytes);
    std::string pending;
    bool overlong = false, first = true;
    const auto end = [&] {
        if (!pending.empty() && pending.back() == '\r') {
            pending.pop_back();
        }
        line(overlong ? std::string(kMaxLogLineBytes + 1, '?') : pending);
        pending.clear();
        overlong = false;
    };
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), chunk.data(), kChunkBytes, &read, nullptr)) {
            return GetLastError();
        }
        if (read == 0) {
            break;
        }
        size_t at = 0;
        if (first && read >= 3 && std::equal(chunk.begin(), chunk.begin() + 3, "\xEF\xBB\xBF")) {
            at = 3;
        }
        first = false;
        while (at < read) {
            const char* from = chunk.data() + at;
            const char* newline = static_cast<const char*>(std::memchr(from, '\n', read - at));
            const size_t length = newline ? static_cast<size_t>(newline - from) : read - at;
            if (!overlong) {
                pending.append(from, length);
                if (pending.size() > kMaxLogLineBytes + 1) {
                    overlong = true;
                    pending.clear();
                }
            }
            at += length;
            if (newline) {
                ++at;
                end();
            }
        }
    }
    if (!pending.empty() || overlong) {
        end();  // a last line without its end: read as it is (a cut line is skipped)
    }
    return ERROR_SUCCESS;
}

// The inventory: one computer a line, or a CSV whose header names the
// column ("Device name" as Intune exports it, "Name", "Computer", ...).
DWORD ReadInventory(const std::wstring& path, RolloutReport& report) {
    int column = -1;  // -1: not yet known; -2: one name a line
    return ReadLines(path, [&](const std::string& line) {
        std::vector<std::string> cells;
        for (size_t start = 0;;) {
            const size_t comma = line.find(',', start);
            std::string cell =
                line.substr(start, comma == std::string::npos ? comma : comma - start);
            cell.erase(0, cell.find_first_not_of(" \t\""));
            cell.erase(cell.find_last_not_of(" \t\"") + 1);
            cells.push_back(cell);
            if (comma == std::string::npos) {
                break;
            }
            start = comma + 1;
        }
        if (column == -1) {
            if (cells.size() == 1) {
                column = -2;
            } else {
                for (size_t i = 0; i < cells.size() && column < 0; ++i) {
                    std::string name = cells[i];
                    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
                        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                    });
                    if (name == "device name" || name == "devicename" || name == "name" ||
                        name == "computer" || name == "computer name" || name == "computername") {
                        column = static_cast<int>(i);
                    }
                }
                if (column < 0) {
                    column = 0;
                }
                return;  // the header
            }
        }
        const size_t take = column == -2 ? 0 : static_cast<size_t>(column);
        if (take < cells.size()) {
            report.Expect(cells[take]);
        }
    });
}

// The failed devices' recordings beside the logs, by the computer and the exit code in their names.
std::vector<std::string> RecordingsOf(const std::vector<std::wstring>& recordings,
                                      const std::string& computer, int exitCode) {
    const std::wstring prefix = L"velto1-" + FileNamePiece(velto1::WidenUtf8(computer)) + L"-";
    const std::wstring suffix = L"-" + std::to_wstring(exitCode) + L".rec.txt";
    std::vector<std::string> found;
    for (const std::wstring& path : recordings) {
        const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
        if (name.size() > prefix.size() + suffix.size() &&
            name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            found.push_back(velto1::Utf8Of(path));
        }
    }
    return found;
}

std::vector<std::wstring> RecordingsBeside(const std::vector<std::wstring>& logs) {
    std::set<std::wstring> folders;
    for (const std::wstring& log : logs) {
        const size_t slash = log.find_last_of(L"\\/");
        folders.insert(slash == std::wstring::npos ? L"" : log.substr(0, slash + 1));
    }
    std::vector<std::wstring> recordings;
    for (const std::wstring& folder : folders) {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((folder + L"velto1-*.rec.txt").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more;
             more = FindNextFileW(search, &found)) {
            recordings.push_back(folder + found.cFileName);
        }
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
        }
    }
    return recordings;
}

}  // namespace

int RunReport(const Options& options) {
    RolloutReport report([](int exitCode) {
        for (const OutcomeDescription& row : kOutcomeTable) {
            if (row.exitCode == exitCode && row.code) {
                return std::string(row.code);
            }
        }
        return std::string();
    });
    int code = kExitSuccess;
    const auto unreadable = [&code](const std::wstring& path, DWORD error) {
        velto1::WriteText(stderr, L"velto1cli: could not read " + path + L": error " +
                                      std::to_wstring(error) + L"\n");
        code = kExitReportUnreadable;
    };
    for (size_t log = 0; log < options.logs.size(); ++log) {
        const DWORD error = ReadLines(options.logs[log],
                                      [&](const std::string& line) { report.AddLine(log, line); });
        if (error != ERROR_SUCCESS) {
            unreadable(options.logs[log], error);
        }
    }
    if (options.expect) {
        const DWORD error = ReadInventory(*options.expect, report);
        if (error != ERROR_SUCCESS) {
            unreadable(*options.expect, error);
        }
    }
    RolloutReport::Summary summary = report.Summarize();
    const std::vector<std::wstring> recordings = RecordingsBeside(options.logs);

    for (Cause& cause : summary.causes) {
        for (const std::string& computer : cause.computers) {
            const std::vector<std::string> found =
                RecordingsOf(recordings, computer, cause.exitCode);
            cause.recordings.insert(cause.recordings.end(), found.begin(), found.end());
        }
    }
    if (options.html) {
        const std::string page = ReportHtml(summary);
        velto1::UniqueHandle file(CreateFileW(options.html->c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file.Valid() ||
            !WriteFile(file.Get(), page.data(), static_cast<DWORD>(page.size()), &written,
                       nullptr) ||
            written != page.size()) {
            velto1::WriteText(stderr, L"velto1cli: could not write the page " + *options.html +
                                          L": error " + std::to_wstring(GetLastError()) + L"\n");
            code = kExitReportUnreadable;
        }
    }
    if (options.json) {
        const std::string json = ReportJson(summary);
        velto1::WriteText(stdout, velto1::WidenAscii(json + "\n"));
    } else {
        std::wstring text = L"velto1cli report: " +
                            std::to_wstring(summary.states.at(PcState::Done) +
                                            summary.states.at(PcState::NothingToDo) +
                                            summary.states.at(PcState::Attention)) +
                            L" computers in " + std::to_wstring(options.logs.size()) +
                            L" log(s), " + std::to_wstring(summary.linesRead) + L" lines read, " +
                            std::to_wstring(summary.linesSkipped) + L" skipped\n";
        text += L"  done            " + std::to_wstring(summary.states.at(PcState::Done)) + L"\n";
        text += L"  nothing to do   " + std::to_wstring(summary.states.at(PcState::NothingToDo)) +
                L"\n";
        text +=
            L"  attention       " + std::to_wstring(summary.states.at(PcState::Attention)) + L"\n";
        text += L"  never reported  " + std::to_wstring(summary.states.at(PcState::NeverReported)) +
                L"\n";
        for (const Cause& cause : summary.causes) {
            text += std::to_wstring(cause.computers.size()) + L" x " +
                    velto1::WidenUtf8(cause.outcome) + L" (exit code " +
                    std::to_wstring(cause.exitCode) + L"), " +
                    velto1::WidenUtf8(UtcTimeText(cause.firstSeen)) + L" to " +
                    velto1::WidenUtf8(UtcTimeText(cause.lastSeen)) + L":";
            // A short summary: the first names; the page and --json list them all.
            const size_t shown = std::min<size_t>(cause.computers.size(), kNamesShown);
            for (size_t i = 0; i < shown; ++i) {
                text += L" " + velto1::WidenUtf8(cause.computers[i]);
            }
            if (shown < cause.computers.size()) {
                text += L" and " + std::to_wstring(cause.computers.size() - shown) + L" more";
            }
            for (size_t i = 0; i < std::min<size_t>(cause.recordings.size(), kNamesShown); ++i) {
                text += L"\n    " + velto1::WidenUtf8(cause.recordings[i]);
            }
            text += L"\n";
        }
        if (!summary.neverReported.empty()) {
            text += L"never reported:";
            for (size_t i = 0; i < std::min<size_t>(summary.neverReported.size(), kNamesShown);
                 ++i) {
                text += L" " + velto1::WidenUtf8(summary.neverReported[i]);
            }
            if (summary.neverReported.size() > kNamesShown) {
                text += L" and " + std::to_wstring(summary.neverReported.size() - kNamesShown) +
                        L" more";
            }
            text += L"\n";
        }
        for (const SkippedLine& skipped : summary.firstSkipped) {
            text += L"skipped: " + options.logs[skipped.log] + L" line " +
                    std::to_wstring(skipped.lineNumber) + L": " +
                    velto1::WidenUtf8(skipped.reason) + L"\n";
        }
        velto1::WriteText(stdout, text);
    }
    const bool attention =
        summary.states.at(PcState::Attention) > 0 || summary.states.at(PcState::NeverReported) > 0;
    return code != kExitSuccess ? code : attention ? kExitReportAttention : kExitSuccess;
}

}  // namespace cli
