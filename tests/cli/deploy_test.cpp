// The shipped recipes as an administrator deploys them: deploy/install.cmd run
// by Wine's cmd.exe from a package folder with velto1cli.exe, on one PC after
// another, then the installed program's detect, which deploy/detect.ps1 runs.
// The verdicts are the guide's table, word for word.
#include <gmock/gmock.h>

#include <fstream>
#include <optional>
#include <string>

#include "common/hex_text.h"
#include "devctl/custom_property.h"
#include "tests/cli/cli_fixture.h"
#include "tests/cli/other_bitness_device.h"

using clitest::CliTest;
using clitest::kAsIs;
using clitest::Outcome;

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = L"";
    const DWORD size = GetEnvironmentVariableW(name, value, MAX_PATH);
    return size > 0 && size < MAX_PATH ? value : L"";
}

// Where install.cmd puts this build: the Program Files folder of its architecture.
std::wstring InstallFolder() {
    return Environment(sizeof(void*) == 8 ? L"ProgramW6432" : L"ProgramFiles(x86)") + L"\\velto1";
}

class DeployTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        simtool::RemoveFolder(InstallFolder());
        simtool::RemoveFolder(logs);
        simtool::RemoveFolder(package);
        CreateDirectoryW(package.c_str(), nullptr);
        for (const wchar_t* file : {L"install.cmd", L"velto1cli.exe"}) {
            CopyFileW(simtool::Beside(file).c_str(), (package + L"\\" + file).c_str(), FALSE);
        }
    }
    void TearDown() override {
        simtool::RemoveFolder(InstallFolder());
        simtool::RemoveFolder(logs);
        simtool::RemoveFolder(package);
        CliTest::TearDown();
    }
    // install.cmd as a deployment tool starts it: cmd.exe /c, its folder's copy.
    Outcome Install(const std::wstring& logFolder) {
        return clitest::RunWithoutDisplay(
            Environment(L"SystemRoot") + L"\\system32\\cmd.exe",
            L"/c \"\"" + package + L"\\install.cmd\" \"" + logFolder + L"\"\"");
    }
    static Outcome InstalledDetect() {
        return clitest::RunWithoutDisplay(InstallFolder() + L"\\velto1cli.exe", L"detect");
    }

    // With parentheses, as in Program Files (x86), where cmd /c takes quotes off.
    const std::wstring package = clitest::TempPath(L"velto1 package (x86)");
    const std::wstring logs = clitest::TempPath(L"velto1-logs");
};

// The guide's verdict table, between its two marks.
std::string GuideTable() {
    const std::string all = clitest::FileText(simtool::Beside(L"deploying.md"));
    const std::string begin = "<!-- verdicts: begin -->\n", end = "<!-- verdicts: end -->";
    const size_t from = all.find(begin), to = all.find(end);
    return from == std::string::npos || to == std::string::npos
               ? ""
               : all.substr(from + begin.size(), to - from - begin.size());
}

