// Test bench for code that finds devices through the system device
// enumerator: registers simdevice.dll (the copy beside the test binary) in the
// test prefix, adds simulated devices, redirects HKEY_LOCAL_MACHINE to a
// scratch key, and counts the DLL's live objects. Every test starts and ends
// with no simulated device registered.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <unknwn.h>

#include <string>

#include "simdevice/filter/sim_registration.h"

namespace simbench {

// simdevice.dll beside the running test binary.
std::wstring DllPath();
// Objects of simdevice.dll alive in this process (0 when it isn't loaded).
LONG LiveObjects();

// A video-input device with the simulated chip's defaults.
sim::DeviceSettings Device(const std::wstring& id, const std::wstring& friendlyName,
                           sim::DeviceCategory category = sim::DeviceCategory::VideoInput);

// Redirects HKEY_LOCAL_MACHINE in this process to an empty scratch key under
// HKEY_CURRENT_USER while alive, and deletes the scratch key afterwards.
class MachineKeyRedirect {
  public:
    MachineKeyRedirect();
    ~MachineKeyRedirect();
    MachineKeyRedirect(const MachineKeyRedirect&) = delete;
    MachineKeyRedirect& operator=(const MachineKeyRedirect&) = delete;

    // Stores raw bytes under HKLM\<key> (REG_BINARY keeps them exactly).
    void SetBytes(const char* key, const char* name, const std::string& bytes);
    // Stores a string with its terminating zero (REG_SZ).
    void SetString(const char* key, const char* name, const std::string& text);

  private:
    HKEY scratch_ = nullptr;
    std::wstring scratchPath_;
};

// Fixture: COM initialised, the server registered, no simulated device
// before or after the test, and at the end every object the DLL created gone.
class SimDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Adds a device; fails the test at the caller's line when it can't.
    void Add(const sim::DeviceSettings& settings, bool resetEeprom = false);
};

// Which simulated device a filter is ("" for none or another driver's).
std::wstring DeviceId(IUnknown* filter);

}  // namespace simbench
