// The simulated device seen from outside: its registration, its EEPROM file,
// its injected faults, and its COM server.
#include <gtest/gtest.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "devctl/device_control.h"
#include "simdevice/filter/sim_device_ids.h"
#include "tests/bench/sim_bench.h"

using Microsoft::WRL::ComPtr;
using sim::DeviceCategory;
using simbench::Device;

namespace {

std::wstring TempFile(const wchar_t* name) {
    wchar_t directory[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, directory);
    return std::wstring(directory) + name;
}

sim::EepromImage FileBytes(const std::wstring& path) {
    sim::EepromImage image = {};
    EXPECT_EQ(sim::LoadEepromFile(path, image), S_OK);
    return image;
}

class SimulatedDeviceTest : public simbench::SimDeviceTest {
  protected:
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        eeprom = TempFile(L"velto1-simdevice-test.bin");
        DeleteFileW(eeprom.c_str());
    }
    void TearDown() override {
        device.Close();
        simbench::SimDeviceTest::TearDown();
        DeleteFileW(eeprom.c_str());
    }

    std::wstring eeprom;
    DeviceControl device;
};

// --- Registration ------------------------------------------------------------

TEST_F(SimulatedDeviceTest, EverySettingSurvivesTheRegistry) {
    sim::DeviceSettings settings = Device(L"full", L"USB 7450 Device", DeviceCategory::KsAudio);
    settings.identity = {0x141, 0x40, 0x13, 0x5A, 0x31};
    settings.eepromFile = eeprom;
    settings.offersCustomProperty = false;
    settings.failAtCall = {{3, E_FAIL}, {9, static_cast<HRESULT>(0x80070015)}};
    settings.failOnProperty = {{CPROP_I2C_DATA, E_ACCESSDENIED}};
    settings.unplugFromCall = 12;
    settings.bindStatus = E_OUTOFMEMORY;
    Add(settings);
    const std::vector<sim::DeviceSettings> listed = sim::ListDevices();
    ASSERT_EQ(listed.size(), 1u);
    const sim::DeviceSettings& back = listed[0];
    EXPECT_EQ(back.id, L"full");
    EXPECT_EQ(back.friendlyName, L"USB 7450 Device");
    EXPECT_EQ(back.category, DeviceCategory::KsAudio);
    EXPECT_EQ(back.identity.chipId, 0x141u);
    EXPECT_EQ(back.identity.chipConfig, 0x40u);
    EXPECT_EQ(back.identity.boardConfig, 0x13u);
    EXPECT_EQ(back.identity.remoteAddress, 0x5Au);
    EXPECT_EQ(back.identity.remoteI2cAddress, 0x31u);
    EXPECT_EQ(back.eepromFile, eeprom);
    EXPECT_FALSE(back.offersCustomProperty);
    EXPECT_EQ(back.failAtCall, settings.failAtCall);
    EXPECT_EQ(back.failOnProperty, settings.failOnProperty);
    EXPECT_EQ(back.unplugFromCall, 12u);
    EXPECT_EQ(back.bindStatus, E_OUTOFMEMORY);
}

TEST_F(SimulatedDeviceTest, AddingAnExistingIdReplacesTheDevice) {
    Add(Device(L"cam", L"First Name"));
    Add(Device(L"cam", L"Second Name", DeviceCategory::BdaReceiver));
    const std::vector<sim::DeviceSettings> listed = sim::ListDevices();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].friendlyName, L"Second Name");
    EXPECT_EQ(listed[0].category, DeviceCategory::BdaReceiver);
}

TEST_F(SimulatedDeviceTest, BadIdsAndNamesAreRefused) {
    for (const wchar_t* id : {L"", L"a\\b", L"with space", L"caf\u00E9"}) {
        EXPECT_EQ(sim::AddDevice(Device(id, L"Name"), false), E_INVALIDARG) << id;
    }
    EXPECT_EQ(sim::AddDevice(Device(L"ok", L""), false), E_INVALIDARG);
    EXPECT_EQ(sim::RemoveDevice(L"absent"), S_FALSE);
    EXPECT_TRUE(sim::ListDevices().empty());
}

TEST_F(SimulatedDeviceTest, RemovingADeviceTakesItOutOfItsCategory) {
    Add(Device(L"cam", L"USB 7450 Device"));
    EXPECT_EQ(sim::RemoveDevice(L"cam"), S_OK);
    EXPECT_EQ(device.FindFilter(CLSID_VideoInputDeviceCategory, "USB 7450 Device"), nullptr);
    EXPECT_EQ(device.GetLastResult(), S_FALSE) << "the category is empty again";
}

// --- The EEPROM file ----------------------------------------------------------

TEST_F(SimulatedDeviceTest, AMissingEepromFileIsCreatedFresh) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.eepromFile = eeprom;
    Add(settings);
    EXPECT_EQ(FileBytes(eeprom), sim::FreshProductEeprom());
}

TEST_F(SimulatedDeviceTest, AnExistingEepromFileIsKeptUnlessReset) {
    ASSERT_EQ(sim::SaveEepromFile(eeprom, sim::UpdatedProductEeprom()), S_OK);
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.eepromFile = eeprom;
    Add(settings);
    EXPECT_EQ(FileBytes(eeprom), sim::UpdatedProductEeprom());
    Add(settings, /*resetEeprom=*/true);
    EXPECT_EQ(FileBytes(eeprom), sim::FreshProductEeprom());
}

