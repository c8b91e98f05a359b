#include "tests/bench/sim_bench.h"

#include "common/module_folder.h"

namespace simbench {

std::wstring DllPath() {
    return velto1::ModuleFolder() + L"simdevice.dll";
}

LONG LiveObjects() {
    const HMODULE dll = GetModuleHandleW(L"simdevice.dll");
    if (!dll) {
        return 0;
    }
    const auto count = reinterpret_cast<LONG(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "SimDeviceLiveObjects")));
    return count ? count() : -1;
}

sim::DeviceSettings Device(const std::wstring& id, const std::wstring& friendlyName,
                           sim::DeviceCategory category) {
    sim::DeviceSettings settings;
    settings.id = id;
    settings.friendlyName = friendlyName;
    settings.category = category;
    return settings;
}

void SimDeviceTest::SetUp() {
    com_.emplace();
    ASSERT_EQ(com_->Result(), S_OK);
    ASSERT_EQ(sim::RegisterServer(DllPath()), S_OK);
    ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
}

void SimDeviceTest::TearDown() {
    EXPECT_EQ(sim::RemoveAllDevices(), S_OK);
    EXPECT_TRUE(sim::ListDevices().empty());
    EXPECT_EQ(LiveObjects(), 0) << "a search or bind kept a reference";
    com_.reset();
}

void SimDeviceTest::Add(const sim::DeviceSettings& settings, bool resetEeprom) {
    ASSERT_EQ(sim::AddDevice(settings, resetEeprom), S_OK)
        << "adding " << testing::PrintToString(settings.id);
}

}  // namespace simbench
