// velto1cli update --log: one UTF-8 line per device per run, appended, with
// two runs sharing the file; a log that can't be written changes nothing of
// the update.
#include <gmock/gmock.h>

#include <regex>
#include <thread>
#include <vector>

#include "common/win32_owners.h"
#include "common/console_text.h"
#include "tests/cli/cli_fixture.h"
#include "velto1_build_info.h"

using clitest::CliTest;
using clitest::LogLine;
using clitest::Outcome;
using clitest::ReadLog;
using clitest::Velto1cli;
using velto1::Utf8Of;

namespace {

// The computer's or the user's name, as GetComputerNameW or GetUserNameW gives it.
std::string NameFrom(BOOL(WINAPI* get)(LPWSTR, LPDWORD)) {
    wchar_t name[257] = {};
    DWORD size = 257;
    EXPECT_TRUE(get(name, &size));
    return Utf8Of(name);
}

class CliLogTest : public CliTest {};

TEST_F(CliLogTest, TwoRunsAppendOneLineEachWithTimeComputerUserAndOutcome) {
    // A name beyond ASCII: the log holds it in UTF-8 whatever the code page.
    Add(Settings(L"a", L"USB 7450 Device Cam\u00E9ra"));
    // The log's last line was cut short (a disk full, another tool): the next
    // record still starts a line of its own.
    simtool::WriteFile(log, "cut short", 9);
    for (int run = 0; run < 2; ++run) {
        const Outcome outcome = Velto1cli(L"update --log \"" + log + L"\"");
        EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
    }
    const std::string text = clitest::FileText(log);
    ASSERT_EQ(text.rfind("cut short\r\n", 0), 0u) << text;
    const std::vector<LogLine> lines = clitest::ReadLogText(text.substr(11));
    ASSERT_EQ(lines.size(), 2u);
    const struct {
        const char* before;
        const char* after;
        const char* outcome;
    } expected[] = {{"0x85", "0x05", "updated"}, {"0x05", "-", "already updated"}};
    const std::regex iso8601(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(std::regex_match(lines[i].time, iso8601)) << lines[i].time;
        EXPECT_EQ(lines[i].computer, NameFrom(GetComputerNameW));
        EXPECT_EQ(lines[i].user, NameFrom(GetUserNameW));
        EXPECT_EQ(lines[i].device, "USB 7450 Device Cam\xC3\xA9ra");
        EXPECT_EQ(lines[i].before, expected[i].before);
        EXPECT_EQ(lines[i].after, expected[i].after);
        EXPECT_EQ(lines[i].outcome, expected[i].outcome);
        EXPECT_EQ(lines[i].exitCode, "0");
        EXPECT_EQ(lines[i].version, VELTO1_VERSION);
        EXPECT_EQ(lines[i].architecture, VELTO1_ARCH);
    }
}

// Two runs at once, each on its own device, share the file: both lines whole.
TEST_F(CliLogTest, TwoRunsAtOnceEachAppendAWholeLine) {
    Add(Settings(L"a", L"USB 7450 Device"));
    Add(Settings(L"b", L"Lab Camera"));
    Outcome first = {};
    Outcome second = {};
    std::thread other([&] { second = Velto1cli(L"update --name Lab --log \"" + log + L"\""); });
    first = Velto1cli(L"update --log \"" + log + L"\"");
    other.join();
    EXPECT_EQ(first.exitCode, 0) << first.output;
    EXPECT_EQ(second.exitCode, 0) << second.output;
    std::vector<std::string> devices;
    for (const LogLine& line : ReadLog(log)) {
        devices.push_back(line.device + " " + line.outcome);
    }
    EXPECT_THAT(devices,
                ::testing::UnorderedElementsAre("USB 7450 Device updated", "Lab Camera updated"));
}

// The update's outcome stands; stderr says the log was not written, naming
// it whole (a folder with a Japanese name that does not exist), and the exit
// code says so only where it would otherwise be 0.
TEST_F(CliLogTest, AnUnwritableLogChangesNothingOfTheUpdate) {
    const std::wstring missingFolder = clitest::TempPath(L"\u7121\u3044\\x.log");
    Add(Settings(L"a", L"USB 7450 Device"));
    EXPECT_TRUE(clitest::Prints(
        L"update --log \"" + missingFolder + L"\"", 3,
        "\"USB 7450 Device\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)\n"
        "velto1cli: could not write the log " +
            Utf8Of(missingFolder) + ": error 3\n"));
    EXPECT_EQ(OptionByte(L"a"), 0x05);

    // A log another program holds open without sharing; a failing device
    // keeps its own code.
    const velto1::UniqueHandle held(
        CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(held.Valid());
    ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
    const Outcome run = Velto1cli(L"update --log \"" + log + L"\"");
    EXPECT_EQ(run.exitCode, 11);
    EXPECT_THAT(run.output, ::testing::EndsWith("W001 device not found (exit code 11)\n"
                                                "velto1cli: could not write the log " +
                                                Utf8Of(log) + ": error 32\n"));
}

}  // namespace