TEST_F(SimulatedDeviceTest, AnEepromFileOfTheWrongSizeIsRefused) {
    const HANDLE file = CreateFileW(eeprom.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "short", 5, &written, nullptr);
    CloseHandle(file);
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.eepromFile = eeprom;
    EXPECT_EQ(sim::AddDevice(settings, false), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    EXPECT_TRUE(sim::ListDevices().empty());
}

TEST_F(SimulatedDeviceTest, EepromWritesReachTheFileAtOnceAndPersist) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.eepromFile = eeprom;
    Add(settings);
    ASSERT_NE(device.Open(), nullptr);
    const BYTE cleared = 0x05;
    ASSERT_EQ(device.WriteI2c(0xA0, 0x08, 1, &cleared), S_OK);
    EXPECT_EQ(FileBytes(eeprom)[0x08], 0x05) << "written through before the device is closed";
    device.Close();

    DeviceControl again;
    ASSERT_NE(again.Open(), nullptr);
    BYTE option = 0;
    EXPECT_EQ(again.ReadI2c(0xA0, 0x08, 1, &option), S_OK);
    EXPECT_EQ(option, 0x05);
    again.Close();
}

TEST_F(SimulatedDeviceTest, FiltersOfOneDeviceShareItsChip) {
    Add(Device(L"cam", L"USB 7450 Device"));
    ASSERT_NE(device.Open(), nullptr);
    const BYTE cleared = 0x05;
    ASSERT_EQ(device.WriteI2c(0xA0, 0x08, 1, &cleared), S_OK);
    DeviceControl second;
    ASSERT_NE(second.Open(), nullptr);
    BYTE option = 0;
    EXPECT_EQ(second.ReadI2c(0xA0, 0x08, 1, &option), S_OK);
    EXPECT_EQ(option, 0x05);
    second.Close();
}

// --- Injected faults -------------------------------------------------------------

struct FaultCase {
    const char* description;
    void (*plan)(sim::DeviceSettings&);
    HRESULT expected;  // of a ReadI2c right after Open (whose four reads are calls 1 to 4)
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.description;
}

class InjectedFaultTest : public SimulatedDeviceTest,
                          public ::testing::WithParamInterface<FaultCase> {};

INSTANTIATE_TEST_SUITE_P(
    Plans, InjectedFaultTest,
    ::testing::Values(
        FaultCase{"none", [](sim::DeviceSettings&) {}, S_OK},
        FaultCase{
            "fifth call",
            [](sim::DeviceSettings& s) { s.failAtCall[5] = static_cast<HRESULT>(0x80070015); },
            static_cast<HRESULT>(0x80070015)},
        FaultCase{"sixth call", [](sim::DeviceSettings& s) { s.failAtCall[6] = E_ABORT; }, E_ABORT},
        FaultCase{"I2C data property",
                  [](sim::DeviceSettings& s) { s.failOnProperty[CPROP_I2C_DATA] = E_ACCESSDENIED; },
                  E_ACCESSDENIED},
        FaultCase{"unplugged from call 5", [](sim::DeviceSettings& s) { s.unplugFromCall = 5; },
                  DEVCTL_E_UNPLUGGED}));

TEST_P(InjectedFaultTest, ReachTheLibraryThroughTheBoundFilter) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    GetParam().plan(settings);
    Add(settings);
    ASSERT_NE(device.Open(), nullptr);
    BYTE option = 0;
    EXPECT_EQ(device.ReadI2c(0xA0, 0x08, 1, &option), GetParam().expected);
}

// --- The COM server ------------------------------------------------------------------

TEST_F(SimulatedDeviceTest, AFilterCreatedDirectlyIsAMinimalFilterWithoutPins) {
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(CoCreateInstance(sim::CLSID_SimCaptureFilter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&filter)),
              S_OK);
    CLSID clsid = {};
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, sim::CLSID_SimCaptureFilter);
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(filter->EnumPins(&pins), S_OK);
    IPin* pin = nullptr;
    ULONG fetched = 7;
    EXPECT_EQ(pins->Next(1, &pin, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(filter->Run(0), S_OK);
    FILTER_STATE state = State_Stopped;
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    ComPtr<ICustomProperty> driver;
    ASSERT_EQ(filter.As(&driver), S_OK);
    DWORD chipId = 0;
    EXPECT_EQ(driver->Get(CPROP_CHIP_ID, &chipId), S_OK);
    EXPECT_EQ(chipId, sim::ChipIdentity().chipId);
    EXPECT_GT(simbench::LiveObjects(), 0);
    pins.Reset();
    driver.Reset();
    filter.Reset();
    EXPECT_EQ(simbench::LiveObjects(), 0);
}

TEST_F(SimulatedDeviceTest, ThePropertyPageListNamesThePage) {
    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(CoCreateInstance(sim::CLSID_SimCaptureFilter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&pages)),
              S_OK);
    CAUUID list = {};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_EQ(list.pElems[0], sim::CLSID_SimDevicePropertyPage);
    CoTaskMemFree(list.pElems);
    ComPtr<IPropertyPage> page;
    EXPECT_EQ(CoCreateInstance(sim::CLSID_SimDevicePropertyPage, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&page)),
              S_OK);
}

}  // namespace
