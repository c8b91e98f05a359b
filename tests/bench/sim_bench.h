// Test bench for code that finds devices through the system device
// enumerator: registers simdevice.dll (the copy beside the test binary) in the
// test prefix and adds simulated devices. Every test starts and ends with no
// simulated device registered and, at the end, no object of the DLL alive.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "common/win32_owners.h"
#include "simdevice/devices/device_store.h"
#include "simdevice/filter/server_registration.h"

namespace simbench {

// simdevice.dll beside the running test binary.
std::wstring DllPath();
// Objects of simdevice.dll alive in this process (0 when it isn't loaded).
LONG LiveObjects();

// A device with the simulated chip's defaults.
sim::DeviceSettings Device(const std::wstring& id, const std::wstring& friendlyName,
                           sim::DeviceCategory category = sim::DeviceCategory::VideoInput);

class SimDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Adds a device; fails the test at the caller's line when it can't.
    void Add(const sim::DeviceSettings& settings, bool resetEeprom = false);

  private:
    std::optional<velto1::ComInitScope> com_;
};

}  // namespace simbench
