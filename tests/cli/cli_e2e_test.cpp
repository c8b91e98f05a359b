// velto1cli end to end on every kind of PC a roll-out meets: check, detect
// and update each with its lines and exit code, check and detect writing
// nothing; --all over several devices, and refused command lines; every run
// with no X display.
#include <gmock/gmock.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "appcore/outcome_table.h"
#include "devctl/custom_property.h"
#include "tests/cli/cli_fixture.h"
#include "tests/cli/other_bitness_device.h"

using clitest::CliTest;
using clitest::kAsIs;
using clitest::Prints;
using clitest::Velto1cli;
using ::testing::HasSubstr;

namespace {

constexpr BYTE kFresh = 0x85;    // the fresh product's option byte
constexpr BYTE kUpdated = 0x05;  // after the update
const std::string kOtherBuild = sizeof(void*) == 8 ? "x86" : "x64";
constexpr char kNeeded[] =
    "\"USB 7450 Device\" found by name, option byte 0x85: update needed (exit code 10)\n";

// A PC as device "a" ("USB 7450 Device") makes it, and update's verdict there.
struct Pc {
    clitest::Tweak device;  // null: none (but the other build's, where exitCode is 14)
    BYTE marker, option;    // EEPROM bytes 0x7A and 8 before
    int checkExitCode;      // 10: check prints kNeeded; else update's output
    int exitCode;           // update's, and what it prints
    std::string output;
    BYTE optionAfter;
};

// The recording's first data write (register, alternate register or I2C
// data); empty when there is none.
std::string DataWrite(const std::string& recording) {
    std::smatch write;
    std::regex_search(recording, write, std::regex("Set id=0x0000(1006|102a|1008)[^\n]*"));
    return write.str();
}

class CliPcTest : public CliTest {
  protected:
    // check, detect, then update on each PC. Neither check nor detect writes
    // to the device, not even the GPIO register (check's recording holds no
    // data write); detect's exit code is 0, and its stdout is check's lines
    // without their exit codes where nothing waits, else empty.
    void ExpectPcs(const std::vector<Pc>& pcs) {
        const std::wstring recording = clitest::TempPath(L"velto1cli-check-test.rec");
        for (const Pc& pc : pcs) {
            SCOPED_TRACE(pc.output);
            ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
            std::optional<clitest::OtherBitnessDevice> other;
            if (pc.exitCode == 14) {
                other.emplace();
            }
            if (pc.device) {
                AddProduct(pc.marker, pc.option, pc.device);
            }
            const auto eeprom = [&] {  // device "a"'s; all zeros without it
                return pc.device ? simtool::FileBytes(Eeprom(L"a")) : sim::EepromImage{};
            };
            sim::EepromImage expected = eeprom();
            const std::string checked = pc.checkExitCode == 10 ? kNeeded : pc.output;
            DeleteFileW(recording.c_str());
            EXPECT_TRUE(
                Prints(L"check --record \"" + recording + L"\"", pc.checkExitCode, checked));
            EXPECT_EQ(DataWrite(clitest::FileText(recording)), "");
            const int code = pc.checkExitCode;
            const bool nothingWaits = code == 0 || code == 11 || code == 12;
            EXPECT_TRUE(
                Prints(L"detect", 0,
                       nothingWaits ? checked.substr(0, checked.rfind(" (exit code")) + "\n" : ""));
            EXPECT_EQ(eeprom(), expected);
            EXPECT_TRUE(Prints(L"update", pc.exitCode, pc.output));
            expected[sim::kOptionByteOffset] = pc.optionAfter;
            EXPECT_EQ(eeprom(), expected) << "update writes the option byte and nothing else";
        }
        DeleteFileW(recording.c_str());
    }
};

// clang-format off
TEST_F(CliPcTest, EachWarningAndSuccessHasItsLinesAndCodes) {
    ExpectPcs({
        {nullptr, 0, 0, 11, 11, "no device found by \"USB 7450 Device\" or a known model: W001 device not found (exit code 11)\n", 0},
        {nullptr, 0, 0, 14, 14, "no device found by \"USB 7450 Device\" or a known model: W001 device not found by this build (the device is served by the " + kOtherBuild + " build) (exit code 14)\n", 0},
        {[](sim::DeviceSettings& s) { s.offersCustomProperty = false; }, 0x31, kFresh, 13, 13, "\"USB 7450 Device\" found by name, option byte not read: W001 device not opened: its driver interface could not be bound, status 0x80004002 (exit code 13)\n", kFresh},
        {kAsIs, 0x30, kFresh, 12, 12, "\"USB 7450 Device\" found by name, option byte not read: W002 not a supported product (marker 0x30) (exit code 12)\n", kFresh},
        {kAsIs, 0x31, kFresh, 10, 0, "\"USB 7450 Device\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)\n", kUpdated},
        {kAsIs, 0x31, 0x7F, 0, 0, "\"USB 7450 Device\" found by name, option byte 0x7F: already updated (exit code 0)\n", 0x7F},
    });
}

TEST_F(CliPcTest, EachFailingStepHasItsECodeAndLeavesTheOptionByte) {
    ExpectPcs({
        {[](sim::DeviceSettings& s) { s.failOnProperty[CPROP_I2C_DATA] = E_FAIL; }, 0x31, kFresh, 21, 21, "\"USB 7450 Device\" found by name, option byte not read: E001 reading the product marker failed, status 0x80004005 (exit code 21)\n", kFresh},
        {[](sim::DeviceSettings& s) { s.failAtCall[clitest::kOptionRead] = E_FAIL; }, 0x31, kFresh, 10, 22, "\"USB 7450 Device\" found by name, option byte not read: E002 reading the option byte failed, status 0x80004005 (exit code 22)\n", kFresh},
        {[](sim::DeviceSettings& s) { s.failOnI2cWrite[1] = E_ACCESSDENIED; }, 0x31, kFresh, 10, 23, "\"USB 7450 Device\" found by name, option byte 0x85: E003 writing the option byte failed, status 0x80070005 (exit code 23)\n", kFresh},
        // Unplugged before the write: the next run finds bit 7 still set.
        {[](sim::DeviceSettings& s) { s.unplugFromCall = clitest::kOptionWrite; }, 0x31, kFresh, 10, 23, "\"USB 7450 Device\" found by name, option byte 0x85: E003 writing the option byte failed, status 0x80070001 (exit code 23)\n", kFresh},
        {[](sim::DeviceSettings& s) { s.failAtCall[clitest::kReadBack] = E_FAIL; }, 0x31, kFresh, 10, 24, "\"USB 7450 Device\" found by name, option byte 0x85: E004 reading the option byte back failed, status 0x80004005 (exit code 24)\n", kUpdated},
        // A write that answers success and does nothing.
        {[](sim::DeviceSettings& s) { s.failOnI2cWrite[1] = S_OK; }, 0x31, kFresh, 10, 25, "\"USB 7450 Device\" found by name, option byte 0x85 -> 0x85: E005 bit 7 still set after the write (exit code 25)\n", kFresh},
    });
}
// clang-format on

// The other build's device is told by the longest name its own search takes:
// 259 characters.
TEST_F(CliTest, CheckTellsTheOtherBuildsDeviceByItsLongestName) {
    const clitest::OtherBitnessDevice other(L"USB 7450 Device" + std::wstring(244, L'x'));
    EXPECT_EQ(Velto1cli(L"check").exitCode, 14);
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

    // clang-format off
    EXPECT_TRUE(Prints(L"update", 0, "\"USB 7450 Device\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)\n"));
    EXPECT_EQ(OptionByte(L"b"), kFresh) << "without --all only the first device";
    EXPECT_TRUE(Prints(L"update --all", 0, "\"USB 7450 Device\" found by name, option byte 0x05: already updated (exit code 0)\n\"USB 5170 Device\" found by a known model, option byte 0x85 -> 0x05: updated (exit code 0)\n"));
    EXPECT_TRUE(Prints(L"check --all", 0, "\"USB 7450 Device\" found by name, option byte 0x05: already updated (exit code 0)\n\"USB 5170 Device\" found by a known model, option byte 0x05: already updated (exit code 0)\n"));
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

    const clitest::Outcome check = Velto1cli(L"check --all");
    EXPECT_EQ(check.exitCode, 12) << check.output;  // W002 outweighs "update needed"

    EXPECT_TRUE(Prints(
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
    EXPECT_TRUE(Prints(L"check --name \"Lab Camera\"", 10, "\"Lab Camera 2\" found by name, option byte 0x85: update needed (exit code 10)\n"));
    EXPECT_TRUE(Prints(L"check --name Studio", 10, "\"USB 7450 Device\" found by a known model, option byte 0x85: update needed (exit code 10)\n"));
    // clang-format on
    EXPECT_EQ(Velto1cli(L"detect --name \"USB 7450\"").exitCode, 0);
}

// A refused command line: one line, exit code 2, and no device touched (the
// device is one that would fail every driver call). detect leaves no trace
// and reads every device: the options that would choose devices or write
// files are refused.
TEST_F(CliTest, RefusedCommandLinesTouchNoDevice) {
    sim::DeviceSettings settings = Settings(L"a", L"USB 7450 Device");
    settings.unplugFromCall = 1;
    Add(settings);
    const sim::EepromImage before = simtool::FileBytes(Eeprom(L"a"));
    const struct {
        const wchar_t* arguments;
        const char* output;
    } rows[] = {
        // clang-format off
        {L"", "velto1cli: no command"},
        {L"install", "velto1cli: unknown command \"install\""},
        {L"update --force", "velto1cli: unknown option \"--force\""},
        {L"update /S", "velto1cli: unknown command \"/S\""},
        {L"update check", "velto1cli: one command at a time, not also \"check\""},
        {L"update --name", "velto1cli: --name needs a value"},
        {L"update --log", "velto1cli: --log needs a value"},
        {L"update --all --all", "velto1cli: --all is given twice"},
        {L"update --name a --name b", "velto1cli: --name is given twice"},
        {L"check --log x.log", "velto1cli: --log is for update only: check writes nothing to the device"},
        {L"help --all", "velto1cli: help takes no options"},
        {L"report", "velto1cli: report needs a log to read"},
        {L"report --all x.log", "velto1cli: report takes --expect FILE, --json and --html FILE, and its logs"},
        {L"check --expect x.csv", "velto1cli: --expect is for report only"},
        {L"check --version", "velto1cli: --version goes alone"},
        // A .cmd whose %LOGFILE% is unset; a name that would match every device.
        {L"update --log --all", "velto1cli: --log needs a value, not \"--all\""},
        {L"check --name \"\"", "velto1cli: --name needs a value, not \"\""},
        {L"update --name --log x.log", "velto1cli: --name needs a value, not \"--log\""},
        {L"detect --all", "velto1cli: detect takes no option but --name: it reads every device and writes nothing"},
        {L"detect --json", "velto1cli: detect takes no option but --name: it reads every device and writes nothing"},
        {L"detect --log x.log", "velto1cli: detect takes no option but --name: it reads every device and writes nothing"},
        {L"detect --record x.rec", "velto1cli: detect takes no option but --name: it reads every device and writes nothing"},
        // clang-format on
    };
    for (const auto& row : rows) {
        simtool::ExpectRefused(Velto1cli(row.arguments),
                               std::string(row.output) + " (velto1cli help shows the usage)");
    }
    EXPECT_EQ(simtool::FileBytes(Eeprom(L"a")), before);

    const clitest::Outcome help = Velto1cli(L"help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.output,
                ::testing::StartsWith("usage: velto1cli update [--all] [--name NAME] [--log "
                                      "FILE] [--json] [--record FILE]\n"));
    for (const OutcomeDescription& row : kOutcomeTable) {
        EXPECT_THAT(help.output, HasSubstr(std::string(row.exitCode < 10 ? "   " : "  ") +
                                           std::to_string(row.exitCode) + "  " + row.text + "\n"));
    }
}

}  // namespace
