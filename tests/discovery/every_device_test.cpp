// ForEachCaptureFilter: every capture device the updater's search would
// consider, in its order, each once, and the first one the one Bind takes.
#include <vector>

#include "tests/discovery/discovery_bench.h"

using namespace discovery;

namespace {

// What a search handed out: "id:name" or "id:known", in order; stops after
// `limit` devices.
struct Collected {
    std::vector<std::wstring> devices;
    size_t limit = 100;
};

BOOL __stdcall Collect(void* context, IBaseFilter* filter, const char* friendlyName, DWORD match) {
    auto& collected = *static_cast<Collected*>(context);
    EXPECT_NE(friendlyName, nullptr);
    collected.devices.push_back(
        Id(filter) + (match == DeviceControl::kMatchedKnownModel ? L":known" : L":name"));
    return collected.devices.size() < collected.limit;
}

TEST_F(DiscoveryTest, ForEachCaptureFilterHandsOutEveryMatchingDeviceOnceInSearchOrder) {
    const struct {
        std::vector<sim::DeviceSettings> devices;
        const char* wanted;
        std::vector<std::wstring> found;
    } rows[] = {
        // clang-format off
        // The wanted name in both categories first, then the known models in
        // list order (5170 before 7450); a device the known list names again
        // is not handed out twice; other names never.
        {{Device(L"a", L"USB 7450 Device"), Device(L"b", L"USB 5170 Device"), Device(L"c", L"Lab Camera", DeviceCategory::BdaReceiver), Device(L"d", L"Plain Webcam"), Device(L"e", L"USB 7450 Device B", DeviceCategory::BdaReceiver)}, "Lab", {L"c:name", L"b:known", L"a:known", L"e:known"}},
        {{Device(L"a", L"USB 7450 Device"), Device(L"b", L"USB 5170 Device")}, "USB 7450 Device", {L"a:name", L"b:known"}},
        // An empty name matches every device, each once.
        {{Device(L"a", L"Plain Webcam"), Device(L"b", L"USB 5170 Device")}, "", {L"a:name", L"b:name"}},
        {{}, "USB 7450 Device", {}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.wanted);
        ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
        for (const sim::DeviceSettings& settings : row.devices) {
            Add(settings);
        }
        Collected collected;
        EXPECT_EQ(device.ForEachCaptureFilter(row.wanted, Collect, &collected), row.found.size());
        EXPECT_EQ(collected.devices, row.found);
    }
}

// A filter that fails to bind is passed over, as the first-device search
// passes it over; the first device handed out is the one Bind binds, and a
// FALSE from the callback ends the search there.
TEST_F(DiscoveryTest, ForEachCaptureFilterStartsWithTheDeviceBindTakes) {
    sim::DeviceSettings broken = Device(L"a", L"USB 7450 Device");
    broken.bindStatus = E_FAIL;
    Add(broken);
    Add(Chip(L"b", L"USB 6240 Device", {0x42}));
    Add(Chip(L"c", L"USB 5171 Device", {0x141}));
    Collected first;
    first.limit = 1;
    EXPECT_EQ(device.ForEachCaptureFilter("USB 7450 Device", Collect, &first), 1u);
    EXPECT_EQ(first.devices, std::vector<std::wstring>{L"c:known"});
    ASSERT_NE(device.Bind("USB 7450 Device"), nullptr);
    EXPECT_EQ(Access::ChipId(device), 0x41u) << "Bind took c too";
    EXPECT_EQ(device.ForEachCaptureFilter(nullptr, Collect, &first), 0u);
}

}  // namespace
