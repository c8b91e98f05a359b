// Recordings of driver calls, end to end with the real programs: a run with
// --record replayed through simdevctl add --replay gives the same output and
// exit code; a replay that differs is kept and listed; recordings that would
// not replay are refused; chipctl conformance against each simulated fault.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/ansi_text.h"
#include "common/module_folder.h"
#include "simdevice/chip/eeprom.h"
#include "tests/common/simtool_fixture.h"

using simtool::Chipctl;
using simtool::Outcome;
using simtool::Simdevctl;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

void WriteText(const std::wstring& path, const std::string& text) {
    simtool::WriteFile(path, text.data(), text.size());
}

Outcome Velto1cli(const std::wstring& arguments) {
    return simtool::Run(L"velto1cli.exe", arguments);
}

// "velto1cli update" or "chipctl info": the program beside the test and its
// arguments, between before and after.
Outcome RunCommand(const std::string& command, const std::wstring& before = L"",
                   const std::wstring& after = L"") {
    const size_t space = command.find(' ');
    const std::wstring program = velto1::WidenAnsi(command.substr(0, space));
    const std::wstring arguments =
        space == std::string::npos ? L"" : velto1::WidenAnsi(command.substr(space + 1));
    return simtool::Run(program + L".exe", before + arguments + after);
}

// The rest of each line of the text that begins with the prefix, without a
// carriage return that ends it.
std::vector<std::string> Fields(const std::string& text, const std::string& prefix) {
    std::vector<std::string> fields;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0) {
            fields.push_back(
                line.substr(prefix.size(), line.find_last_not_of('\r') + 1 - prefix.size()));
        }
    }
    return fields;
}

class RecordingTest : public simtool::FileDeviceTest {
  protected:
    RecordingTest() : FileDeviceTest(L"velto1-recording-test.bin") {}
    void SetUp() override {
        FileDeviceTest::SetUp();
        DeleteFileW(recording.c_str());
    }
    void TearDown() override {
        FileDeviceTest::TearDown();
        DeleteFileW(recording.c_str());
    }
    Outcome AddReplay(const std::wstring& file) {
        return Simdevctl(L"add cam --name \"USB 7450 Device\" --replay \"" + file + L"\"");
    }
    // The device's line in simdevctl's list.
    std::string Listed() { return Simdevctl(L"list").output; }

    const std::wstring recording = simtool::TempPath(L"velto1-recording-test.rec");
};

// The verdicts of a chipctl conformance run, in order; "latency" without one
// (it depends on the machine's load).
std::string Verdicts(const std::string& output) {
    std::istringstream lines(output);
    std::string verdicts;
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(':');
        const std::string head = line.substr(0, colon);
        if (head.rfind("PASS ", 0) == 0 || head.rfind("WARN ", 0) == 0 ||
            head.rfind("FAIL ", 0) == 0) {
            verdicts +=
                (verdicts.empty() ? "" : " ") + (head.substr(5) == "latency" ? "latency" : head);
        }
    }
    return verdicts;
}

// A run with --record, then the same command on a device that replays it.
struct RecordedRun {
    const char* command;    // "PROGRAM ARGUMENTS"
    bool recordAfter;       // --record after the arguments (velto1cli, conformance), else before
    const wchar_t* device;  // simdevctl add options of the recorded device
    BYTE marker;            // EEPROM byte 0x7A
    BYTE option;            // EEPROM byte 8
};

constexpr BYTE kMarker = 0x31, kFresh = 0x85, kUpdated = 0x05;

