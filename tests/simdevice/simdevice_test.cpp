// The simulated device seen from outside: its registration, its EEPROM file
// and its injected faults through the library bound to it, and the device
// tool simdevctl run as a script would run it, its settings read back through
// the library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "devctl/device_control.h"
#include "tests/bench/sim_bench.h"
#include "tests/simdevice/simdevctl_tool.h"

using simbench::Device;
using simdevctl_tool::Outcome;
using simdevctl_tool::Tool;
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
        DeleteFileW((eeprom + sim::kEepromLockSuffix).c_str());
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

using SimdevctlTest = SimulatedDeviceTest;

// Every setting goes through the registry and comes back in the list.
TEST_F(SimdevctlTest, AddListRemove) {
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
    ASSERT_NE(device.Open(), nullptr) << "the library binds the device the tool added";
    DWORD chipId = 0;
    EXPECT_EQ(device.GetProperty(CPROP_CHIP_ID, &chipId), S_OK);
    EXPECT_EQ(chipId, 0x141u);
    BYTE option = 0;
    EXPECT_EQ(device.ReadI2c(0xA0, 0x08, 1, &option), S_OK);
    EXPECT_EQ(option, 0x85);
    device.Close();

    EXPECT_THAT(Tool(L"register").output, HasSubstr("registered "));
    EXPECT_EQ(Tool(L"remove cam1").exitCode, 0);
    EXPECT_EQ(Tool(L"remove cam1").exitCode, 1);
    EXPECT_EQ(Tool(L"remove --all").exitCode, 0);
    EXPECT_TRUE(sim::ListDevices().empty());
    EXPECT_EQ(Tool(L"list").output, "");
}

// The chip's power-on state set by the tool is what the library reads from
// the bound device.
TEST_F(SimdevctlTest, RemoteAndCodecSettingsReachTheBoundChip) {
    const BYTE kIdle = 0x00;  // no frame waiting; the last toggle bit stays clear
    const struct {
        const wchar_t* settings;
        std::vector<DWORD> keys;               // ReadRemoteKey, one per read (older chip)
        std::vector<std::vector<BYTE>> codes;  // GetRemoteCode, one per read (later chip)
    } remoteRows[] = {
        {L"--remote-code 1:0:0x15 --remote-code 1:0:0x15 --remote-code 0:0:0x16",
         {0x15, kRemoteKeyHeld, 0x16, kRemoteNoKey},
         {}},
        {L"--chip-id 0x141 --remote-code 1:0x40:0x15 --remote-code 0:0x40:0x16",
         {},
         {{0x81, 0x40, 0x15}, {0x01, 0x40, 0x16}, {kIdle, 0x40, 0x16}}},
    };
    for (const auto& row : remoteRows) {
        SCOPED_TRACE(testing::PrintToString(row.settings));
        const Outcome add =
            Tool(L"add cam --name \"USB 7450 Device\" " + std::wstring(row.settings));
        ASSERT_EQ(add.exitCode, 0) << add.output;
        ASSERT_NE(device.Open(), nullptr);
        for (const DWORD expected : row.keys) {
            DWORD key = 0;
            EXPECT_EQ(device.ReadRemoteKey(&key), S_OK);
            EXPECT_EQ(key, expected);
        }
        for (const std::vector<BYTE>& expected : row.codes) {
            BYTE code[8] = {};
            DWORD length = static_cast<DWORD>(expected.size());
            EXPECT_EQ(device.GetRemoteCode(code, &length), S_OK);
            EXPECT_EQ(std::vector<BYTE>(code, code + length), expected);
        }
        device.Close();
    }

    const struct {
        const wchar_t* settings;
        HRESULT status;
        WORD value;
    } codecRows[] = {
        {L"--ac97 0x1C=0x8000 --codec-busy 1999", S_OK, 0x8000},
        {L"--ac97 0x1C=0x8000 --codec-busy forever", DEVCTL_S_BUSY, 0},
    };
    for (const auto& row : codecRows) {
        SCOPED_TRACE(testing::PrintToString(row.settings));
        const Outcome add =
            Tool(L"add cam --name \"USB 7450 Device\" " + std::wstring(row.settings));
        ASSERT_EQ(add.exitCode, 0) << add.output;
        ASSERT_NE(device.Open(), nullptr);
        WORD value = 0;
        EXPECT_EQ(device.ReadAc97(0x1C, &value), row.status);
        EXPECT_EQ(value, row.value);
        device.Close();
    }
}

}  // namespace