TEST_F(DeployTest, EachKindOfPcGetsTheVerdictTheGuideTells) {
    const struct Pc {
        const char* what;
        clitest::Tweak device;  // of "USB 7450 Device"; null: none
        BYTE marker, option;
        bool otherBuildOnly, heldElsewhere;
        int installExitCode;
        bool detectedAfter;  // detect prints lines: nothing waits
        BYTE optionAfter;
    } pcs[] = {
        // clang-format off
        {"no device", nullptr, 0, 0, false, false, 0, true, 0},
        {"another product (W002)", kAsIs, 0x30, 0x85, false, false, 0, true, 0x85},
        {"a device that needs the update", kAsIs, 0x31, 0x85, false, false, 0, true, 0x05},
        {"an updated device", kAsIs, 0x31, 0x05, false, false, 0, true, 0x05},
        {"a device whose driver interface does not bind", [](sim::DeviceSettings& s) { s.offersCustomProperty = false; }, 0x31, 0x85, false, false, 13, false, 0x85},
        {"a device another program holds", kAsIs, 0x31, 0x85, false, true, 20, false, 0x85},
        {"a device served by the other build only", nullptr, 0, 0, true, false, 14, false, 0},
        {"a device whose write fails (E003)", [](sim::DeviceSettings& s) { s.failOnI2cWrite[1] = E_ACCESSDENIED; }, 0x31, 0x85, false, false, 23, false, 0x85},
        // clang-format on
    };
    std::string table =
        "| PC | install.cmd's exit code | detection afterwards | option byte |\n"
        "|---|---|---|---|\n";
    for (const Pc& pc : pcs) {
        SCOPED_TRACE(pc.what);
        ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
        simtool::RemoveFolder(InstallFolder());
        std::optional<clitest::OtherBitnessDevice> other;
        if (pc.otherBuildOnly) {
            other.emplace();
        }
        if (pc.device) {
            AddProduct(pc.marker, pc.option, pc.device);
        }
        std::optional<testsupport::RunningProcess> holder;
        if (pc.heldElsewhere) {
            holder.emplace(simtool::Beside(L"device_holder.exe"), L"hold \"USB 7450 Device\"");
            ASSERT_TRUE(holder->WaitForOutput("held"));
        }
        const Outcome install = Install(logs);
        holder.reset();
        EXPECT_EQ(install.exitCode, pc.installExitCode) << install.output;
        EXPECT_NE(GetFileAttributesW((InstallFolder() + L"\\velto1cli.exe").c_str()),
                  INVALID_FILE_ATTRIBUTES)
            << "installed in " << testing::PrintToString(InstallFolder());
        const Outcome detect = InstalledDetect();
        EXPECT_EQ(detect.exitCode, 0);
        EXPECT_EQ(!detect.output.empty(), pc.detectedAfter) << detect.output;
        const std::string option =
            pc.device ? velto1::HexText(OptionByte(L"a"), 2) : std::string("-");
        if (pc.device) {
            EXPECT_EQ(OptionByte(L"a"), pc.optionAfter);
        }
        table += std::string("| ") + pc.what + " | " + std::to_string(install.exitCode) +
                 (install.exitCode == 0 ? " (success)" : " (failure)") + " | " +
                 (detect.output.empty() ? "not installed: the tool runs install.cmd again"
                                        : "installed") +
                 " | " + option + " |\n";
    }
    EXPECT_EQ(GuideTable(), table) << "docs/deploying.md's verdict table, as these runs give it";
}

// What install.cmd refuses, each before any device is touched: a package
// without the program, an install folder someone else made, a log folder
// that can't be made.
TEST_F(DeployTest, RefusalsHaveTheirCodesAndTouchNoDevice) {
    Add(Settings(L"a", L"USB 7450 Device"));
    CreateDirectoryW(InstallFolder().c_str(), nullptr);  // made by someone else
    EXPECT_EQ(Install(logs).exitCode, 42);
    EXPECT_EQ(GetFileAttributesW((InstallFolder() + L"\\velto1cli.exe").c_str()),
              INVALID_FILE_ATTRIBUTES);
    simtool::RemoveFolder(InstallFolder());

    const std::wstring file = clitest::TempPath(L"velto1-not-a-folder.txt");
    std::ofstream(file.c_str()) << "a file";
    EXPECT_EQ(Install(file + L"\\logs").exitCode, 45);
    DeleteFileW(file.c_str());

    DeleteFileW((package + L"\\velto1cli.exe").c_str());
    EXPECT_EQ(Install(logs).exitCode, 40);
    EXPECT_EQ(OptionByte(L"a"), 0x85);
}

// The detection scripts are the one line that runs the installed program's
// detect and passes on its exit code and output (no PowerShell here to run them).
TEST(DeployFiles, TheDetectionScriptsAreOneLineEach) {
    const struct {
        const wchar_t* file;
        const char* folder;
    } scripts[] = {{L"detect.ps1", "ProgramFilesX86"}, {L"detect-x64.ps1", "ProgramFiles"}};
    for (const auto& script : scripts) {
        EXPECT_EQ(clitest::FileText(simtool::Beside(script.file)),
                  std::string("& \"$([Environment]::GetFolderPath('") + script.folder +
                      "'))\\velto1\\velto1cli.exe\" detect; exit $LASTEXITCODE\r\n");
    }
}

}  // namespace
