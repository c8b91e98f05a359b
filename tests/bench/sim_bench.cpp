#include "tests/bench/sim_bench.h"

#include <wrl/client.h>

#include "simdevice/filter/sim_device_ids.h"

using Microsoft::WRL::ComPtr;

namespace simbench {

std::wstring DllPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    return directory.substr(0, directory.find_last_of(L"\\/") + 1) + L"simdevice.dll";
}

LONG LiveObjects() {
    const HMODULE dll = GetModuleHandleW(L"simdevice.dll");
    if (!dll) {
        return 0;
    }
    using Count = LONG(WINAPI*)();
    const auto count = reinterpret_cast<Count>(
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

MachineKeyRedirect::MachineKeyRedirect()
    : scratchPath_(L"Software\\Velto1Tests\\Machine-" + std::to_wstring(GetCurrentProcessId())) {
    RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str());
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, scratchPath_.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &scratch_, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch_), ERROR_SUCCESS);
}

MachineKeyRedirect::~MachineKeyRedirect() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    if (scratch_) {
        RegCloseKey(scratch_);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Velto1Tests");
}

void MachineKeyRedirect::SetBytes(const char* key, const char* name, const std::string& bytes) {
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExA(scratch_, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(sub, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(sub);
}

void MachineKeyRedirect::SetString(const char* key, const char* name, const std::string& text) {
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExA(scratch_, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(sub, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(sub);
}

void SimDeviceTest::SetUp() {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(sim::RegisterServer(DllPath()), S_OK);
    ASSERT_EQ(sim::RemoveAllDevices(), S_OK);
}

void SimDeviceTest::TearDown() {
    EXPECT_EQ(sim::RemoveAllDevices(), S_OK);
    EXPECT_TRUE(sim::ListDevices().empty());
    EXPECT_EQ(LiveObjects(), 0) << "a search or bind kept a reference";
    CoUninitialize();
}

void SimDeviceTest::Add(const sim::DeviceSettings& settings, bool resetEeprom) {
    ASSERT_EQ(sim::AddDevice(settings, resetEeprom), S_OK)
        << "adding " << testing::PrintToString(settings.id);
}

std::wstring DeviceId(IUnknown* filter) {
    ComPtr<ISimDeviceInfo> info;
    sim::SimDeviceSnapshot snapshot = {};
    if (!filter || FAILED(filter->QueryInterface(IID_PPV_ARGS(&info))) ||
        FAILED(info->GetSnapshot(&snapshot))) {
        return L"";
    }
    return snapshot.id;
}

}  // namespace simbench
