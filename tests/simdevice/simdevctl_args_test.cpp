// The device tool's arguments: every malformed or over-long one is refused
// with exit code 2 and one line that says what was wrong, and the registry
// stays as it was.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "simdevice/filter/sim_device_ids.h"
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

TEST_F(SimdevctlArgumentsTest, BadArgumentsAreRefusedInOneLineAndChangeNothing) {
    const std::wstring longText(260, L'N');
    const std::wstring longPath = L"C:\\" + std::wstring(252, L'd');    // 255 characters
    const std::wstring noAnsiForm = L"\x0915\x0948\x092E\x0930\x093E";  // Devanagari
    const struct {
        std::wstring arguments;
        int exitCode;
        const char* message;  // the line's start after "simdevctl: "
    } rows[] = {
        {L"frobnicate", 2, "unknown command: \"frobnicate\""},
        {L"list extra", 2, "list takes no argument"},
        // add: the device id
        {L"add", 2, "add needs a device ID"},
        {L"add --name X", 2, "add needs a device ID"},
        {L"add \"bad id\" --name X", 2, "bad device ID \"bad id\""},
        {L"add " + std::wstring(101, L'a') + L" --name X", 2, "bad device ID \"aaaa"},
        // add: the name
        {L"add cam", 2, "add needs --name"},
        {L"add cam --name", 2, "--name needs a value"},
        {L"add cam --name \"\"", 2, "--name needs a name"},
        {L"add cam --name " + longText, 2, "--name is longer than 259 characters"},
        // add: options and numbers
        {L"add cam --name X --frob 1", 2, "unknown option: \"--frob\""},
        {L"add cam --name X --no-such-flag", 2, "unknown option: \"--no-such-flag\""},
        {L"add cam --name X --chip-id", 2, "--chip-id needs a value"},
        {L"add cam --name X --chip-id twelve", 2, "--chip-id needs a number, not \"twelve\""},
        {L"add cam --name X --chip-id 0x100000000", 2, "--chip-id needs a number"},
        {L"add cam --name X --chip-id -1", 2, "--chip-id needs a number, not \"-1\""},
        {L"add cam --name X --board-config 12abc", 2, "--board-config needs a number"},
        {L"add cam --name X --board-config \"\"", 2, "--board-config needs a number, not \"\""},
        {L"add cam --name X --category tv", 2, "unknown category: \"tv\""},
        {L"add cam --name X --fail-call 3", 2, "--fail-call needs N=STATUS, not \"3\""},
        {L"add cam --name X --fail-property 0x1019=", 2, "--fail-property needs ID=STATUS"},
        {L"add cam --name X --fail-bind 5", 2, "--fail-bind needs a failure status"},
        {L"add cam --name X --unplug-from 0", 2, "--unplug-from needs a call number from 1"},
        {L"add cam --name X --remote-code 2:0:0x15", 2, "--remote-code needs TOGGLE:ADDRESS"},
        {L"add cam --name X --codec-busy sometimes", 2, "--codec-busy needs a number of polls"},
        {L"add cam --name X --ac97 0x80=1", 2, "--ac97 needs INDEX=VALUE"},
        // add: the EEPROM file
        {L"add cam --name X --eeprom", 2, "--eeprom needs a value"},
        {L"add cam --name X --eeprom \"\"", 2, "--eeprom needs a file path, not \"\""},
        {L"add cam --name X --eeprom " + longPath, 2,
         "--eeprom path is longer than 254 characters"},
        // remove
        {L"remove", 2, "remove needs one device ID or --all"},
        {L"remove cam plain", 2, "remove needs one device ID or --all"},
        {L"remove \"bad id\"", 2, "bad device ID \"bad id\""},
        // the name the library searches for
        {L"find --name " + longText, 2, "find: --name is longer than 259 bytes"},
        {L"find --name " + noAnsiForm, 2, "find: --name has a character the ANSI code page lacks"},
        {L"find --name", 2, "find: --name needs a value"},
        {L"find extra", 2, "find: unknown option or argument: \"extra\""},
        {L"pages --name " + longText, 2, "pages: --name is longer than 259 bytes"},
        {L"remote --name " + longText + L" --count 2", 2, "remote: --name is longer"},
        {L"remote --count 0", 2, "remote: --count needs a number from 1, not \"0\""},
        {L"remote --count", 2, "remote: --count needs a value"},
        {L"codec", 2, "codec needs a register index from 0 to 0x7F"},
        {L"codec 0x80", 2, "codec needs a register index from 0 to 0x7F, not \"0x80\""},
        {L"codec 2 --name " + longText, 2, "codec: --name is longer than 259 bytes"},
        {L"codec 2 --count 1", 2, "codec: unknown option or argument: \"--count\""},
        // the DLL to register
        {L"register a b", 2, "register takes at most a DLL path"},
        {L"register \"\"", 2, "register needs a DLL path, not \"\""},
        {L"register C:\\" + std::wstring(257, L'd'), 2,
         "register: the DLL path is longer than 259 characters"},
        {L"unregister \"\"", 2, "unregister needs a DLL path, not \"\""},
    };
    const Outcome before = Tool(L"list");
    ASSERT_EQ(before.exitCode, 0) << before.output;
    const std::wstring registered = Registered();
    ASSERT_NE(registered.find(L"simdevice.dll"), std::wstring::npos) << registered;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.arguments.substr(0, 60)));
        const Outcome run = Tool(row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.output;
        EXPECT_EQ(run.output.rfind(std::string("simdevctl: ") + row.message, 0), 0u) << run.output;
        EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << "one line: " << run.output;
        EXPECT_EQ(Registered(), registered);
    }
    EXPECT_EQ(Tool(L"list").output, before.output);
    // No arguments at all: the usage, as a usage error.
    const Outcome bare = Tool(L"");
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(bare.output.rfind("usage:\n", 0), 0u) << bare.output;
}

// The longest name the limits allow goes through whole: added, and found by
// the library under it.
TEST_F(SimdevctlArgumentsTest, TheLongestNameIsAddedAndFound) {
    const std::wstring name(259, L'N');
    const Outcome add = Tool(L"add long --name " + name);
    EXPECT_EQ(add.exitCode, 0) << add.output;
    const Outcome find = Tool(L"find --name " + name);
    EXPECT_EQ(find.exitCode, 0) << find.output;
    EXPECT_EQ(find.output.rfind("found by name: \"" + std::string(259, 'N') + "\" [long]\n", 0), 0u)
        << find.output;
}

}  // namespace
