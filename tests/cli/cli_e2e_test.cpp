// velto1cli end to end: each outcome's line and exit code, check leaving the
// EEPROM as it was, --all over several devices, and refused command lines;
// every run with no X display.
#include <gmock/gmock.h>

#include <functional>
#include <vector>

#include "appcore/outcome_table.h"
#include "devctl/custom_property.h"
#include "tests/cli/cli_fixture.h"

using clitest::CliTest;
using clitest::Outcome;
using clitest::Velto1cli;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

constexpr BYTE kFresh = 0x85;    // the fresh product's option byte
constexpr BYTE kUpdated = 0x05;  // after the update

// One update run on device "a" ("USB 7450 Device"), set up by arrange.
struct OutcomeRow {
    std::function<void(sim::DeviceSettings&)> arrange;  // null: no device at all
    BYTE marker;                                        // EEPROM byte 0x7A before
    BYTE option;                                        // EEPROM byte 8 before
    int exitCode;
    const char* output;
    BYTE optionAfter;
};

class CliOutcomeTest : public CliTest {
  protected:
    void ExpectRuns(const std::vector<OutcomeRow>& rows) {
        for (const OutcomeRow& row : rows) {
            SCOPED_TRACE(row.output);
            ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
            if (row.arrange) {
                sim::DeviceSettings settings =
                    Settings(L"a", L"USB 7450 Device",
                             sim::EepromWith({{sim::kMarkerOffset, row.marker},
                                              {sim::kOptionByteOffset, row.option}}));
                row.arrange(settings);
                Add(settings);
            }
            const Outcome run = Velto1cli(L"update");
            EXPECT_EQ(run.exitCode, row.exitCode) << run.output;
            EXPECT_EQ(run.output, row.output);
            if (row.arrange) {
                EXPECT_EQ(OptionByte(L"a"), row.optionAfter);
            }
        }
    }
};

const auto kAsIs = [](sim::DeviceSettings&) {};

// clang-format off
TEST_F(CliOutcomeTest, EachWarningAndSuccessHasItsLineAndCode) {
    ExpectRuns({
        {nullptr, 0x31, kFresh, 11, "no device found by \"USB 7450 Device\" or a known model: W001 device not found (exit code 11)\n", kFresh},
        {[](sim::DeviceSettings& s) { s.offersCustomProperty = false; }, 0x31, kFresh, 13, "\"USB 7450 Device\" found by name, option byte not read: W001 device not opened: its driver interface could not be bound, status 0x80004002 (exit code 13)\n", kFresh},
        {kAsIs, 0x30, kFresh, 12, "\"USB 7450 Device\" found by name, option byte not read: W002 not a supported product (marker 0x30) (exit code 12)\n", kFresh},
        {kAsIs, 0x31, kFresh, 0, "\"USB 7450 Device\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)\n", kUpdated},
        {kAsIs, 0x31, 0x7F, 0, "\"USB 7450 Device\" found by name, option byte 0x7F: already updated (exit code 0)\n", 0x7F},
    });
}

TEST_F(CliOutcomeTest, EachFailingStepHasItsECodeAndLeavesTheOptionByte) {
    ExpectRuns({
        {[](sim::DeviceSettings& s) { s.failOnProperty[CPROP_I2C_DATA] = E_FAIL; }, 0x31, kFresh, 21, "\"USB 7450 Device\" found by name, option byte not read: E001 reading the product marker failed, status 0x80004005 (exit code 21)\n", kFresh},
        {[](sim::DeviceSettings& s) { s.failAtCall[clitest::kOptionRead] = E_FAIL; }, 0x31, kFresh, 22, "\"USB 7450 Device\" found by name, option byte not read: E002 reading the option byte failed, status 0x80004005 (exit code 22)\n", kFresh},
        {[](sim::DeviceSettings& s) { s.failOnI2cWrite[1] = E_ACCESSDENIED; }, 0x31, kFresh, 23, "\"USB 7450 Device\" found by name, option byte 0x85: E003 writing the option byte failed, status 0x80070005 (exit code 23)\n", kFresh},
        // Unplugged before the write: the next run finds bit 7 still set.
        {[](sim::DeviceSettings& s) { s.unplugFromCall = clitest::kOptionWrite; }, 0x31, kFresh, 23, "\"USB 7450 Device\" found by name, option byte 0x85: E003 writing the option byte failed, status 0x80070001 (exit code 23)\n", kFresh},
        {[](sim::DeviceSettings& s) { s.failAtCall[clitest::kReadBack] = E_FAIL; }, 0x31, kFresh, 24, "\"USB 7450 Device\" found by name, option byte 0x85: E004 reading the option byte back failed, status 0x80004005 (exit code 24)\n", kUpdated},
        // A write that answers success and does nothing.
        {[](sim::DeviceSettings& s) { s.failOnI2cWrite[1] = S_OK; }, 0x31, kFresh, 25, "\"USB 7450 Device\" found by name, option byte 0x85 -> 0x85: E005 bit 7 still set after the write (exit code 25)\n", kFresh},
    });
}
// clang-format on

