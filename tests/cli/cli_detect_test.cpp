// velto1cli detect and check on every kind of PC a roll-out meets: detect's
// exit code is 0 and its stdout says whether nothing waits; check's exit
// code is the outcome's; and neither writes to the device, not even the
// GPIO register (check's recording holds no data write).
#include <gmock/gmock.h>

#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "devctl/custom_property.h"
#include "tests/cli/cli_fixture.h"
#include "tests/cli/other_bitness_device.h"

using clitest::CliTest;
using clitest::Outcome;
using clitest::Velto1cli;

namespace {

// The lines of a recording's data writes: register, alternate register and I2C data.
std::vector<std::string> DataWrites(const std::string& recording) {
    std::vector<std::string> writes;
    std::stringstream lines(recording);
    for (std::string line; std::getline(lines, line);) {
        for (const char* id : {"Set id=0x00001006", "Set id=0x0000102a", "Set id=0x00001008"}) {
            if (line.find(id) != std::string::npos) {
                writes.push_back(line);
            }
        }
    }
    return writes;
}

TEST_F(CliTest, DetectAndCheckOnEveryKindOfPcWriteNothing) {
    const std::string otherBuild = sizeof(void*) == 8 ? "x86" : "x64";
    const struct Pc {
        const char* what;
        // The device "a" ("USB 7450 Device") as the PC has it; null: none.
        std::function<void(sim::DeviceSettings&)> device;
        BYTE option;
        int checkExitCode;
        const char* detected;  // detect's stdout: empty when something waits
    } pcs[] = {
        // clang-format off
        {"no device", nullptr, 0, 11, "no device found by \"USB 7450 Device\" or a known model: W001 device not found\n"},
        {"another product", [](sim::DeviceSettings&) {}, 0x85, 12, nullptr},
        {"update needed", [](sim::DeviceSettings&) {}, 0x85, 10, ""},
        {"already updated", [](sim::DeviceSettings&) {}, 0x05, 0, "\"USB 7450 Device\" found by name, option byte 0x05: already updated\n"},
        {"driver interface not bound", [](sim::DeviceSettings& s) { s.offersCustomProperty = false; }, 0x85, 13, ""},
        {"marker read fails", [](sim::DeviceSettings& s) { s.failOnProperty[CPROP_I2C_DATA] = E_FAIL; }, 0x85, 21, ""},
        {"served by the other build only", nullptr, 0, 14, ""},
        // clang-format on
    };
    const std::wstring recording = clitest::TempPath(L"velto1cli-detect-test.rec");
    for (const Pc& pc : pcs) {
        SCOPED_TRACE(pc.what);
        ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
        const bool otherBuildOnly = pc.checkExitCode == 14;
        std::optional<clitest::OtherBitnessDevice> other;
        if (otherBuildOnly) {
            other.emplace();
        }
        sim::EepromImage before;
        if (pc.device) {
            const BYTE marker = pc.checkExitCode == 12 ? 0x30 : 0x31;
            sim::DeviceSettings settings =
                Settings(L"a", L"USB 7450 Device",
                         sim::EepromWith(
                             {{sim::kMarkerOffset, marker}, {sim::kOptionByteOffset, pc.option}}));
            pc.device(settings);
            Add(settings);
            before = simtool::FileBytes(Eeprom(L"a"));
        }

        DeleteFileW(recording.c_str());
        const Outcome check = Velto1cli(L"check --record \"" + recording + L"\"");
        EXPECT_EQ(check.exitCode, pc.checkExitCode) << check.output;
        EXPECT_THAT(DataWrites(clitest::FileText(recording)), testing::IsEmpty());
        if (otherBuildOnly) {
            EXPECT_EQ(check.output,
                      "no device found by \"USB 7450 Device\" or a known model: W001 device not "
                      "found by this build (the device is served by the " +
                          otherBuild + " build) (exit code 14)\n");
        }

        const Outcome detect = Velto1cli(L"detect");
        EXPECT_EQ(detect.exitCode, 0);
        if (pc.detected) {
            EXPECT_EQ(detect.output, pc.detected);
        } else {
            EXPECT_THAT(detect.output, testing::HasSubstr("W002 not a supported product"));
            EXPECT_THAT(detect.output, testing::Not(testing::HasSubstr("exit code")));
        }
        if (pc.device) {
            EXPECT_EQ(simtool::FileBytes(Eeprom(L"a")), before);
        }
    }
    DeleteFileW(recording.c_str());
}

// The other build's device is told by the longest name its own search takes:
// 259 characters.
TEST_F(CliTest, CheckTellsTheOtherBuildsDeviceByItsLongestName) {
    const clitest::OtherBitnessDevice other(L"USB 7450 Device" + std::wstring(244, L'x'));
    EXPECT_EQ(Velto1cli(L"check").exitCode, 14);
}

// A PC that fails the same way at every boot keeps one recording of it, in
// a file that log collectors take; the log gains a line per run.
TEST_F(CliTest, TwoIdenticalFailuresLeaveOneCollectableRecording) {
    Add(Settings(L"a", L"USB 7450 Device", sim::EepromWith({{sim::kMarkerOffset, 0x30}})));
    const std::wstring folder = clitest::TempPath(L"velto1cli-flight");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring folderLog = folder + L"\\update.log";
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(Velto1cli(L"update --log \"" + folderLog + L"\"").exitCode, 12);
    }
    EXPECT_EQ(clitest::ReadLog(folderLog).size(), 2u);
    const std::vector<std::wstring> files = simtool::FilesMatching(folder + L"\\*");
    simtool::RemoveFolder(folder);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], L"update.log");
    EXPECT_THAT(files[1], testing::StartsWith(L"velto1-"));
    EXPECT_THAT(files[1], testing::EndsWith(L"-USB_7450_Device-12.rec.txt"));
}

// detect leaves no trace and reads every device: the options that would
// choose devices or write files are refused as a usage error.
TEST_F(CliTest, DetectTakesNoOptionButTheName) {
    for (const wchar_t* refused :
         {L"detect --all", L"detect --json", L"detect --log x.log", L"detect --record x.rec"}) {
        const Outcome run = Velto1cli(refused);
        EXPECT_EQ(run.exitCode, 2) << run.output;
        EXPECT_THAT(run.output, testing::HasSubstr("detect takes no option but --name"));
    }
    EXPECT_EQ(Velto1cli(L"detect --name \"USB 7450\"").exitCode, 0);
}

}  // namespace
