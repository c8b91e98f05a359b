// The fixture of the tests of programs that meet on one device: simulated
// devices that every process shares, kept bound in the test's process to look
// at their chips.
#pragma once

#include <gmock/gmock.h>
#include <wrl/client.h>

#include <map>
#include <string>
#include <vector>

#include "devctl/device_control.h"
#include "simdevice/devices/device_ids.h"
#include "tests/cli/cli_fixture.h"

namespace sharingtest {

using Microsoft::WRL::ComPtr;
using testsupport::RunningProcess;

constexpr char kName[] = "USB 7450 Device";
constexpr wchar_t kQuotedName[] = L"\"USB 7450 Device\"";
constexpr BYTE kUpdated = 0x05;  // the fresh option byte 0x85 after the update

inline BOOL __stdcall KeepFilter(void* context, IBaseFilter* filter, const char*, DWORD) {
    ComPtr<ISimDeviceInfo> info;
    if (SUCCEEDED(filter->QueryInterface(IID_PPV_ARGS(&info)))) {
        static_cast<std::vector<ComPtr<ISimDeviceInfo>>*>(context)->push_back(info);
    }
    return TRUE;
}

class SharingTest : public clitest::CliTest {
  protected:
    void TearDown() override {
        bound_.clear();
        clitest::CliTest::TearDown();
    }
    // Adds the devices, each named "USB 7450 Device" with a fresh EEPROM in
    // its file, and keeps each bound in this process, to look at its chip.
    void AddDevices(std::initializer_list<const wchar_t*> ids) {
        for (const wchar_t* id : ids) {
            Add(Settings(id, L"USB 7450 Device"));
        }
        KeepBound(ids.size());
    }
    // The same with a friendly name of each device's own (all of known models).
    struct NamedDevice {
        const wchar_t* id;
        const wchar_t* friendlyName;
    };
    void AddNamedDevices(std::initializer_list<NamedDevice> devices) {
        for (const NamedDevice& device : devices) {
            Add(Settings(device.id, device.friendlyName));
        }
        KeepBound(devices.size());
    }
    // The chip's count of write transfers that stored the option byte.
    std::map<std::wstring, DWORD> OptionByteWrites() {
        std::map<std::wstring, DWORD> writes;
        for (const ComPtr<ISimDeviceInfo>& device : bound_) {
            sim::SimDeviceSnapshot snapshot = {};
            EXPECT_EQ(device->GetSnapshot(&snapshot), S_OK);
            writes[snapshot.id] = snapshot.optionByteWrites;
        }
        return writes;
    }
    static sim::EepromImage Bytes(const std::wstring& id) { return simtool::FileBytes(Eeprom(id)); }
    // device_holder's command on "USB 7450 Device", and the device ID it takes.
    static RunningProcess Holder(const wchar_t* command, const std::wstring& id = L"") {
        return RunningProcess(
            simtool::Beside(L"device_holder.exe"),
            std::wstring(command) + L" " + kQuotedName + (id.empty() ? L"" : L" " + id));
    }

  private:
    void KeepBound(size_t count) {
        DeviceControl search;
        search.ForEachCaptureFilter(kName, KeepFilter, &bound_);
        ASSERT_EQ(bound_.size(), count);
    }
    std::vector<ComPtr<ISimDeviceInfo>> bound_;
};

}  // namespace sharingtest