// check reads and never writes: the EEPROM file keeps every byte, before the
// update and after it.
TEST_F(CliTest, CheckLeavesTheEepromAsItWasAndTellsWhetherTheUpdateIsNeeded) {
    Add(Settings(L"a", L"USB 7450 Device"));
    const sim::EepromImage fresh = simtool::FileBytes(Eeprom(L"a"));
    const struct {
        const wchar_t* command;
        int exitCode;
        const char* output;
    } runs[] = {
        // clang-format off
        {L"check", 10, "\"USB 7450 Device\" found by name, option byte 0x85: update needed (exit code 10)\n"},
        {L"check", 10, "\"USB 7450 Device\" found by name, option byte 0x85: update needed (exit code 10)\n"},
        {L"update", 0, "\"USB 7450 Device\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)\n"},
        {L"check", 0, "\"USB 7450 Device\" found by name, option byte 0x05: already updated (exit code 0)\n"},
        // clang-format on
    };
    sim::EepromImage expected = fresh;
    for (const auto& run : runs) {
        EXPECT_TRUE(clitest::Prints(run.command, run.exitCode, run.output));
        if (std::wstring(run.command) == L"update") {
            expected[sim::kOptionByteOffset] = kUpdated;
        }
        EXPECT_EQ(simtool::FileBytes(Eeprom(L"a")), expected) << "after " << run.output;
    }
}

// --all: a device found by the wanted name and one of a known model in the
// other capture category are both updated, a plain webcam is not touched;
// a second run finds both updated. Without --all only the first is used.
TEST_F(CliTest, AllUpdatesEveryDeviceAndASecondRunFindsThemUpdated) {
    sim::DeviceSettings bda = Settings(L"b", L"USB 5170 Device");
    bda.category = sim::DeviceCategory::BdaReceiver;
    Add(bda);
    Add(Settings(L"a", L"USB 7450 Device"));
    Add(simbench::Device(L"webcam", L"Plain Webcam"));

    const Outcome first = Velto1cli(L"update");
    EXPECT_EQ(first.exitCode, 0) << first.output;
    EXPECT_EQ(OptionByte(L"a"), kUpdated);
    EXPECT_EQ(OptionByte(L"b"), kFresh) << "without --all only the first device";

    // clang-format off
    EXPECT_TRUE(clitest::Prints(L"update --all", 0, "\"USB 7450 Device\" found by name, option byte 0x05: already updated (exit code 0)\n\"USB 5170 Device\" found by a known model, option byte 0x85 -> 0x05: updated (exit code 0)\n"));
    EXPECT_TRUE(clitest::Prints(L"check --all", 0, "\"USB 7450 Device\" found by name, option byte 0x05: already updated (exit code 0)\n\"USB 5170 Device\" found by a known model, option byte 0x05: already updated (exit code 0)\n"));
    // clang-format on
}

