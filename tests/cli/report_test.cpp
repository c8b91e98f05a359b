// velto1cli report on the logs of a roll-out: a generated one, whose every
// computer's latest state and cause the generator knows, and logs with the
// lines a real share collects (cut, foreign, not UTF-8, overlong).
#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/cli/cli_fixture.h"

using clitest::Outcome;
using clitest::Velto1cli;

namespace {

struct LogOutcome {
    const char* text;
    int exitCode;
    const char* code;  // null: none
};
// clang-format off
const LogOutcome kOutcomes[] = {
    {"updated", 0, nullptr},
    {"already updated", 0, nullptr},
    {"W001 device not found", 11, "W001"},
    {"W002 not a supported product (marker 0x30)", 12, "W002"},
    {"W001 device not opened: its driver interface could not be bound, status 0x80004002", 13, "W001"},
    {"busy: another program held the device longer than 10 s, status 0x800705B4; nothing was sent", 20, "E001"},
    {"E003 writing the option byte failed, status 0x80070005", 23, "E003"},
};
// clang-format on

std::string Time(int day, int minute, int offsetHours) {
    char text[40];
    std::snprintf(text, sizeof text, "2026-11-%02dT%02d:%02d:00%c%02d:00", day, minute / 60,
                  minute % 60, offsetHours < 0 ? '-' : '+', std::abs(offsetHours));
    return text;
}

std::string Line(const std::string& time, const std::string& computer, const LogOutcome& o,
                 const std::string& device = "USB 7450 Device") {
    return time + "\t" + computer + "\tSYSTEM\t" + device + "\t0x85\t-\t" + o.text + "\t" +
           std::to_string(o.exitCode) + "\t1.0.0\tx86\r\n";
}

// count records of PC-2, each of another device.
std::string ManyDevices(int count) {
    std::string lines;
    for (int i = 0; i < count; ++i) {
        lines += Line(Time(2, 600, 0), "PC-2", kOutcomes[0], "D" + std::to_string(i));
    }
    return lines;
}

void Write(const std::wstring& path, const std::string& bytes) {
    std::ofstream(path.c_str(), std::ios::binary) << bytes;
}

// 3,000 computers over 20 days, each in its own time zone, one device each:
// a run a day on a random day set, the latest of which (by UTC) the generator
// keeps; 200 computers of the inventory never run. Some lines are foreign,
// cut or spelled in another case.
TEST(ReportTest, AGeneratedRollOutGivesTheStatesAndCausesTheGeneratorKnows) {
    std::mt19937 random(20261209);
    std::string log, older;
    std::map<std::string, const LogOutcome*> latest;  // by computer
    std::string inventory = "Device name,Operating system\r\n";
    int foreign = 0;
    for (int pc = 0; pc < 3000; ++pc) {
        const std::string name = "PC-" + std::to_string(10000 + pc);
        const int offset = static_cast<int>(random() % 25) - 12;
        inventory += name + ",Windows\r\n";
        for (int day = 1; day <= 20; ++day) {
            if (random() % 3 != 0) {
                continue;
            }
            const LogOutcome& outcome = kOutcomes[random() % std::size(kOutcomes)];
            // The same computer in another case now and then: one computer.
            const std::string spelled = random() % 10 == 0 ? "pc-" + name.substr(3) : name;
            // A day's runs go to the old copy of the log before day 10.
            (day < 10 ? older : log) += Line(Time(day, 600, offset), spelled, outcome);
            latest[name] = &outcome;
            if (random() % 50 == 0) {
                log += "a line of another tool\r\n";
                ++foreign;
            }
        }
    }
    for (int pc = 0; pc < 200; ++pc) {
        inventory += "NEVER-" + std::to_string(pc) + ",Windows\r\n";
    }
    log += Line(Time(20, 601, 0), "PC-CUT", kOutcomes[0]).substr(0, 30);  // cut short, no end
    ++foreign;

    std::map<std::string, int> states;
    std::map<std::pair<int, std::string>, std::set<std::string>> causes;
    for (const auto& [name, outcome] : latest) {
        const int code = outcome->exitCode;
        states[code == 0 ? "done" : code == 11 || code == 12 ? "nothingToDo" : "attention"]++;
        if (code != 0 && code != 11 && code != 12) {
            causes[{code, outcome->text}].insert(name);
        }
    }
    const std::wstring logPath = clitest::TempPath(L"velto1-report.log");
    const std::wstring olderPath = clitest::TempPath(L"velto1-report-old.log");
    const std::wstring inventoryPath = clitest::TempPath(L"velto1-inventory.csv");
    Write(logPath, log);
    Write(olderPath, older);
    Write(inventoryPath, inventory);
    // A flight recording beside the logs, of a computer whose latest run failed with E003.
    const std::string failed = *causes[{23, kOutcomes[6].text}].begin();
    const std::wstring recording = clitest::TempPath(
        (L"velto1-" + std::wstring(failed.begin(), failed.end()) + L"-USB_7450_Device-23.rec.txt")
            .c_str());
    Write(recording, "velto1-recording 1\n");
    const Outcome run = Velto1cli(L"report --json --expect \"" + inventoryPath + L"\" \"" +
                                  logPath + L"\" \"" + olderPath + L"\"");
    EXPECT_EQ(run.exitCode, 30);
    const nlohmann::json report = nlohmann::json::parse(run.output);
    EXPECT_EQ(report["states"]["done"], states["done"]);
    EXPECT_EQ(report["states"]["nothingToDo"], states["nothingToDo"]);
    EXPECT_EQ(report["states"]["attention"], states["attention"]);
    // The 200, and any computer whose every day the generator skipped.
    EXPECT_EQ(report["states"]["neverReported"], 200 + 3000 - latest.size());
    EXPECT_EQ(report["linesSkipped"], foreign);
    ASSERT_EQ(report["causes"].size(), causes.size());
    size_t previous = SIZE_MAX;
    for (const nlohmann::json& cause : report["causes"]) {
        const auto& names = causes[{cause["exitCode"], cause["outcome"]}];
        EXPECT_EQ(cause["computers"], names.size()) << cause["outcome"];
        std::set<std::string> reported;
        for (const auto& name : cause["names"]) {
            // A computer is shown as its latest line spells it.
            std::string upper = name;
            upper.replace(0, 2, "PC");
            reported.insert(upper);
        }
        EXPECT_EQ(reported, names) << cause["outcome"];
        EXPECT_LE(cause["computers"].get<size_t>(), previous) << "the largest cause first";
        previous = cause["computers"];
        const LogOutcome* row = nullptr;
        for (const LogOutcome& o : kOutcomes) {
            row = o.text == cause["outcome"] ? &o : row;
        }
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(cause["code"], row->code ? nlohmann::json(row->code) : nlohmann::json());
        const size_t recordings = cause["recordings"].size();
        EXPECT_EQ(recordings, row->exitCode == 23 ? 1u : 0u) << cause["outcome"];
        if (recordings == 1) {
            EXPECT_THAT(cause["recordings"][0].get<std::string>(),
                        testing::EndsWith("velto1-" + failed + "-USB_7450_Device-23.rec.txt"));
        }
    }
    for (const std::wstring& path : {logPath, olderPath, inventoryPath, recording}) {
        DeleteFileW(path.c_str());
    }
}

// Lines a shared log collects, each alone in a log after one sound record:
// the sound record is always counted, the others skipped or read as they say.
TEST(ReportTest, BadLinesAreCountedAndTheSoundOnesStillCount) {
    const std::string sound = Line(Time(1, 600, 1), "PC-1", kOutcomes[0]);
    const struct {
        const char* what;
        std::string bytes;  // after the sound record
        int skipped;
        int computers;
    } rows[] = {
        // clang-format off
        {"nothing more", "", 0, 1},
        {"too few fields", "2026-11-02T10:00:00Z\tPC-2\tSYSTEM\r\n", 1, 1},
        {"a control character", Line(Time(2, 600, 0), "PC-\x01" "2", kOutcomes[0]), 1, 1},
        {"a date that does not parse", Line("2026-13-45T99:00:00Z", "PC-2", kOutcomes[0]), 1, 1},
        {"a zone that does not parse", Line("2026-11-02T10:00:00+25:00", "PC-2", kOutcomes[0]), 1, 1},
        {"not UTF-8", Line(Time(2, 600, 0), "PC-\xFF\xFE", kOutcomes[0]), 1, 1},
        {"an overlong line", std::string(100000, 'x') + "\r\n", 1, 1},
        {"LF line ends", "2026-11-02T10:00:00Z\tPC-2\tSYSTEM\t-\t-\t-\tW001 device not found\t11\n", 0, 2},
        {"the first version's eight fields", "2026-11-02T10:00:00Z\tPC-2\tSYSTEM\t-\t-\t-\tW001 device not found\t11\r\n", 0, 2},
        {"another spelling of the same computer", Line(Time(2, 600, 0), "pc-1", kOutcomes[0]), 0, 1},
        {"blank lines", "\r\n\r\n", 0, 1},
        {"a computer name longer than a PC's", Line(Time(2, 600, 0), std::string(64, 'P'), kOutcomes[0]), 1, 1},
        {"more devices than a roll-out holds", ManyDevices(100000), 1, 2},
        // clang-format on
    };
    const std::wstring path = clitest::TempPath(L"velto1-report-bad.log");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Write(path, sound + row.bytes);
        const Outcome run = Velto1cli(L"report --json \"" + path + L"\"");
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const nlohmann::json report = nlohmann::json::parse(run.output);
        EXPECT_EQ(report["linesSkipped"], row.skipped);
        EXPECT_EQ(report["states"]["done"].get<int>() + report["states"]["nothingToDo"].get<int>(),
                  row.computers);
    }
    // An empty log is read (nothing in it); a log that can't be read is said
    // and has its code, and the other logs are read all the same.
    Write(path, "");
    EXPECT_EQ(Velto1cli(L"report \"" + path + L"\"").exitCode, 0);
    Write(path, sound);
    const Outcome missing = Velto1cli(L"report --json \"" + path + L"\" \"" + path + L".missing\"");
    EXPECT_EQ(missing.exitCode, 31);
    EXPECT_THAT(missing.output, testing::HasSubstr("could not read"));
    EXPECT_THAT(missing.output, testing::HasSubstr("\"done\":1"));
    DeleteFileW(path.c_str());
}

}  // namespace
