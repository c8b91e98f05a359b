// Finding and binding the capture device through the real system device
// enumerator, with simulated devices registered in the test prefix.
#include <gtest/gtest.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "devctl/device_categories.h"
#include "devctl/device_control.h"
#include "tests/bench/sim_bench.h"
#include "tests/common/test_support.h"

using Microsoft::WRL::ComPtr;
using sim::DeviceCategory;
using simbench::Device;
using simbench::DeviceId;

namespace {

using Access = DeviceControlTestAccess;

// Takes over the reference a search hands back.
ComPtr<IBaseFilter> Owned(IBaseFilter* filter) {
    ComPtr<IBaseFilter> owned;
    *owned.ReleaseAndGetAddressOf() = filter;
    return owned;
}

class DiscoveryTest : public simbench::SimDeviceTest {
  protected:
    void TearDown() override {
        device.Close();
        device.ReleaseAudioFilters();
        simbench::SimDeviceTest::TearDown();
    }

    // Which simulated device a search found ("" for none).
    std::wstring Found(IBaseFilter* filter) { return DeviceId(Owned(filter).Get()); }

    DeviceControl device;
};

// --- The prefix rule -------------------------------------------------------

struct PrefixCase {
    const wchar_t* friendlyName;
    bool matches;
};

class PrefixRuleTest : public DiscoveryTest, public ::testing::WithParamInterface<PrefixCase> {};

INSTANTIATE_TEST_SUITE_P(Names, PrefixRuleTest,
                         ::testing::Values(PrefixCase{L"USB 7450 Device", true},
                                           PrefixCase{L"USB 7450 Device Rev. B", true},
                                           PrefixCase{L"usb 7450 device", false},
                                           PrefixCase{L"USB 7450", false},
                                           PrefixCase{L"USB 7450 Devic", false},
                                           PrefixCase{L" USB 7450 Device", false}));

TEST_P(PrefixRuleTest, FriendlyNameBeginsWithTheWantedName) {
    Add(Device(L"cam", GetParam().friendlyName));
    EXPECT_EQ(Found(device.FindFilter(CLSID_VideoInputDeviceCategory, "USB 7450 Device")),
              GetParam().matches ? L"cam" : L"");
}

TEST_F(DiscoveryTest, AnEmptyWantedNameMatchesAnyDevice) {
    Add(Device(L"cam", L"Whatever Camera"));
    EXPECT_EQ(Found(device.FindFilter(CLSID_VideoInputDeviceCategory, "")), L"cam");
}

TEST_F(DiscoveryTest, ANullWantedNameSearchesNothing) {
    Add(Device(L"cam", L"USB 7450 Device"));
    Access::LastResult(device) = 12345;
    EXPECT_EQ(device.FindFilter(CLSID_VideoInputDeviceCategory, nullptr), nullptr);
    EXPECT_EQ(device.GetLastResult(), 12345);
}

TEST_F(DiscoveryTest, AFriendlyNameTooLongForTheBufferIsNoMatch) {
    Add(Device(L"long", L"USB 7450 Device" + std::wstring(300, L'x')));
    Add(Device(L"longest-fit", L"USB 7450 Device" + std::wstring(244, L'y')));  // 259 bytes
    EXPECT_EQ(Found(device.FindFilter(CLSID_VideoInputDeviceCategory, "USB 7450 Device")),
              L"longest-fit");
}

TEST_F(DiscoveryTest, TheFirstMatchingDeviceThatBindsWins) {
    sim::DeviceSettings broken = Device(L"a-broken", L"USB 7450 Device");
    broken.bindStatus = E_ACCESSDENIED;
    Add(broken);
    Add(Device(L"b-good", L"USB 7450 Device"));
    Add(Device(L"c-later", L"USB 7450 Device"));
    EXPECT_EQ(Found(device.FindFilter(CLSID_VideoInputDeviceCategory, "USB 7450")), L"b-good");
    EXPECT_EQ(device.GetLastResult(), S_OK);
}

TEST_F(DiscoveryTest, NoMatchingDeviceThatBindsGivesNull) {
    sim::DeviceSettings broken = Device(L"broken", L"USB 7450 Device");
    broken.bindStatus = E_ACCESSDENIED;
    Add(broken);
    EXPECT_EQ(device.FindFilter(CLSID_VideoInputDeviceCategory, "USB 7450"), nullptr);
    EXPECT_EQ(device.GetLastResult(), E_ACCESSDENIED);
}

TEST_F(DiscoveryTest, AnEmptyCategoryGivesNullWithLastResultOne) {
    EXPECT_EQ(device.FindFilter(KSCATEGORY_BDA_RECEIVER_COMPONENT, ""), nullptr);
    EXPECT_EQ(device.GetLastResult(), S_FALSE);
}

TEST_F(DiscoveryTest, EachCategoryIsSearchedOnItsOwn) {
    Add(Device(L"mic", L"USB 7450 Device", DeviceCategory::AudioInput));
    EXPECT_EQ(device.FindFilter(CLSID_VideoInputDeviceCategory, "USB 7450 Device"), nullptr);
    EXPECT_EQ(Found(device.FindFilter(CLSID_AudioInputDeviceCategory, "USB 7450 Device")), L"mic");
}

// --- Categories and names ----------------------------------------------------

TEST_F(DiscoveryTest, VideoInputIsSearchedBeforeBdaReceivers) {
    Add(Device(L"a-bda", L"USB 7450 Device", DeviceCategory::BdaReceiver));
    Add(Device(L"b-video", L"USB 7450 Device"));
    EXPECT_EQ(Found(device.FindCaptureFilterByName("USB 7450 Device")), L"b-video");
}

TEST_F(DiscoveryTest, ABdaReceiverIsFoundWhenNoVideoInputMatches) {
    Add(Device(L"bda", L"USB 7450 Device", DeviceCategory::BdaReceiver));
    Add(Device(L"video", L"USB 5170 Device"));
    EXPECT_EQ(Found(device.FindCaptureFilterByName("USB 7450 Device")), L"bda");
}

struct KnownListCase {
    const wchar_t* first;   // registered first (enumerated first)
    const wchar_t* second;  // registered second
    const wchar_t* expected;
};

class KnownListTest : public DiscoveryTest, public ::testing::WithParamInterface<KnownListCase> {};

INSTANTIATE_TEST_SUITE_P(Order, KnownListTest,
                         ::testing::Values(
                             // List order, not enumeration or numeric order.
                             KnownListCase{L"USB 93138 Device", L"USB 6240 Device", L"b"},
                             KnownListCase{L"USB 7238 Device", L"USB 7806 Device", L"b"},
                             KnownListCase{L"USB 5931 Device", L"USB 6710 Device", L"a"},
                             // Names off the list, or shorter than a listed name, are never found.
                             KnownListCase{L"USB 9999 Device", L"USB 93120 Device", L"b"},
                             KnownListCase{L"Some Camera", L"USB 5170", L""}));

TEST_P(KnownListTest, FindsTheEarliestNameOfTheList) {
    Add(Device(L"a", GetParam().first));
    Add(Device(L"b", GetParam().second));
    EXPECT_EQ(Found(device.FindKnownCaptureFilter()), GetParam().expected);
}

TEST_F(DiscoveryTest, BothCategoriesAreTriedForANameBeforeTheNextName) {
    Add(Device(L"a", L"USB 5171 Device"));
    Add(Device(L"b", L"USB 5170 Device", DeviceCategory::BdaReceiver));
    EXPECT_EQ(Found(device.FindKnownCaptureFilter()), L"b");
}

TEST_F(DiscoveryTest, OpenTriesTheDefaultNameBeforeTheKnownList) {
    simbench::MachineKeyRedirect machine;  // no capture key
    sim::DeviceSettings listed = Device(L"a", L"USB 5170 Device");
    listed.identity.chipId = 0x51;
    sim::DeviceSettings named = Device(L"b", L"USB 7450 Device");
    named.identity.chipId = 0x74;
    Add(listed);
    Add(named);
    ASSERT_NE(device.Open(), nullptr);
    EXPECT_EQ(Access::ChipId(device), 0x74u);
    EXPECT_EQ(Found(device.FindCaptureFilter()), L"b");
    EXPECT_EQ(Found(device.FindKnownCaptureFilter()), L"a");
}

TEST_F(DiscoveryTest, OpenFallsBackToTheKnownList) {
    simbench::MachineKeyRedirect machine;
    machine.SetString("Software\\USB5170\\BDA", "DSName", "Absent Camera");
    Add(Device(L"a", L"USB 6241 Device"));
    EXPECT_NE(device.Open(), nullptr);
    EXPECT_EQ(Found(device.FindCaptureFilter()), L"a");
}

TEST_F(DiscoveryTest, EmptyRealDSNameBindsTheFirstReadableVideoInputDevice) {
    simbench::MachineKeyRedirect machine;
    machine.SetString("Software\\USB5170\\BDA", "RealDSName", "");
    sim::DeviceSettings broken = Device(L"a", L"Broken Camera");
    broken.bindStatus = E_FAIL;
    sim::DeviceSettings any = Device(L"b", L"Any Camera");
    any.identity.chipId = 0x42;
    Add(broken);
    Add(any);
    Add(Device(L"c", L"USB 7450 Device"));
    ASSERT_NE(device.Open(), nullptr);
    EXPECT_EQ(Access::ChipId(device), 0x42u);
}

TEST_F(DiscoveryTest, EmptyRealDSNameEndsAtAFilterWithoutTheDriverInterface) {
    simbench::MachineKeyRedirect machine;
    machine.SetString("Software\\USB5170\\BDA", "RealDSName", "");
    sim::DeviceSettings plain = Device(L"a", L"Plain Webcam");
    plain.offersCustomProperty = false;
    Add(plain);
    Add(Device(L"b", L"USB 7450 Device"));
    EXPECT_EQ(device.Open(), nullptr);
    EXPECT_EQ(device.GetLastResult(), E_NOINTERFACE);
    EXPECT_EQ(Access::Driver(device), nullptr);
}

// --- Binding -------------------------------------------------------------------

struct ChipCase {
    DWORD reported;
    DWORD chipId;
    DWORD newGeneration;
};

class ChipGenerationTest : public DiscoveryTest, public ::testing::WithParamInterface<ChipCase> {};

INSTANTIATE_TEST_SUITE_P(Codes, ChipGenerationTest,
                         ::testing::Values(ChipCase{0x141, 0x41, 1}, ChipCase{0x62, 0x62, 0},
                                           ChipCase{0x33, 0x33, 0}, ChipCase{0x74, 0x74, 1},
                                           ChipCase{0xFF32, 0x32, 1}));

TEST_P(ChipGenerationTest, BindKeepsTheLowByteAndClassifiesIt) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.identity = {GetParam().reported, 0, 0x13, 0x5A, 0x31};
    Add(settings);
    ICustomProperty* driver = device.Bind("USB 7450 Device");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(Access::Driver(device), driver);
    EXPECT_EQ(device.GetLastResult(), S_OK);
    EXPECT_EQ(Access::ChipId(device), GetParam().chipId);
    EXPECT_EQ(Access::NewGeneration(device), GetParam().newGeneration);
    EXPECT_EQ(Access::BoardConfig(device), 0x13u);
    EXPECT_EQ(Access::RemoteAddress(device), 0x5Au);
    EXPECT_EQ(Access::RemoteI2cAddress(device), 0x31u);
}