// A device failing in the middle of --all does not stop the others, and its
// code is the run's; check --all tells the worst too.
TEST_F(CliTest, OneFailingDeviceGivesTheWorstCodeAndTheOtherIsStillUpdated) {
    sim::DeviceSettings failing = Settings(L"a", L"USB 7450 Device");
    failing.failOnI2cWrite[1] = E_ACCESSDENIED;
    Add(failing);
    Add(Settings(L"b", L"USB 7451 Device"));
    Add(Settings(L"c-other", L"USB 6240 Device", sim::EepromWith({{sim::kMarkerOffset, 0x30}})));

    const Outcome check = Velto1cli(L"check --all");
    EXPECT_EQ(check.exitCode, 12) << check.output;  // W002 outweighs "update needed"

    EXPECT_TRUE(clitest::Prints(
        L"update --all", 23,
        "\"USB 7450 Device\" found by name, option byte 0x85: E003 writing the option byte failed, "
        "status 0x80070005 (exit code 23)\n\"USB 6240 Device\" found by a known model, option byte "
        "not read: W002 not a supported product (marker 0x30) (exit code 12)\n\"USB 7451 Device\" "
        "found by a known model, option byte 0x85 -> 0x05: updated (exit code 0)\n"));
    EXPECT_EQ(OptionByte(L"a"), kFresh);
    EXPECT_EQ(OptionByte(L"b"), kUpdated);
}

// --name searches as the updater does: the name first, then the known models.
TEST_F(CliTest, NameIsSearchedBeforeTheKnownModels) {
    Add(Settings(L"a", L"USB 7450 Device"));
    Add(Settings(L"b", L"Lab Camera 2"));
    // clang-format off
    EXPECT_TRUE(clitest::Prints(L"check --name \"Lab Camera\"", 10, "\"Lab Camera 2\" found by name, option byte 0x85: update needed (exit code 10)\n"));
    EXPECT_TRUE(clitest::Prints(L"check --name Studio", 10, "\"USB 7450 Device\" found by a known model, option byte 0x85: update needed (exit code 10)\n"));
    // clang-format on
}

// A refused command line: one line, exit code 2, and no device touched (the
// device is one that would fail every driver call).
TEST_F(CliTest, RefusedCommandLinesTouchNoDevice) {
    sim::DeviceSettings settings = Settings(L"a", L"USB 7450 Device");
    settings.unplugFromCall = 1;
    Add(settings);
    const sim::EepromImage before = simtool::FileBytes(Eeprom(L"a"));
    const struct {
        const wchar_t* arguments;
        const char* output;
    } rows[] = {
        {L"", "velto1cli: no command"},
        {L"install", "velto1cli: unknown command \"install\""},
        {L"update --force", "velto1cli: unknown option \"--force\""},
        {L"update /S", "velto1cli: unknown command \"/S\""},
        {L"update check", "velto1cli: one command at a time, not also \"check\""},
        {L"update --name", "velto1cli: --name needs a value"},
        {L"update --log", "velto1cli: --log needs a value"},
        {L"update --all --all", "velto1cli: --all is given twice"},
        {L"update --name a --name b", "velto1cli: --name is given twice"},
        // clang-format off
        {L"check --log x.log", "velto1cli: --log is for update only: check writes nothing to the device"},
        {L"help --all", "velto1cli: help takes no options"},
        {L"report", "velto1cli: report needs a log to read"},
        {L"report --all x.log", "velto1cli: report takes --expect FILE, --json and --html FILE, and its logs"},
        // clang-format on
        {L"check --expect x.csv", "velto1cli: --expect is for report only"},
        // A .cmd whose %LOGFILE% is unset; a name that would match every device.
        {L"update --log --all", "velto1cli: --log needs a value, not \"--all\""},
        {L"check --name \"\"", "velto1cli: --name needs a value, not \"\""},
        {L"update --name --log x.log", "velto1cli: --name needs a value, not \"--log\""},
    };
    for (const auto& row : rows) {
        simtool::ExpectRefused(Velto1cli(row.arguments),
                               std::string(row.output) + " (velto1cli help shows the usage)");
    }
    EXPECT_EQ(simtool::FileBytes(Eeprom(L"a")), before);

    const Outcome help = Velto1cli(L"help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.output, StartsWith("usage: velto1cli update [--all] [--name NAME] [--log "
                                        "FILE] [--json] [--record FILE]\n"));
    for (const OutcomeDescription& row : kOutcomeTable) {
        EXPECT_THAT(help.output, HasSubstr(std::string(row.exitCode < 10 ? "   " : "  ") +
                                           std::to_string(row.exitCode) + "  " + row.text + "\n"));
    }
}

}  // namespace