TEST_F(RecordingTest, AReplayedRunGivesTheRecordedOutputAndExitCode) {
    const RecordedRun rows[] = {
        // clang-format off
        {"velto1cli update", true, L"", kMarker, kFresh},
        {"velto1cli update", true, L"", kMarker, kUpdated},
        {"velto1cli check", true, L"", kMarker, kFresh},
        {"velto1cli update", true, L"", 0x00, kFresh},  // W002
        {"velto1cli update", true, L"--fail-i2c-write 1=0x80004005", kMarker, kFresh},
        {"velto1cli update", true, L"--short-read 1", kMarker, kFresh},
        {"chipctl info", false, L"", kMarker, kFresh},
        {"chipctl eeprom dump", false, L"", kMarker, kFresh},
        {"chipctl reg read 10 4", false, L"", kMarker, kFresh},
        {"chipctl i2c read --sub 7A A0 1", false, L"--fail-property 0x1008=0x80004005", kMarker, kFresh},
        {"chipctl conformance", true, L"--fail-property 0x1006=0x80004005", kMarker, kFresh},
        // clang-format on
    };
    for (const RecordedRun& row : rows) {
        SCOPED_TRACE(row.command + (" " + testing::PrintToString(std::wstring(row.device))));
        AddWithTool(row.device);
        const sim::EepromImage image = sim::EepromWith(
            {{sim::kMarkerOffset, row.marker}, {sim::kOptionByteOffset, row.option}});
        simtool::WriteFile(eeprom, image.data(), image.size());
        const std::wstring record = L"--record \"" + recording + L"\"";
        const Outcome recorded = row.recordAfter ? RunCommand(row.command, L"", L" " + record)
                                                 : RunCommand(row.command, record + L" ");
        ASSERT_THAT(simtool::FileText(recording), HasSubstr("\nend ")) << recorded.output;
        ASSERT_EQ(AddReplay(recording).exitCode, 0);
        const Outcome replayed = RunCommand(row.command);
        // Conformance tells the calls' latency, which differs from run to run.
        const auto shown = [&row](const Outcome& run) {
            return row.command == std::string("chipctl conformance") ? Verdicts(run.output)
                                                                     : run.output;
        };
        EXPECT_EQ(replayed.exitCode, recorded.exitCode);
        EXPECT_EQ(shown(replayed), shown(recorded));
        EXPECT_THAT(Listed(), Not(HasSubstr("replay-diverged")));
    }
}

// A check writes nothing, not even the GPIO step that begins the update: an
// update replayed from it diverges at that step and fails before any write.
TEST_F(RecordingTest, ACheckReplayedUnderUpdateDivergesAtTheGpioStepAndIsNeverUpdated) {
    AddWithTool();
    ASSERT_EQ(Velto1cli(L"check --record \"" + recording + L"\"").exitCode, 10);
    ASSERT_EQ(AddReplay(recording).exitCode, 0);
    const Outcome update = Velto1cli(L"update");
    EXPECT_EQ(update.exitCode, 21) << update.output;  // E001: the marker was not read
    EXPECT_THAT(update.output, Not(HasSubstr(": updated")));
    EXPECT_THAT(Listed(), HasSubstr("replay-diverged=\"call 5: expected Set id=0x0000100b "
                                    "sent=a0000000, came Set id=0x00001005 sent=01080000\""));
}

// velto1cli --log keeps each device's calls and writes them beside the log
// only when the device's outcome is a W or E code.
struct FlightRow {
    const wchar_t* device;  // simdevctl add options
    BYTE marker;
    bool written;
};

