// The simulated device seen from outside: its registration, its EEPROM file
// and its injected faults through the library bound to it, and the device
// tool simdevctl run as a script would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "devctl/device_control.h"
#include "tests/bench/sim_bench.h"
#include "tests/common/run_process.h"

using simbench::Device;
using ::testing::HasSubstr;

namespace {

class SimulatedDeviceTest : public simbench::SimDeviceTest {
  protected:
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        wchar_t directory[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, directory);
        eeprom = std::wstring(directory) + L"velto1-simdevice-test.bin";
        DeleteFileW(eeprom.c_str());
    }
    void TearDown() override {
        device.Close();
        simbench::SimDeviceTest::TearDown();
        DeleteFileW(eeprom.c_str());
    }
    sim::EepromImage FileBytes() {
        sim::EepromImage image = {};
        EXPECT_EQ(sim::LoadEepromFile(eeprom, image), S_OK);
        return image;
    }

    std::wstring eeprom;
    DeviceControl device;
};

TEST_F(SimulatedDeviceTest, TheEepromPersistsInItsFileBetweenBindings) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.eepromFile = eeprom;
    Add(settings);
    EXPECT_EQ(FileBytes(), sim::FreshProductEeprom()) << "a missing file is created fresh";
    ASSERT_NE(device.Open(), nullptr);
    const BYTE cleared = 0x05;
    ASSERT_EQ(device.WriteI2c(0xA0, 0x08, 1, &cleared), S_OK);
    EXPECT_EQ(FileBytes()[0x08], 0x05) << "written through before the device is closed";
    device.Close();
    Add(settings);
    ASSERT_NE(device.Open(), nullptr);
    BYTE option = 0;
    EXPECT_EQ(device.ReadI2c(0xA0, 0x08, 1, &option), S_OK);
    EXPECT_EQ(option, 0x05) << "an existing file is kept";
    device.Close();
    Add(settings, /*resetEeprom=*/true);
    EXPECT_EQ(FileBytes(), sim::FreshProductEeprom());
    FILE* file = _wfopen(eeprom.c_str(), L"wb");
    std::fputs("short", file);
    std::fclose(file);
    EXPECT_EQ(sim::AddDevice(settings, false), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
}

TEST_F(SimulatedDeviceTest, InjectedFaultsReachTheLibrary) {
    // Open's four identity reads are calls 1 to 4; the ReadI2c after it begins with call 5.
    const struct {
        unsigned failAtCall;
        DWORD failOnProperty;
        unsigned unplugFromCall;
        HRESULT expected;
    } rows[] = {
        {5, 0, 0, static_cast<HRESULT>(0x80070015)},
        {0, CPROP_I2C_DATA, 0, E_ACCESSDENIED},
        {0, 0, 5, DEVCTL_E_UNPLUGGED},
    };
    for (const auto& row : rows) {
        sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
        if (row.failAtCall) {
            settings.failAtCall[row.failAtCall] = row.expected;
        }
        if (row.failOnProperty) {
            settings.failOnProperty[row.failOnProperty] = row.expected;
        }
        settings.unplugFromCall = row.unplugFromCall;
        Add(settings);
        ASSERT_NE(device.Open(), nullptr);
        BYTE option = 0;
        EXPECT_EQ(device.ReadI2c(0xA0, 0x08, 1, &option), row.expected);
        device.Close();
    }
}

// --- The device tool ----------------------------------------------------------

struct Outcome {
    int exitCode;
    std::string output;  // stdout and stderr together
};

// Runs simdevctl.exe (beside the test binary) directly, with no command
// interpreter between: cmd.exe reports every failure to start a program as
// its own exit code 9009, which hides why.
Outcome Tool(const std::wstring& arguments) {
    const std::wstring dll = simbench::DllPath();
    const testsupport::ProcessRun run = testsupport::RunProcess(
        dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"simdevctl.exe", arguments);
    EXPECT_NE(run.exitCode, testsupport::ProcessRun::kNotStarted) << run.output;
    return {static_cast<int>(run.exitCode), run.output};
}

using SimdevctlTest = SimulatedDeviceTest;

