// velto1cli's verdict at the edges, as an administrator's trial found them:
// a device that can't be bound, names that hold line ends, that lie outside
// the ANSI code page or that are longer than it allows, the same failure at
// every boot; and the machine-readable output.
#include <gmock/gmock.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <vector>

#include "simdevice/devices/registration_root.h"
#include "tests/cli/cli_fixture.h"
#include "velto1_build_info.h"

using clitest::CliTest;
using clitest::Outcome;
using clitest::Velto1cli;

namespace {

constexpr HRESULT kBindFails = static_cast<HRESULT>(0x80070001);

class CliEdgeTest;

struct EdgeRow {
    const char* what;
    std::function<void(CliEdgeTest&)> arrange;
    std::wstring arguments;  // " --log FILE" is added to every update
    int exitCode;
    std::string output;
    size_t logLines;  // whole records in the log afterwards
};

class CliEdgeTest : public CliTest {
  public:
    // For the rows' arrangements.
    using CliTest::Settings;
    using simbench::SimDeviceTest::Add;
    // "a", a fresh USB 7450 Device.
    void AddUpdatable() { Add(Settings(L"a", L"USB 7450 Device")); }
    // "b", a fresh USB 5170 Device whose filter can't be created.
    void AddUnbindable() {
        sim::DeviceSettings settings = Settings(L"b", L"USB 5170 Device");
        settings.bindStatus = kBindFails;
        Add(settings);
    }
    // A name simdevctl refuses, written where DirectShow reads it.
    static void Rename(const std::wstring& id, const std::wstring& name) {
        const std::wstring key =
            L"CLSID\\" + sim::GuidText(sim::CategoryOf(sim::DeviceCategory::VideoInput).guid) +
            L"\\Instance\\" + id;
        ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), L"FriendlyName", REG_SZ,
                                  name.c_str(), static_cast<DWORD>((name.size() + 1) * 2)),
                  ERROR_SUCCESS);
    }
    void ExpectRows(const std::vector<EdgeRow>& rows) {
        for (const EdgeRow& row : rows) {
            SCOPED_TRACE(row.what);
            ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
            DeleteFileW(log.c_str());
            row.arrange(*this);
            const bool update = row.arguments.rfind(L"update", 0) == 0;
            EXPECT_TRUE(clitest::Prints(row.arguments + (update ? L" --log \"" + log + L"\"" : L""),
                                        row.exitCode, row.output));
            if (update) {
                EXPECT_EQ(clitest::ReadLog(log).size(), row.logLines);
            }
        }
    }
};

constexpr char kBindFailure[] =
    "\"USB 5170 Device\" found by a known model, option byte not read: W001 device not opened: its "
    "driver interface could not be bound, status 0x80070001 (exit code 13)\n";

// clang-format off
TEST_F(CliEdgeTest, EveryMatchingDeviceHasItsLineAndItsCode) {
    const auto both = [](CliEdgeTest& t) { t.AddUpdatable(); t.AddUnbindable(); };
    ExpectRows({
        {"a device whose filter can't be created counts with --all", both, L"check --all", 13, "\"USB 7450 Device\" found by name, option byte 0x85: update needed (exit code 10)\n" + std::string(kBindFailure), 0},
        {"the device passed over is told before the one taken", both, L"check --name \"USB 5170\"", 13, "\"USB 5170 Device\" found by name, option byte not read: W001 device not opened: its driver interface could not be bound, status 0x80070001 (exit code 13)\n\"USB 7450 Device\" found by a known model, option byte 0x85: update needed (exit code 10)\n", 0},
        {"alone, it keeps its status", [](CliEdgeTest& t) { t.AddUnbindable(); }, L"update", 13, kBindFailure, 1},
        {"and with --all it is logged with the others", both, L"update --all", 13, "\"USB 7450 Device\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)\n" + std::string(kBindFailure), 2},
    });
}

TEST_F(CliEdgeTest, NamesAreFoundAsTheyAreAndShownOnOneLine) {
    ExpectRows({
        {"a name with a tab, a control character, a line end and a second device's line", [](CliEdgeTest& t) { t.AddUpdatable(); Rename(L"a", L"USB 7450 Device\t\x01\r\n\"USB 7451 Device\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)"); }, L"update", 0, "\"USB 7450 Device\\x09\\x01\\x0D\\x0A\\\"USB 7451 Device\\\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)\n", 1},
        {"a Japanese name on a Western code page", [](CliEdgeTest& t) { t.Add(t.Settings(L"a", L"\u6620\u50CF\u30AD\u30E3\u30D7\u30C1\u30E3")); }, L"update --name \u6620\u50CF", 0, "\"\xE6\x98\xA0\xE5\x83\x8F\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\x97\xE3\x83\x81\xE3\x83\xA3\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)\n", 1},
        {"an emoji", [](CliEdgeTest& t) { t.Add(t.Settings(L"a", L"USB 7450 Device \U0001F4F9")); }, L"check", 10, "\"USB 7450 Device \xF0\x9F\x93\xB9\" found by name, option byte 0x85: update needed (exit code 10)\n", 0},
        {"a name of 400 characters", [](CliEdgeTest& t) { t.AddUpdatable(); Rename(L"a", L"USB 7450 Device " + std::wstring(384, L'x')); }, L"check", 10, "\"USB 7450 Device " + std::string(384, 'x') + "\" found by name, option byte 0x85: update needed (exit code 10)\n", 0},
    });
}
// clang-format on