TEST_F(RecordingTest, TheFlightRecorderWritesOnlyOnAFailure) {
    const std::wstring folder = simtool::TempPath(L"velto1-flight-test");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring log = folder + L"\\update.log";
    auto recordings = [&folder] { return simtool::FilesMatching(folder + L"\\*.rec.txt"); };
    const FlightRow rows[] = {
        {L"", kMarker, false},
        {L"", 0x00, true},                                  // W002
        {L"--fail-i2c-write 1=0x80004005", kMarker, true},  // E003
    };
    for (const FlightRow& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.device)));
        for (const std::wstring& name : recordings()) {
            DeleteFileW((folder + L"\\" + name).c_str());
        }
        AddWithTool(row.device);
        const sim::EepromImage image = sim::EepromWith({{sim::kMarkerOffset, row.marker}});
        simtool::WriteFile(eeprom, image.data(), image.size());
        const Outcome original = Velto1cli(L"update --log \"" + log + L"\"");
        const std::vector<std::wstring> written = recordings();
        ASSERT_EQ(written.size(), row.written ? 1u : 0u);
        if (row.written) {
            EXPECT_EQ(written[0].rfind(L"velto1-", 0), 0u);
            EXPECT_NE(written[0].find(L"-USB_7450_Device-"), std::wstring::npos);
            const std::string text = simtool::FileText(folder + L"\\" + written[0]);
            EXPECT_THAT(text, HasSubstr("\ndevice USB 7450 Device\n"));
            // Replayed, the recording gives the same outcome.
            ASSERT_EQ(AddReplay(folder + L"\\" + written[0]).exitCode, 0);
            const Outcome replayed = Velto1cli(L"update");
            EXPECT_EQ(replayed.exitCode, original.exitCode);
            EXPECT_EQ(replayed.output, original.output);
        }
    }
    simtool::RemoveFolder(folder);
}

// Each recording of the corpus (tests/recordings/NAME.rec) replayed through
// the program and command that made it gives what NAME.expected says.
TEST_F(RecordingTest, TheCorpusReplaysAsExpected) {
    const std::wstring corpus = velto1::ModuleFolder() + L"recordings\\";
    const std::vector<std::wstring> names = simtool::FilesMatching(corpus + L"*.rec");
    ASSERT_FALSE(names.empty()) << "no recordings in the corpus";
    for (const std::wstring& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        // NAME.expected: "command PROGRAM ARGUMENTS", "exit CODE", then an
        // "output LINE" for each line the run prints.
        const std::string expected =
            simtool::FileText(corpus + name.substr(0, name.size() - 4) + L".expected");
        const std::vector<std::string> command = Fields(expected, "command "),
                                       exitCode = Fields(expected, "exit "),
                                       device = Fields(simtool::FileText(corpus + name), "device ");
        ASSERT_EQ(std::vector<size_t>({command.size(), exitCode.size(), device.size()}),
                  std::vector<size_t>(3, 1))
            << "a command, an exit code, a device";
        std::string output;
        for (const std::string& line : Fields(expected, "output ")) {
            output += line + "\n";
        }
        const Outcome add = Simdevctl(L"add cam --name \"" + velto1::WidenAnsi(device[0]) +
                                      L"\" --replay \"" + corpus + name + L"\"");
        ASSERT_EQ(add.exitCode, 0) << add.output;
        const Outcome run = RunCommand(command[0]);
        EXPECT_EQ(run.exitCode, std::stoi(exitCode[0]));
        EXPECT_EQ(run.output, output);
        EXPECT_THAT(Listed(), Not(HasSubstr("replay-diverged")));
    }
}

TEST_F(RecordingTest, AnotherCommandDivergesAndTheDeviceKeepsTheFirstDivergence) {
    AddWithTool();
    ASSERT_EQ(Chipctl(L"--record \"" + recording + L"\" info").exitCode, 0);
    ASSERT_EQ(AddReplay(recording).exitCode, 0);
    // After the binding's four reads, info reads the chip id where the dump
    // reads the EEPROM's first 0x40 bytes.
    const Outcome dump = Chipctl(L"eeprom dump");
    EXPECT_EQ(dump.exitCode, 1) << dump.output;
    EXPECT_THAT(dump.output, HasSubstr("0x80040E25"));
    const char kDivergence[] =
        "replay-diverged=\"call 5: expected Get id=0x0000101c, came Set id=0x00001007 "
        "sent=4000a001\"";
    EXPECT_THAT(Listed(), HasSubstr(kDivergence));
    Chipctl(L"info");  // a later run diverges elsewhere; the first divergence stays
    EXPECT_THAT(Listed(), HasSubstr(kDivergence));
}

// A recording that would not replay: refused with its line and reason, and
// no device is registered.
struct RefusedRecording {
    std::string text;
    std::string reason;
};

