// What a roll-out's logs say, PC by PC: the latest record of every computer
// and device decides, a computer's state is its worst device's, and the
// computers that need attention are grouped by cause. Portable C++ over the
// log's UTF-8 bytes (no Win32), so that it is also built natively and fuzzed.
// Memory grows with the computers and devices, not with the lines.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

enum class PcState { NothingToDo, Done, Attention, NeverReported };

// The longest line a log's writer makes is far shorter; a longer one is skipped.
constexpr size_t kMaxLogLineBytes = 4096;
// What a record can hold: a PC's name (15 characters), a device's friendly
// name (259), one of the program's outcomes; a record beyond one is skipped.
constexpr size_t kMaxComputerNameBytes = 63;
constexpr size_t kMaxDeviceNameBytes = 1024;
constexpr size_t kMaxOutcomeBytes = 512;
// The devices (of all computers) a report keeps: more than a roll-out
// updates, so that memory stays bounded whatever the logs hold; a record of
// a further device is skipped.
constexpr size_t kMaxReportedDevices = 100000;

// One skipped line, for the report to show: where and why.
struct SkippedLine {
    size_t log;  // index of the log, in the order read
    uint64_t lineNumber;
    std::string reason;
};

struct Cause {
    int exitCode;
    std::string code;                     // "E003"; empty for outcomes without one
    std::string outcome;                  // the outcome as logged, its status included
    std::vector<std::string> computers;   // as last spelled, sorted
    int64_t firstSeen, lastSeen;          // UTC seconds since 1970
    std::vector<std::string> recordings;  // found beside the logs, by whoever reads them
};

class RolloutReport {
  public:
    // codeOf gives the W/E code of an exit code ("" for none): the outcome table's.
    explicit RolloutReport(std::function<std::string(int)> codeOf) : codeOf_(std::move(codeOf)) {}
    // One line of log number `log`, its line end (LF or CR LF) removed.
    void AddLine(size_t log, std::string_view line);
    // A computer name of the inventory (--expect).
    void Expect(std::string_view computer);

    struct Summary {
        uint64_t linesRead = 0, linesSkipped = 0;
        std::map<PcState, int> states;
        std::vector<Cause> causes;               // largest first
        std::vector<std::string> neverReported;  // sorted
        struct ComputerState {
            std::string name, outcome;  // as last spelled; its worst device's outcome
            PcState state;
            int64_t time;
        };
        std::vector<ComputerState> computers;   // in the order of their names in upper case
        std::vector<SkippedLine> firstSkipped;  // the first few
        std::map<std::string, int> doneByDay;   // "2026-12-10" (UTC): devices done that day
    };
    Summary Summarize() const;

  private:
    struct Latest {
        int64_t time;
        uint64_t order;  // later lines win a tie
        std::string device, outcome;
        int exitCode;
    };
    struct Computer {
        std::string spelling;  // of its latest record
        int64_t spellingTime = INT64_MIN;
        std::map<std::string, Latest> devices;
    };
    void Skip(size_t log, const char* reason);

    std::function<std::string(int)> codeOf_;
    std::map<std::string, Computer> computers_;  // by the name in upper case
    std::map<std::string, std::string> expected_;
    std::map<std::string, int> doneByDay_;
    uint64_t linesRead_ = 0, linesSkipped_ = 0, order_ = 0;
    size_t devices_ = 0;
    size_t currentLog_ = 0;
    uint64_t lineInLog_ = 0;
    std::vector<SkippedLine> firstSkipped_;
};

// The state the recipes give a device's exit code.
PcState StateOfExitCode(int exitCode);
// "2026-12-10T08:03:07+01:00" (or Z) into UTC seconds; false unless it is one.
bool ParseLogTime(std::string_view text, int64_t& utcSeconds);
// UTC seconds as "2026-12-10T07:03:07Z".
std::string UtcTimeText(int64_t utcSeconds);
// Text as a JSON string of ASCII: every other character as \u escapes.
std::string JsonUtf8String(std::string_view utf8);
// The summary as one JSON object (the fields of docs/deploying.md).
std::string ReportJson(const RolloutReport::Summary& summary);
// Text for HTML: & < > " ' as references, so that a name from a PC stays text.
std::string HtmlText(std::string_view utf8);
// The summary as one self-contained page: no script, nothing from outside.
std::string ReportHtml(const RolloutReport::Summary& summary);

}  // namespace cli
