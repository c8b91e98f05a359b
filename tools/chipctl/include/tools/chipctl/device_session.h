// The device a command works on: found by the library's discovery (the
// wanted name in both capture categories, then the known models) and bound
// through the driver's private interface, with COM initialised around it.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <memory>
#include <optional>
#include <string>

#include "common/win32_owners.h"
#include "devctl/call_recorder.h"
#include "devctl/device_control.h"

namespace chipctl {

// From now on, every session records its driver calls and writes them to path
// when it ends (--record FILE). A recording that can't be written is said on
// stderr and changes no exit code.
void RecordCallsTo(const std::wstring& path);

class DeviceSession {
  public:
    // name: from --name; without it, the registry's capture name or its default.
    explicit DeviceSession(const std::optional<std::string>& name);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Finds the device and checks that it can be found; on failure prints why
    // and returns kDeviceFailure, else kSuccess. Nothing is bound.
    int Find();
    // Finds and binds the device; the same results.
    int Bind();

    DeviceControl& Device() { return device_; }
    // The recorder of the device's calls, made now when --record did not make
    // one (then only kept in memory); call it before Bind.
    CallRecorder& RecordCalls();
    const std::string& WantedName() const { return wantedName_; }
    const wchar_t* NameSource() const { return nameSource_; }  // option, registry or default
    const wchar_t* Match() const { return match_; }            // name or known-model
    const std::string& FriendlyName() const { return friendlyName_; }

  private:
    int Locate(Microsoft::WRL::ComPtr<IBaseFilter>* filter);

    velto1::ComInitScope com_;                // outlives the device, which Close releases first
    std::unique_ptr<CallRecorder> recorder_;  // outlives the device's binding
    DeviceControl device_;
    std::string wantedName_;
    const wchar_t* nameSource_ = L"option";
    const wchar_t* match_ = L"name";
    std::string friendlyName_;
};

}  // namespace chipctl