std::string Repeated(const std::string& text, size_t times) {
    std::string repeated;
    for (size_t i = 0; i < times; ++i) {
        repeated += text;
    }
    return repeated;
}

constexpr char kHeader[] =
    "velto1-recording 1\nprogram chipctl 1.0.0 x64\ndevice USB 7450 Device\n"
    "found-by name\ndate 2026-12-08T09:00:00Z\nwindows 10.0.19045\n";
constexpr char kCall[] = "call 1 Get id=0x0000103b returned=02000000 status=0x00000000 us=6\n";

TEST_F(RecordingTest, ARecordingThatWouldNotReplayIsRefusedWithItsLine) {
    const std::string header = kHeader, call = kCall;
    const RefusedRecording rows[] = {
        // clang-format off
        {"", "line 1: not a recording: the first line is not \"velto1-recording VERSION\""},
        {"velto1-recording 2\n", "line 1: format version \"2\"; this program reads version 1"},
        {"velto1-recording 1\nprogram chipctl 1.0.0 x64\n", "line 2: the recording ends inside its header"},
        {"velto1-recording 1\ndevice USB 7450 Device\n", "line 2: expected the header line \"program ...\""},
        {(header + call).c_str(), "line 7: the recording is cut short: no end line"},
        {(header + call + "end 2\n").c_str(), "line 8: the end line does not count the 1 calls"},
        {(header + "call 1 Get id=banana\nend 1\n").c_str(), "line 7: Get takes 4 fields, the line has 1"},
        {(header + "call 1 Poke id=0x00001000 status=0x00000000 us=1\nend 1\n").c_str(), "line 7: unknown slot \"Poke\""},
        {(header + "call 2 Get id=0x0000103b returned=02 status=0x00000000 us=1\nend 1\n").c_str(), "line 7: expected call 1"},
        {(header + "call 1 Get id=0x0000103b returned=0200000000000000 status=0x00000000 us=1\nend 1\n").c_str(), "line 7: Get returned 8 bytes where the selection moves 4"},
        {(header + "call 1 Get id=0x00001008 returned=31 status=0x00000000 us=1\nend 1\n").c_str(), "line 7: Get returned 1 bytes where the selection moves 0"},
        {(header + call + "end 1\nmore\n").c_str(), "line 9: text after the end line"},
        // A long field is quoted by its first 40 characters; every limit is told.
        {header + "call 1 Get id=0x0000103b returned=" + std::string(2 * 0xFFFF + 2, 'a') + " status=0x00000000 us=1\nend 1\n", "line 7: unreadable returned \"" + std::string(40, 'a') + "...\": lower-case hexadecimal byte pairs, at most 65535 bytes, \"-\" or \"null\""},
        {header + "call 1 Get id=0x0000103b returned=02000000 status=0x00000000 us=60000001\nend 1\n", "line 7: unreadable us \"60000001\": a decimal number of microseconds up to 60000000"},
        {header + "call 1 Get id=0x103b returned=02000000 status=0x00000000 us=1\nend 1\n", "line 7: unreadable id \"0x103b\": 0x and eight lower-case hexadecimal digits"},
        // Bytes beyond ASCII are shown as the UTF-8 they are, cut between characters.
        {header + "call 1 P\xC3\xB6ke id=0x00001000 status=0x00000000 us=1\nend 1\n", "line 7: unknown slot \"P\xC3\xB6ke\""},
        {header + "call 1 " + Repeated("\xE6\x98\xA0", 100) + " id=0x0\nend 1\n", "line 7: unknown slot \"" + Repeated("\xE6\x98\xA0", 40) + "...\""},
        // A file of the largest size, refused at its first line without being held whole.
        {std::string(64 << 20, '\n'), "line 1: not a recording: the first line is not \"velto1-recording VERSION\""},
        {header + std::string(1 << 20, 'c'), "line 7: a line longer than any call's (262396 bytes)"},
        {"velto1-recording \x01" + std::string(1000, '9') + "\n", "line 1: format version \"?" + std::string(39, '9') + "...\"; this program reads version 1"},
        // clang-format on
    };
    for (const RefusedRecording& row : rows) {
        SCOPED_TRACE(row.reason.substr(0, 100));
        WriteText(recording, row.text);
        const Outcome add = AddReplay(recording);
        simtool::ExpectRefused(add, "simdevctl: --replay");
        EXPECT_THAT(add.output, HasSubstr("refused: " + row.reason + " ("));
        EXPECT_LT(add.output.size(), 500u);
        EXPECT_EQ(Listed(), "");
    }
}