TEST_F(DiscoveryTest, AFailedIdentityReadDoesNotFailTheBind) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.failOnProperty[CPROP_CHIP_ID] = E_FAIL;
    Add(settings);
    EXPECT_NE(device.Bind("USB 7450 Device"), nullptr);
    EXPECT_EQ(device.GetLastResult(), S_OK);
}

TEST_F(DiscoveryTest, ANamedFilterWithoutTheInterfaceEndsTheBind) {
    sim::DeviceSettings plain = Device(L"a", L"Studio Camera");
    plain.offersCustomProperty = false;
    Add(plain);
    Add(Device(L"b", L"USB 5170 Device"));
    EXPECT_EQ(device.Bind("Studio"), nullptr);
    EXPECT_EQ(device.GetLastResult(), E_NOINTERFACE);
    EXPECT_EQ(Access::Driver(device), nullptr);
}

TEST_F(DiscoveryTest, BindWithNothingFoundLeavesTheObjectAsItWas) {
    Add(Device(L"cam", L"Studio Camera"));
    EXPECT_EQ(device.Bind("USB 7450 Device"), nullptr);
    EXPECT_EQ(Access::Driver(device), nullptr);
}

TEST_F(DiscoveryTest, TheBoundDriverTalksToTheDevice) {
    Add(Device(L"cam", L"USB 7450 Device"));
    ASSERT_NE(device.Open(), nullptr);
    BYTE option = 0;
    EXPECT_EQ(device.ReadI2c(0xA0, 0x08, 1, &option), S_OK);
    EXPECT_EQ(option, 0x85);
}

