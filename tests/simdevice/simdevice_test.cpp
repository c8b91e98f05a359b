// The simulated device seen from outside: its registration, its EEPROM file
// and its injected faults through the library bound to it, and the device
// tool simdevctl run as a script would run it, its settings read back through
// the library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "devctl/device_control.h"
#include "tests/common/simtool_fixture.h"

using simbench::Device;
using simtool::Outcome;
using simtool::Simdevctl;
using ::testing::HasSubstr;

namespace {

class SimulatedDeviceTest : public simtool::FileDeviceTest {
  protected:
    SimulatedDeviceTest() : FileDeviceTest(L"velto1-simdevice-test.bin") {}
    void TearDown() override {
        device.Close();
        FileDeviceTest::TearDown();
    }

    DeviceControl device;
};

TEST_F(SimulatedDeviceTest, TheEepromPersistsInItsFileBetweenBindings) {
    const sim::DeviceSettings settings = FileDevice(L"cam");
    Add(settings);
    EXPECT_EQ(Bytes(), sim::FreshProductEeprom()) << "a missing file is created fresh";
    ASSERT_NE(device.Open(), nullptr);
    const BYTE cleared = 0x05;
    ASSERT_EQ(device.WriteI2c(0xA0, 0x08, 1, &cleared), S_OK);
    EXPECT_EQ(Bytes()[0x08], 0x05) << "written through before the device is closed";
    device.Close();
    Add(settings);
    ASSERT_NE(device.Open(), nullptr);
    BYTE option = 0;
    EXPECT_EQ(device.ReadI2c(0xA0, 0x08, 1, &option), S_OK);
    EXPECT_EQ(option, 0x05) << "an existing file is kept";
    device.Close();
    Add(settings, /*resetEeprom=*/true);
    EXPECT_EQ(Bytes(), sim::FreshProductEeprom());
    simtool::WriteFile(eeprom, "short", 5);
    EXPECT_EQ(sim::AddDevice(settings, false), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
}

constexpr HRESULT kNotReady = static_cast<HRESULT>(0x80070015);

TEST_F(SimulatedDeviceTest, InjectedFaultsReachTheLibrary) {
    // Open's four identity reads are calls 1 to 4; the ReadI2c after it begins with call 5.
    const struct {
        const char* what;
        void (*inject)(sim::DeviceSettings&);
        HRESULT expected;
    } rows[] = {
        // clang-format off
        {"fail at call 5", [](sim::DeviceSettings& s) { s.failAtCall[5] = kNotReady; }, kNotReady},
        {"fail on I2C data", [](sim::DeviceSettings& s) { s.failOnProperty[CPROP_I2C_DATA] = E_ACCESSDENIED; }, E_ACCESSDENIED},
        {"unplug from call 5", [](sim::DeviceSettings& s) { s.unplugFromCall = 5; }, DEVCTL_E_UNPLUGGED},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
        row.inject(settings);
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
    const Outcome add = Simdevctl(
        L"add cam1 --name \"USB 7450 Device\" --chip-id 0x141 --board-config 3 --eeprom \"" +
        eeprom +
        L"\" --fail-property 0x1019=0x80004005 --remote-code 1:0x40:0x15 --remote-code 0:0:255 "
        L"--codec-busy forever --ac97 0x1c=0x8000 --ac97 2=0x808 --config-103e 0x1000025");
    EXPECT_EQ(add.exitCode, 0) << add.output;
    EXPECT_EQ(add.output, "added cam1\n");
    EXPECT_EQ(Simdevctl(L"add b --name Old").exitCode, 0);
    EXPECT_EQ(Simdevctl(L"add b --name B --category bda --no-custom-property --chip-config 0x40 "
                        L"--remote-address 0x5A --remote-i2c-address 0x31 --fail-call 3=0x80004005 "
                        L"--unplug-from 12 --fail-bind 0x8007000E")
                  .exitCode,
              0);
    const Outcome list = Simdevctl(L"list");
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

    EXPECT_THAT(Simdevctl(L"register").output, HasSubstr("registered "));
    EXPECT_EQ(Simdevctl(L"remove cam1").exitCode, 0);
    EXPECT_EQ(Simdevctl(L"remove cam1").exitCode, 1);
    EXPECT_EQ(Simdevctl(L"remove --all").exitCode, 0);
    EXPECT_TRUE(sim::ListDevices().empty());
    EXPECT_EQ(Simdevctl(L"list").output, "");
}

// A file belongs to one device: a second device on it, even with
// --reset-eeprom, is refused and the first device's EEPROM keeps its bytes.
TEST_F(SimdevctlTest, AnEepromFileOfAnotherDeviceIsRefusedUntouched) {
    AddWithTool();
    ASSERT_NE(device.Open(), nullptr);
    const BYTE updated = 0x05;
    ASSERT_EQ(device.WriteI2c(0xA0, 0x08, 1, &updated), S_OK);
    device.Close();
    const Outcome add =
        Simdevctl(L"add other --name Other --eeprom \"" + eeprom + L"\" --reset-eeprom");
    EXPECT_EQ(add.exitCode, 1);
    EXPECT_THAT(add.output, HasSubstr("add other failed: the EEPROM file \""));
    EXPECT_THAT(add.output, HasSubstr("is device cam's; each device keeps a file of its own"));
    EXPECT_EQ(Bytes()[8], 0x05);
    EXPECT_EQ(sim::AddDevice(FileDevice(L"other"), true),
              HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Bytes()[8], 0x05);
    EXPECT_EQ(sim::ListDevices().size(), 1u);
    EXPECT_EQ(Simdevctl(L"add cam --name Again --eeprom \"" + eeprom + L"\"").exitCode, 0)
        << "the device itself may be added again on its own file";
}

}  // namespace