// What an editor may leave in a recording is read as the recording: a
// byte-order mark, blanks and carriage returns at the ends of lines.
TEST_F(RecordingTest, ARecordingWithAnEditorsMarksIsAccepted) {
    const std::string header = kHeader, call = kCall;
    const struct {
        const char* what;
        std::string text;
    } rows[] = {
        {"a byte-order mark", "\xEF\xBB\xBF" + header + call + "end 1\n"},
        {"blanks ending the lines",
         "velto1-recording 1 \r\nprogram chipctl 1.0.0 x64\ndevice USB 7450 Device\t\n"
         "found-by name\ndate 2026-12-08T09:00:00Z\r\nwindows 10.0.19045 \n" +
             call.substr(0, call.size() - 1) + " \t\r\nend 1 \n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        WriteText(recording, row.text);
        const Outcome add = AddReplay(recording);
        EXPECT_EQ(add.exitCode, 0) << add.output;
        EXPECT_THAT(Listed(), HasSubstr("replay"));
    }
}

// chipctl conformance on a device with one fault: each check's verdict, in
// order ("latency" without one: it depends on the machine's load).
struct ConformanceRow {
    const wchar_t* device;  // simdevctl add options
    int exitCode;
    const char* verdicts;
};

TEST_F(RecordingTest, TheConformanceCheckReportsEachFaultAndNothingOnAHealthyDevice) {
    const ConformanceRow rows[] = {
        // clang-format off
        {L"", 0, "PASS ids PASS gpio PASS i2c-layouts PASS get-count PASS selection-kept PASS properties latency"},
        {L"--fail-property 0x1006=0x80004005", 1, "PASS ids FAIL gpio PASS i2c-layouts PASS get-count PASS selection-kept PASS properties latency"},  // register data: the GPIO register
        {L"--unplug-from 8", 1, "PASS ids FAIL gpio"},
        {L"--fail-bind 0x80004005", 1, "FAIL bind"},
        {L"--fail-property 0x1008=0", 1, "FAIL ids PASS gpio FAIL i2c-layouts FAIL get-count FAIL selection-kept PASS properties latency"},  // I2C data: answers 0 without acting
        {L"--foreign-selection 0x1008=0x01A01008", 1, "PASS ids PASS gpio FAIL i2c-layouts FAIL get-count FAIL selection-kept PASS properties latency"},
        // clang-format on
    };
    for (const ConformanceRow& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.device)));
        AddWithTool(row.device);
        const sim::EepromImage before = Bytes();
        const Outcome run = Chipctl(L"conformance");
        EXPECT_EQ(run.exitCode, row.exitCode) << run.output;
        EXPECT_EQ(Verdicts(run.output), row.verdicts) << run.output;
        EXPECT_EQ(Bytes(), before) << "the check wrote the EEPROM";
    }
}

TEST_F(RecordingTest, ARecordingThatCannotBeWrittenChangesNoOutcome) {
    AddWithTool();
    const Outcome plain = Chipctl(L"info");
    const Outcome recorded =
        Chipctl(L"--record \"" + simtool::TempPath(L"no-such-folder\\x.rec") + L"\" info");
    EXPECT_EQ(recorded.exitCode, plain.exitCode);
    EXPECT_THAT(recorded.output, HasSubstr(plain.output));
    EXPECT_THAT(recorded.output, HasSubstr("chipctl: could not write the recording "));
}

}  // namespace