// A PC that fails the same way (W002) at every boot keeps one recording of
// it, in a file that log collectors take, and the log gains a whole line per
// run; so too with names that hold line breaks beyond CR and LF or a lone
// surrogate, whose recording gets a file name that can be made.
TEST_F(CliEdgeTest, RepeatedFailuresKeepOneCollectableRecordingAndWholeLogLines) {
    // clang-format off
    const struct {
        std::wstring name;
        const char* logged;     // the log's device field
        const wchar_t* inFile;  // the name's piece of the recording's file name
    } rows[] = {
        {L"USB 7450 Device", "USB 7450 Device", L"USB_7450_Device"},
        {L"USB 7450 Device \u2028\u2029\u0085 x", "USB 7450 Device ??? x", L"USB_7450_Device_____x"},
        {std::wstring(L"USB 7450 Device ") + wchar_t(0xD800) + L" x", "USB 7450 Device \xEF\xBF\xBD x", L"USB_7450_Device___x"},
    };
    // clang-format on
    const std::wstring folder = clitest::TempPath(L"velto1cli-flight");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring folderLog = folder + L"\\update.log";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.logged);
        ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
        Add(Settings(L"a", row.name, sim::EepromWith({{sim::kMarkerOffset, 0x30}})));
        for (int run = 0; run < 2; ++run) {
            const Outcome failed = Velto1cli(L"update --log \"" + folderLog + L"\"");
            EXPECT_EQ(failed.exitCode, 12) << failed.output;
        }
        const std::vector<clitest::LogLine> lines = clitest::ReadLog(folderLog);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].device, row.logged);
        EXPECT_EQ(lines[1].device, row.logged);
        const std::vector<std::wstring> files = simtool::FilesMatching(folder + L"\\*");
        ASSERT_EQ(files.size(), 2u);
        EXPECT_EQ(files[0], L"update.log");
        EXPECT_THAT(files[1], ::testing::StartsWith(L"velto1-"));
        EXPECT_THAT(files[1],
                    ::testing::EndsWith(L"-" + std::wstring(row.inFile) + L"-12.rec.txt"));
        simtool::EmptyFolder(folder);
    }
    RemoveDirectoryW(folder.c_str());
}

// --json: one object per device and line, read by a JSON parser as
// PowerShell's ConvertFrom-Json reads it; a name beyond ASCII comes back whole.
TEST_F(CliEdgeTest, JsonGivesOneObjectPerDeviceWithEveryField) {
    Add(Settings(L"a", L"USB 7450 Device \u6620\u50CF \U0001F4F9 \"q\"\\"));
    AddUnbindable();
    const Outcome run = Velto1cli(L"update --all --json");
    EXPECT_EQ(run.exitCode, 13) << run.output;
    std::vector<nlohmann::json> objects;
    std::stringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) { return c > 0; })) << line;
        objects.push_back(nlohmann::json::parse(line));
    }
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0], nlohmann::json::parse(u8R"({"device": "USB 7450 Device 映像 📹 \"q\"\\",
                  "foundBy": "name", "before": "0x85", "after": "0x05", "outcome": "updated",
                  "code": null, "exitCode": 0})"));
    EXPECT_EQ(objects[1], nlohmann::json::parse(R"({"device": "USB 5170 Device",
        "foundBy": "a known model", "before": null, "after": null,
        "outcome": "W001 device not opened: its driver interface could not be bound, status 0x80070001",
        "code": "W001", "exitCode": 13, "bindStatus": "0x80070001"})"));
    EXPECT_EQ(OptionByte(L"a"), 0x05);

    ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
    const Outcome nothing = Velto1cli(L"check --json");
    EXPECT_EQ(nothing.exitCode, 11);
    EXPECT_EQ(nlohmann::json::parse(nothing.output),
              nlohmann::json::parse(R"({"device": null, "foundBy": null, "before": null,
                  "after": null, "outcome": "W001 device not found", "code": "W001",
                  "exitCode": 11})"));
}

TEST_F(CliEdgeTest, VersionSaysVersionArchitectureAndCommit) {
    EXPECT_TRUE(clitest::Prints(L"--version", 0,
                                std::string("velto1cli ") + VELTO1_VERSION + " " + VELTO1_ARCH +
                                    " commit " + VELTO1_COMMIT + "\n"));
}

}  // namespace
