// The device tool's arguments: every malformed or over-long one is refused
// with exit code 2 and one line that says what was wrong, and the registry
// stays as it was.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "devctl/device_control.h"
#include "simdevice/filter/device_ids.h"
#include "tests/bench/sim_bench.h"
#include "tests/simdevice/simdevctl_tool.h"

using simdevctl_tool::Outcome;
using simdevctl_tool::Tool;

namespace {

class SimdevctlArgumentsTest : public simbench::SimDeviceTest {
  protected:
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        eeprom = std::wstring(folder) + L"velto1-simdevctl-args.bin";
        sim::DeviceSettings cam = simbench::Device(L"cam", L"USB 7450 Device");
        cam.eepromFile = eeprom;
        Add(cam, /*resetEeprom=*/true);
        Add(simbench::Device(L"plain", L"Plain Webcam"));
    }
    void TearDown() override {
        simbench::SimDeviceTest::TearDown();
        DeleteFileW(eeprom.c_str());
        DeleteFileW((eeprom + sim::kEepromLockSuffix).c_str());
    }

    std::wstring eeprom;
};

// What the registry holds of the simulated devices, read in this process
// (quicker than running the tool's list after every row): the server's DLL
// and every device with its settings.
std::wstring Registered() {
    wchar_t guid[40] = {};
    StringFromGUID2(sim::CLSID_SimCaptureFilter, guid, 40);
    wchar_t path[1024] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    const std::wstring key = L"CLSID\\" + std::wstring(guid) + L"\\InprocServer32";
    RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size);
    std::wstring text = L"server " + std::wstring(path) + L"\n";
    for (const sim::DeviceSettings& device : sim::ListDevices()) {
        text += device.id + L" " + sim::CategoryOf(device.category).name + L" \"" +
                device.friendlyName + L"\" " + std::to_wstring(device.identity.chipId) + L" " +
                std::to_wstring(device.identity.boardConfig) + L" " + device.eepromFile + L" " +
                sim::FormatFaults(device.failOnProperty) + L"\n";
    }
    return text;
}

// The table of bad arguments, in three parts that run as three tests (each row
// starts the tool, which is slow where 32-bit code runs emulated).
enum class Part { AddIdAndName, AddOptions, OtherCommands };

struct BadArguments {
    Part part;
    std::wstring arguments;
    const char* message;  // the one line's start after "simdevctl: "
};

const std::vector<BadArguments>& BadArgumentRows() {
    const std::wstring longText(260, L'N');
    const std::wstring longPath = L"C:\\" + std::wstring(252, L'd');  // 255 characters
    static const std::vector<BadArguments> rows = {
        {Part::AddIdAndName, L"add", "add needs a device ID"},
        {Part::AddIdAndName, L"add --name X", "add needs a device ID"},
        {Part::AddIdAndName, L"add \"bad id\" --name X", "bad device ID \"bad id\""},
        {Part::AddIdAndName, L"add " + std::wstring(101, L'a') + L" --name X", "bad device ID"},
        {Part::AddIdAndName, L"add cam", "add needs --name"},
        {Part::AddIdAndName, L"add cam --name", "--name needs a value"},
        {Part::AddIdAndName, L"add cam --name \"\"", "--name needs a name"},
        {Part::AddIdAndName, L"add cam --name " + longText, "--name is longer than 259 characters"},
        {Part::AddIdAndName, L"add cam --name X --eeprom", "--eeprom needs a value"},
        {Part::AddIdAndName, L"add cam --name X --eeprom \"\"", "--eeprom needs a file path"},
        {Part::AddIdAndName, L"add cam --name X --eeprom " + longPath,
         "--eeprom path is longer than 254 characters"},

        {Part::AddOptions, L"add cam --name X --frob 1", "unknown option: \"--frob\""},
        {Part::AddOptions, L"add cam --name X --no-such-flag",
         "unknown option: \"--no-such-flag\""},
        {Part::AddOptions, L"add cam --name X --chip-id", "--chip-id needs a value"},
        {Part::AddOptions, L"add cam --name X --chip-id twelve", "--chip-id needs a number"},
        {Part::AddOptions, L"add cam --name X --chip-id 0x100000000", "--chip-id needs a number"},
        {Part::AddOptions, L"add cam --name X --chip-id -1", "--chip-id needs a number"},
        {Part::AddOptions, L"add cam --name X --board-config 12abc",
         "--board-config needs a number, not \"12abc\""},
        {Part::AddOptions, L"add cam --name X --category tv", "unknown category: \"tv\""},
        {Part::AddOptions, L"add cam --name X --fail-call 3", "--fail-call needs N=STATUS"},
        {Part::AddOptions, L"add cam --name X --fail-property 0x1019=",
         "--fail-property needs ID=STATUS"},
        {Part::AddOptions, L"add cam --name X --fail-bind 5", "--fail-bind needs a failure status"},
        {Part::AddOptions, L"add cam --name X --unplug-from 0",
         "--unplug-from needs a call number"},
        {Part::AddOptions, L"add cam --name X --remote-code 2:0:0x15",
         "--remote-code needs TOGGLE:ADDRESS:COMMAND"},
        {Part::AddOptions, L"add cam --name X --codec-busy sometimes",
         "--codec-busy needs a number of polls or forever"},
        {Part::AddOptions, L"add cam --name X --ac97 0x80=1", "--ac97 needs INDEX=VALUE"},

        {Part::OtherCommands, L"frobnicate", "unknown command: \"frobnicate\""},
        // The library's commands are chipctl's.
        {Part::OtherCommands, L"find", "unknown command: \"find\""},
        {Part::OtherCommands, L"codec 2", "unknown command: \"codec\""},
        {Part::OtherCommands, L"list extra", "list takes no argument"},
        {Part::OtherCommands, L"remove", "remove needs one device ID or --all"},
        {Part::OtherCommands, L"remove cam plain", "remove needs one device ID or --all"},
        {Part::OtherCommands, L"remove \"bad id\"", "bad device ID \"bad id\""},
        {Part::OtherCommands, L"register a b", "register takes at most a DLL path"},
        {Part::OtherCommands, L"register \"\"", "register needs a DLL path"},
        {Part::OtherCommands, L"register C:\\" + std::wstring(257, L'd'),
         "register: the DLL path is longer than 259 characters"},
        {Part::OtherCommands, L"unregister \"\"", "unregister needs a DLL path"},
    };
    return rows;
}