// Every setting goes through the registry and comes back in the list.
TEST_F(SimdevctlTest, AddListFindRemove) {
    const Outcome add = Tool(
        L"add cam1 --name \"USB 7450 Device\" --chip-id 0x141 --board-config 3 --eeprom \"" +
        eeprom +
        L"\" --fail-property 0x1019=0x80004005 --remote-code 1:0x40:0x15 --remote-code 0:0:255 "
        L"--codec-busy forever --ac97 0x1c=0x8000 --ac97 2=0x808 --config-103e 0x1000025");
    EXPECT_EQ(add.exitCode, 0) << add.output;
    EXPECT_EQ(add.output, "added cam1\n");
    EXPECT_EQ(Tool(L"add b --name Old").exitCode, 0);
    EXPECT_EQ(Tool(L"add b --name B --category bda --no-custom-property --chip-config 0x40 "
                   L"--remote-address 0x5A --remote-i2c-address 0x31 --fail-call 3=0x80004005 "
                   L"--unplug-from 12 --fail-bind 0x8007000E")
                  .exitCode,
              0);
    const Outcome list = Tool(L"list");
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_THAT(list.output,
                HasSubstr("cam1\tvideo\t\"USB 7450 Device\"\tchip-id=0x141 chip-config=0x0 "
                          "board-config=0x3 remote-address=0x0 remote-i2c-address=0x0 "
                          "custom-property=yes fail-property=0x1019=0x80004005 "
                          "remote-code=1:0x40:0x15,0:0x00:0xFF codec-busy=forever "
                          "ac97=0x02=0x0808,0x1C=0x8000 config-103e=0x1000025 eeprom=\""));
    EXPECT_THAT(list.output, HasSubstr("option-byte=0x85"));
    EXPECT_THAT(list.output,
                HasSubstr("\nb\tbda\t\"B\"\tchip-id=0x24 chip-config=0x40 board-config=0x2 "
                          "remote-address=0x5A remote-i2c-address=0x31 custom-property=no "
                          "fail-call=0x3=0x80004005 unplug-from=12 fail-bind=0x8007000E "
                          "eeprom=(memory)\n"));
    const Outcome find = Tool(L"find");
    EXPECT_EQ(find.exitCode, 0) << find.output;
    EXPECT_THAT(find.output, HasSubstr("found by name: \"USB 7450 Device\" [cam1]"));
    EXPECT_THAT(find.output, HasSubstr("bound: chip id 0x141, EEPROM option byte 0x85"));

    EXPECT_THAT(Tool(L"register").output, HasSubstr("registered "));
    EXPECT_EQ(Tool(L"remove cam1").exitCode, 0);
    EXPECT_EQ(Tool(L"remove cam1").exitCode, 1);
    EXPECT_EQ(Tool(L"remove --all").exitCode, 0);
    EXPECT_TRUE(sim::ListDevices().empty());
    for (const wchar_t* command : {L"find", L"remote", L"codec 2"}) {
        EXPECT_EQ(Tool(command).exitCode, 1) << "without a device: " << command;
    }
}

TEST_F(SimdevctlTest, UsageErrorsExitWithTwoAndChangeNothing) {
    const wchar_t* const commands[] = {L"",
                                       L"frobnicate",
                                       L"add cam",
                                       L"add cam --name X --category tv",
                                       L"add cam --name X --chip-id twelve",
                                       L"add \"bad id\" --name X",
                                       L"add cam --name X --remote-code 2:0:0x15",
                                       L"add cam --name X --codec-busy sometimes",
                                       L"add cam --name X --ac97 0x80=1",
                                       L"remove",
                                       L"remote --count 0",
                                       L"codec 0x80"};
    for (const wchar_t* command : commands) {
        EXPECT_EQ(Tool(command).exitCode, 2) << testing::PrintToString(command);
    }
    EXPECT_TRUE(sim::ListDevices().empty());
}

TEST_F(SimdevctlTest, RemoteAndCodecSettingsComeOutThroughTheLibrary) {
    const struct {
        const wchar_t* settings;
        const wchar_t* command;
        int exitCode;
        const char* output;
    } rows[] = {
        {L"--remote-code 1:0:0x15 --remote-code 1:0:0x15 --remote-code 0:0:0x16",
         L"remote --count 4", 0, "bound: chip id 0x24\nkey 0x15\nkey held\nkey 0x16\nno key\n"},
        {L"--chip-id 0x141 --remote-code 1:0x40:0x15 --remote-code 0:0x40:0x16",
         L"remote --count 3", 0,
         "bound: chip id 0x141\ncode 81 40 15 (toggle 1, address 0x40, command 0x15)\n"
         "code 01 40 16 (toggle 0, address 0x40, command 0x16)\ncode 00 40 16 (nothing "
         "received)\n"},
        {L"--ac97 0x1C=0x8000 --codec-busy 1999", L"codec 0x1C", 0,
         "bound: chip id 0x24\nAC97 register 0x1C: 0x8000\n"},
        {L"--ac97 0x1C=0x8000 --codec-busy forever", L"codec 0x1C", 1,
         "bound: chip id 0x24\ncodec not ready (status 5): nothing read\n"},
    };
    for (const auto& row : rows) {
        const Outcome add =
            Tool(L"add cam --name \"USB 7450 Device\" " + std::wstring(row.settings));
        ASSERT_EQ(add.exitCode, 0) << add.output;
        const Outcome run = Tool(row.command);
        EXPECT_EQ(run.exitCode, row.exitCode) << testing::PrintToString(row.settings);
        EXPECT_EQ(run.output, row.output);
    }
}

}  // namespace