// --- Probing ---------------------------------------------------------------------

sim::DeviceSettings ProbedDevice() {
    sim::DeviceSettings settings = Device(L"probed", L"USB 5170 Device");
    settings.identity = {0x141, 0, 0x0B, 0x77, 0x3D};
    return settings;
}

TEST_F(DiscoveryTest, CanBindOnAnUnboundObjectKeepsTheProbedFacts) {
    Add(ProbedDevice());
    EXPECT_EQ(device.CanBind("USB 5170 Device"), TRUE);
    EXPECT_EQ(Access::Driver(device), nullptr);
    EXPECT_EQ(Access::ChipId(device), 0x41u);
    EXPECT_EQ(Access::NewGeneration(device), 1u);
}

TEST_F(DiscoveryTest, CanBindOnABoundObjectPutsBackTheDriverAndItsFacts) {
    sim::DeviceSettings bound = Device(L"bound", L"USB 7450 Device");
    bound.identity = {0x62, 0, 0x02, 0x11, 0x00};
    Add(bound);
    Add(ProbedDevice());
    ICustomProperty* driver = device.Bind("USB 7450 Device");
    ASSERT_NE(driver, nullptr);

    EXPECT_EQ(device.CanBind("USB 5170 Device"), TRUE);
    EXPECT_EQ(Access::Driver(device), driver);
    EXPECT_EQ(Access::ChipId(device), 0x62u);
    EXPECT_EQ(Access::NewGeneration(device), 0u);
    EXPECT_EQ(Access::BoardConfig(device), 0x02u);
    EXPECT_EQ(Access::RemoteAddress(device), 0x11u);
    EXPECT_EQ(Access::RemoteI2cAddress(device), 0x00u);
    DWORD chipId = 0;
    EXPECT_EQ(device.GetProperty(CPROP_CHIP_ID, &chipId), S_OK);
    EXPECT_EQ(chipId, 0x62u) << "the held driver still talks to the bound device";

    sim::DeviceSettings plain = Device(L"plain", L"Plain Webcam");
    plain.identity.chipId = 0x33;
    plain.offersCustomProperty = false;
    Add(plain);
    EXPECT_EQ(device.CanBind("Plain Webcam"), FALSE);
    EXPECT_EQ(Access::Driver(device), driver);
    EXPECT_EQ(Access::ChipId(device), 0x62u);
}

TEST_F(DiscoveryTest, IsDevicePresentProbesTheCaptureName) {
    simbench::MachineKeyRedirect machine;
    machine.SetString("Software\\USB5170\\BDA", "RealDSName", "Lab Camera");
    EXPECT_EQ(device.IsDevicePresent(), FALSE);
    Add(Device(L"cam", L"Lab Camera 2"));
    EXPECT_EQ(device.IsDevicePresent(), TRUE);
    EXPECT_EQ(Access::Driver(device), nullptr);
}

}  // namespace
