// The device tool's arguments: every malformed or over-long one is refused
// with exit code 2 and one line that says what was wrong, and the registry
// stays as it was.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "devctl/device_control.h"
#include "simdevice/devices/device_ids.h"
#include "tests/common/simtool_fixture.h"

using simtool::Outcome;
using simtool::Simdevctl;

namespace {

class SimdevctlArgumentsTest : public simtool::FileDeviceTest {
  protected:
    SimdevctlArgumentsTest() : FileDeviceTest(L"velto1-simdevctl-args.bin") {}
    void SetUp() override {
        FileDeviceTest::SetUp();
        Add(FileDevice(L"cam"), /*resetEeprom=*/true);
        Add(simbench::Device(L"plain", L"Plain Webcam"));
    }
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

// One row per distinct reason for a refusal; each starts the tool, which is
// slow where 32-bit code runs emulated.
TEST_F(SimdevctlArgumentsTest, BadArgumentsAreRefusedAndChangeNothing) {
    // clang-format off
    const struct {
        std::wstring arguments;
        const char* message;  // the one line's start after "simdevctl: "
    } rows[] = {
        {L"add --name X", "add needs a device ID"},
        {L"add \"bad id\" --name X", "bad device ID \"bad id\""},
        {L"add " + std::wstring(101, L'a') + L" --name X", "bad device ID"},
        {L"add cam", "add needs --name"},
        {L"add cam --name", "--name needs a value"},
        {L"add cam --name \"\"", "--name needs a value, not \"\""},
        {L"add cam --name " + std::wstring(260, L'N'), "--name is longer than 259 characters"},
        {L"add cam --name X --eeprom \"\"", "--eeprom needs a value, not \"\""},
        {L"add cam --name X --eeprom C:\\" + std::wstring(252, L'd'), "--eeprom path is longer than 254 characters"},
        {L"add cam --name X --frob 1", "unknown option \"--frob\""},
        {L"add cam --name X --chip-id twelve", "--chip-id needs a number"},
        {L"add cam --name X --chip-id 0x100000000", "--chip-id needs a number"},
        {L"add cam --name X --chip-id -1", "--chip-id needs a number"},
        {L"add cam --name X --board-config 12abc", "--board-config needs a number, not \"12abc\""},
        {L"add cam --name X --category tv", "unknown category: \"tv\""},
        {L"add cam --name X --fail-call 3", "--fail-call needs N=STATUS"},
        {L"add cam --name X --fail-property 0x1019=", "--fail-property needs ID=STATUS"},
        {L"add cam --name X --fail-bind 5", "--fail-bind needs a failure status"},
        {L"add cam --name X --unplug-from 0", "--unplug-from needs a call number"},
        {L"add cam --name X --remote-code 2:0:0x15", "--remote-code needs TOGGLE:ADDRESS:COMMAND"},
        {L"add cam --name X --codec-busy sometimes", "--codec-busy needs a number of polls or forever"},
        {L"add cam --name X --ac97 0x80=1", "--ac97 needs INDEX=VALUE"},
        {L"find", "unknown command \"find\""},  // the library's commands are chipctl's
        {L"list extra", "list takes no argument"},
        {L"remove cam plain", "remove needs one device ID or --all"},
        {L"remove \"bad id\"", "bad device ID \"bad id\""},
        {L"register a b", "register takes at most a DLL path"},
        {L"register \"\"", "register needs a DLL path"},
        {L"register C:\\" + std::wstring(257, L'd'), "register: the DLL path is longer than 259 characters"},
        {L"unregister \"\"", "unregister needs a DLL path"},
    };
    // clang-format on
    const Outcome before = Simdevctl(L"list");
    ASSERT_EQ(before.exitCode, 0) << before.output;
    const std::wstring registered = Registered();
    ASSERT_NE(registered.find(L"simdevice.dll"), std::wstring::npos) << registered;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.arguments.substr(0, 60)));
        simtool::ExpectRefused(Simdevctl(row.arguments), std::string("simdevctl: ") + row.message);
        EXPECT_EQ(Registered(), registered);
    }
    EXPECT_EQ(Simdevctl(L"list").output, before.output);
    // No arguments at all: the usage, as a usage error.
    const Outcome bare = Simdevctl(L"");
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(bare.output.rfind("usage:\n", 0), 0u) << bare.output;
}

// The longest name the limits allow goes through whole: added, listed, and
// found by the library under it.
TEST_F(SimdevctlArgumentsTest, TheLongestNameIsAddedAndFound) {
    const std::wstring name(259, L'N');
    const Outcome add = Simdevctl(L"add long --name " + name);
    EXPECT_EQ(add.exitCode, 0) << add.output;
    const Outcome list = Simdevctl(L"list");
    EXPECT_NE(list.output.find("long\tvideo\t\"" + std::string(259, 'N') + "\"\t"),
              std::string::npos)
        << list.output;
    DeviceControl device;
    IBaseFilter* filter = device.FindCaptureFilterByName(std::string(259, 'N').c_str());
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->Release(), 0u);
}

}  // namespace