// Runs the part's rows: each exits with 2 and prints one line that begins
// with the row's message, and the registry stays as it was.
void ExpectRefused(Part part) {
    const Outcome before = Tool(L"list");
    ASSERT_EQ(before.exitCode, 0) << before.output;
    const std::wstring registered = Registered();
    ASSERT_NE(registered.find(L"simdevice.dll"), std::wstring::npos) << registered;
    int rowsRun = 0;
    for (const BadArguments& row : BadArgumentRows()) {
        if (row.part != part) {
            continue;
        }
        ++rowsRun;
        SCOPED_TRACE(testing::PrintToString(row.arguments.substr(0, 60)));
        const Outcome run = Tool(row.arguments);
        EXPECT_EQ(run.exitCode, 2) << run.output;
        EXPECT_EQ(run.output.rfind(std::string("simdevctl: ") + row.message, 0), 0u) << run.output;
        EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << "one line: " << run.output;
        EXPECT_EQ(Registered(), registered);
    }
    EXPECT_GT(rowsRun, 8);
    EXPECT_EQ(Tool(L"list").output, before.output);
}

TEST_F(SimdevctlArgumentsTest, AddRefusesABadIdNameOrEepromFile) {
    ExpectRefused(Part::AddIdAndName);
}

TEST_F(SimdevctlArgumentsTest, AddRefusesBadOptions) {
    ExpectRefused(Part::AddOptions);
}

TEST_F(SimdevctlArgumentsTest, OtherCommandsRefuseBadArguments) {
    ExpectRefused(Part::OtherCommands);
    // No arguments at all: the usage, as a usage error.
    const Outcome bare = Tool(L"");
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(bare.output.rfind("usage:\n", 0), 0u) << bare.output;
}

// The longest name the limits allow goes through whole: added, listed, and
// found by the library under it.
TEST_F(SimdevctlArgumentsTest, TheLongestNameIsAddedAndFound) {
    const std::wstring name(259, L'N');
    const Outcome add = Tool(L"add long --name " + name);
    EXPECT_EQ(add.exitCode, 0) << add.output;
    const Outcome list = Tool(L"list");
    EXPECT_NE(list.output.find("long\tvideo\t\"" + std::string(259, 'N') + "\"\t"),
              std::string::npos)
        << list.output;
    DeviceControl device;
    IBaseFilter* filter = device.FindCaptureFilterByName(std::string(259, 'N').c_str());
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->Release(), 0u);
}

}  // namespace
