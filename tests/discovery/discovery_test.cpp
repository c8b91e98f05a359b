// Finding and binding the capture device through the real system device
// enumerator: which device a search takes, and what binding keeps.
#include "tests/discovery/discovery_bench.h"

using namespace discovery;

namespace {

// --- Searching -------------------------------------------------------------

// The friendly name must begin with the wanted name, byte for byte in the ANSI
// code page. A name that code page can't carry as it is matches nothing: "?"
// in place of the Japanese, or a look-alike in place of a fullwidth letter,
// would bind the wrong device. The tests run with code page 1252 (LC_ALL is
// set for them), where the Japanese "カメラ" reads "???".
TEST_F(DiscoveryTest, TheFriendlyNameMustBeginWithTheWantedNameExactly) {
    ASSERT_EQ(GetACP(), 1252u) << "the discovery tests run with the Western code page";
    const struct {
        std::wstring friendlyName;
        const char* wanted;
        bool matches;
    } rows[] = {
        {L"USB 7450 Device Rev. B", "USB 7450 Device", true},
        {L"usb 7450 device", "USB 7450 Device", false},
        {L"USB 7450", "USB 7450 Device", false},
        {L"My USB 7450 Device", "USB 7450 Device", false},  // contains it, but later
        {L"USB 7450 Device", nullptr, false},
        // 259 characters and the terminator fill the name buffer; longer is no match.
        {std::wstring(259, L'U'), "U", true},
        {std::wstring(260, L'U'), "U", false},
        {L"ビデオ Device", "???", false},
        {L"USB 7450 Device ビデオ", "USB 7450 Device", false},
        {L"ＵＳＢ 7450 Device", "USB 7450 Device", false},  // fullwidth "USB"
        // Names the code page carries still match, question marks included.
        {L"Caméra Device", "Cam\xE9ra", true},
        {L"??? Device", "???", true},
    };
    for (const auto& row : rows) {
        Add(Device(L"cam", row.friendlyName));
        EXPECT_EQ(Found(device.FindFilter(CLSID_VideoInputDeviceCategory, row.wanted)),
                  row.matches ? L"cam" : L"")
            << testing::PrintToString(row.friendlyName) << " for "
            << (row.wanted ? row.wanted : "null");
    }
}

// A category without devices, or one that isn't registered at all, gives no
// enumerator: no filter, and the last result 1 (S_FALSE).
TEST_F(DiscoveryTest, FindFilterInACategoryWithoutDevicesRecordsOne) {
    const GUID unregistered = {
        0x5e1f0c3a, 0x1c2b, 0x4d5e, {0x9a, 0x8b, 0x7c, 0x6d, 0x5e, 0x4f, 0x30, 0x21}};
    Add(Device(L"cam", L"USB 7450 Device"));  // in another category
    for (const GUID& category : {KSCATEGORY_BDA_RECEIVER_COMPONENT, unregistered}) {
        Access::LastResult(device) = 42;
        EXPECT_EQ(Found(device.FindFilter(category, "")), L"");
        EXPECT_EQ(device.GetLastResult(), S_FALSE);
    }
}

TEST_F(DiscoveryTest, VideoInputIsSearchedBeforeBdaReceivers) {
    Add(Device(L"a-bda", L"USB 7450 Device", DeviceCategory::BdaReceiver));
    Add(Device(L"b-video", L"USB 7450 Device"));
    Add(Device(L"c-bda", L"USB 5170 Device", DeviceCategory::BdaReceiver));
    EXPECT_EQ(Found(device.FindCaptureFilterByName("USB 7450 Device")), L"b-video");
    EXPECT_EQ(Found(device.FindCaptureFilterByName("USB 5170 Device")), L"c-bda");
}

TEST_F(DiscoveryTest, TheKnownModelsAreTriedInTheirListOrder) {
    const struct {
        const wchar_t* first;  // registered (and enumerated) first
        const wchar_t* second;
        DeviceCategory secondCategory;
        const wchar_t* found;
    } rows[] = {
        // 7806 comes before 7238 in the list: neither enumeration nor numeric order.
        {L"USB 7238 Device", L"USB 7806 Device", DeviceCategory::VideoInput, L"b"},
        // Both categories are tried for one name before the next name.
        {L"USB 5171 Device", L"USB 5170 Device", DeviceCategory::BdaReceiver, L"b"},
        // Names off the list, or shorter than a listed name, are never found.
        {L"Some Camera", L"USB 5170", DeviceCategory::VideoInput, L""},
    };
    for (const auto& row : rows) {
        Add(Device(L"a", row.first));
        Add(Device(L"b", row.second, row.secondCategory));
        EXPECT_EQ(Found(device.FindKnownCaptureFilter()), row.found) << row.first;
    }
}

TEST_F(DiscoveryTest, EmptyRealDSNameBindsTheFirstReadableVideoInputDevice) {
    SetName(kCaptureKey, "RealDSName", Text(""));
    sim::DeviceSettings broken = Device(L"a", L"Broken Camera");
    broken.bindStatus = E_FAIL;
    Add(broken);
    Add(Chip(L"b", L"Any Camera", {0x42}));
    Add(Device(L"c", L"USB 7450 Device"));
    ASSERT_NE(device.Open(), nullptr);
    EXPECT_EQ(Access::ChipId(device), 0x42u);
    // A filter without the driver's interface ends the search there.
    Add(Chip(L"b", L"Plain Webcam", {0x42}, false));
    EXPECT_EQ(device.Open(), nullptr);
    EXPECT_EQ(device.GetLastResult(), E_NOINTERFACE);
    EXPECT_EQ(Access::Driver(device), nullptr);
}

// --- Binding ----------------------------------------------------------------

TEST_F(DiscoveryTest, CanBindProbesWithoutKeepingTheProbedDriver) {
    const sim::ChipIdentity bound = {0x62, 0, 0x02, 0x11, 0x00};
    const sim::ChipIdentity probed = {0x141, 0, 0x0B, 0x77, 0x3D};
    Add(Chip(L"bound", L"USB 7450 Device", bound));
    Add(Chip(L"probed", L"USB 5170 Device", probed));
    Add(Chip(L"plain", L"Plain Webcam", {0x33}, false));
    EXPECT_EQ(device.CanBind("USB 5170 Device"), TRUE);
    EXPECT_EQ(Access::Driver(device), nullptr);
    EXPECT_EQ(KeptIdentity(), IdentityOf(probed, 1));

    ASSERT_NE(device.Bind("USB 7450 Device"), nullptr);
    const LONG heldByOneBinding = simbench::LiveObjects();
    ICustomProperty* driver = device.Bind("USB 7450 Device");
    EXPECT_EQ(simbench::LiveObjects(), heldByOneBinding) << "the first driver is let go";

    const std::pair<const char*, BOOL> probes[] = {{"USB 5170 Device", TRUE},
                                                   {"Plain Webcam", FALSE}};
    for (const auto& [probe, bindable] : probes) {
        EXPECT_EQ(device.CanBind(probe), bindable) << probe;
        EXPECT_EQ(Access::Driver(device), driver);
        EXPECT_EQ(KeptIdentity(), IdentityOf(bound, 0)) << "after probing " << probe;
    }
}

// FindCaptureFilter looks for the registry's capture name (or the default),
// then the known models, and hands the filter over (Found releases it).
// IsDevicePresent (and Open) bind the same way; IsDevicePresent keeps nothing.
TEST_F(DiscoveryTest, FindCaptureFilterAndIsDevicePresentTakeTheCaptureName) {
    const struct {
        const char* registryName;  // RealDSName; nullptr: none, the default name
        const wchar_t* firstName;  // two devices, registered in this order
        const wchar_t* secondName;
        bool secondHasTheInterface;
        const wchar_t* found;  // by FindCaptureFilter ("" for nothing)
        BOOL present;
    } rows[] = {
        {"Lab Camera", L"USB 5170 Device", L"Lab Camera", true, L"b", TRUE},
        {nullptr, L"USB 5170 Device", L"USB 7450 Device", true, L"b", TRUE},
        // The registry name finds nothing: the known models, in list order.
        {"Absent Camera", L"USB 7450 Device", L"USB 5170 Device", true, L"b", TRUE},
        {nullptr, L"Some Camera", L"Other Camera", true, L"", FALSE},
        // Found, but without the driver's interface: present it is not.
        {"Plain Webcam", L"USB 5170 Device", L"Plain Webcam", false, L"b", FALSE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.registryName ? row.registryName : "(default name)");
        RegDeleteTreeW(machine.Get(), nullptr);
        if (row.registryName) {
            SetName(kCaptureKey, "RealDSName", Text(row.registryName));
        }
        Add(Chip(L"a", row.firstName, {0x24}));
        Add(Chip(L"b", row.secondName, {0x141}, row.secondHasTheInterface));
        EXPECT_EQ(Found(device.FindCaptureFilter()), row.found);
        EXPECT_EQ(device.IsDevicePresent(), row.present);
        EXPECT_EQ(Access::Driver(device), nullptr) << "the probe keeps nothing";
        EXPECT_EQ(simbench::LiveObjects(), 0);
        sim::RemoveAllDevices();
    }
}

}  // namespace
