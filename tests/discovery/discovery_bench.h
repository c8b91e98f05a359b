// The discovery tests' bench: the real system device enumerator, simulated
// devices registered in the test prefix, and HKEY_LOCAL_MACHINE redirected to
// a scratch key that holds the device names.
#pragma once

#include <gtest/gtest.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/win32_owners.h"
#include "common/device_categories.h"
#include "devctl/device_control.h"
#include "simdevice/filter/resource.h"
#include "simdevice/devices/device_ids.h"
#include "tests/bench/sim_bench.h"
#include "tests/common/test_support.h"

using Microsoft::WRL::ComPtr;
using sim::DeviceCategory;
using simbench::Device;

namespace discovery {

using Access = DeviceControlTestAccess;
constexpr char kCaptureKey[] = "Software\\USB5170\\BDA";
constexpr char kAudioKey[] = "Software\\USB5170\\Audio";

inline std::string Text(const std::string& text) {
    return text + '\0';
}

// Which simulated device a filter is ("" for none).
inline std::wstring Id(IBaseFilter* filter) {
    ComPtr<ISimDeviceInfo> info;
    sim::SimDeviceSnapshot snapshot = {};
    return filter && SUCCEEDED(filter->QueryInterface(IID_PPV_ARGS(&info))) &&
                   SUCCEEDED(info->GetSnapshot(&snapshot))
               ? snapshot.id
               : L"";
}

// The same for a filter a search handed over, whose reference it releases.
inline std::wstring Found(IBaseFilter* filter) {
    ComPtr<IBaseFilter> owned;
    *owned.GetAddressOf() = filter;
    return Id(filter);
}

// HKEY_LOCAL_MACHINE is redirected in this process to an empty scratch key
// under HKEY_CURRENT_USER, where the tests put the device names.
class DiscoveryTest : public simbench::SimDeviceTest {
  protected:
    static constexpr wchar_t kScratch[] = L"Software\\Velto1TestMachine";
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, machine.Put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.Get()), ERROR_SUCCESS);
    }
    void TearDown() override {
        device.Close();
        device.ReleaseAudioFilters();
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        machine.Reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        simbench::SimDeviceTest::TearDown();
    }
    // Raw bytes, kept exactly (a text's terminator is the caller's to add).
    void SetName(const char* key, const char* name, const std::string& bytes) {
        EXPECT_EQ(RegSetKeyValueA(machine.Get(), key, name, REG_BINARY, bytes.data(),
                                  static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    sim::DeviceSettings Chip(const wchar_t* id, const wchar_t* name, sim::ChipIdentity identity,
                             bool customProperty = true) {
        sim::DeviceSettings settings = Device(id, name);
        settings.identity = identity;
        settings.offersCustomProperty = customProperty;
        return settings;
    }
    // What the object keeps of the bound chip: its id's low byte, generation,
    // board configuration and remote-control addresses. Callers compare it
    // with IdentityOf and name their row.
    std::vector<DWORD> KeptIdentity() {
        return {Access::ChipId(device), Access::NewGeneration(device), Access::BoardConfig(device),
                Access::RemoteAddress(device), Access::RemoteI2cAddress(device)};
    }
    static std::vector<DWORD> IdentityOf(const sim::ChipIdentity& chip, DWORD newGeneration) {
        return {chip.chipId & 0xFF, newGeneration, chip.boardConfig, chip.remoteAddress,
                chip.remoteI2cAddress};
    }

    velto1::UniqueRegKey machine;
    DeviceControl device;
};

}  // namespace discovery
