#include "tools/chipctl/device_session.h"

#include <strmif.h>
#include <wrl/client.h>

#include "tools/chipctl/console_io.h"

using Microsoft::WRL::ComPtr;

namespace chipctl {

namespace {

std::wstring& RecordingPath() {
    static std::wstring path;
    return path;
}

}  // namespace

void RecordCallsTo(const std::wstring& path) {
    RecordingPath() = path;
}

DeviceSession::~DeviceSession() {
    device_.Close();
    if (recorder_ && !RecordingPath().empty()) {
        const DWORD error = recorder_->Save(RecordingPath().c_str());
        if (error != ERROR_SUCCESS) {
            Err(L"chipctl: could not write the recording " + RecordingPath() + L": error " +
                std::to_wstring(error) + L"\n");
        }
    }
}

DeviceSession::DeviceSession(const std::optional<std::string>& name) {
    if (!RecordingPath().empty()) {
        recorder_ = std::make_unique<CallRecorder>("chipctl");
        device_.RecordCalls(recorder_.get());
    }
    if (name) {
        wantedName_ = *name;
        return;
    }
    char registryName[kDeviceNameBufferSize] = {};
    nameSource_ = ReadCaptureDeviceName(registryName, nullptr) ? L"registry" : L"default";
    GetCaptureDeviceName(registryName);
    wantedName_ = registryName;
}

CallRecorder& DeviceSession::RecordCalls() {
    if (!recorder_) {
        recorder_ = std::make_unique<CallRecorder>("chipctl");
        device_.RecordCalls(recorder_.get());
    }
    return *recorder_;
}

// The library's search for the device Bind takes, told apart so that the user
// learns which way the device was found and its full friendly name.
int DeviceSession::Locate(ComPtr<IBaseFilter>* filter) {
    if (!com_.Initialised()) {
        return DeviceFailure(L"initialising COM", com_.Result());
    }
    char friendlyName[kDeviceNameBufferSize] = {};
    DWORD match = DeviceControl::kMatchedByName;
    *filter->ReleaseAndGetAddressOf() =
        device_.FindCaptureDevice(wantedName_.c_str(), friendlyName, &match);
    match_ = DeviceControl::CaptureMatchWord(match);
    if (!*filter) {
        Err(L"chipctl: no capture device whose name begins with \"" + WidenAnsi(wantedName_) +
            L"\", nor one of a known model (last result " +
            velto1::StatusWordText<wchar_t>(device_.GetLastResult()) + L")\n");
        return kDeviceFailure;
    }
    friendlyName_ = friendlyName;
    if (recorder_) {
        recorder_->SetDevice(friendlyName, match_);
    }
    return kSuccess;
}

int DeviceSession::Find() {
    ComPtr<IBaseFilter> filter;
    return Locate(&filter);
}

int DeviceSession::Bind() {
    ComPtr<IBaseFilter> filter;
    if (const int failed = Locate(&filter)) {
        return failed;
    }
    if (!device_.BindFilter(filter.Get())) {
        if (device_.GetLastResult() == DEVCTL_E_DEVICE_BUSY) {
            Err(L"chipctl: \"" + WidenAnsi(friendlyName_) +
                L"\" is busy: another program held the device longer than " +
                std::to_wstring(device_.GetDeviceWaitTime() / 1000) + L" s, status " +
                velto1::StatusWordText<wchar_t>(DEVCTL_E_DEVICE_BUSY) + L"\n");
            return kDeviceFailure;
        }
        return DeviceFailure(
            L"binding the driver interface of \"" + WidenAnsi(friendlyName_) + L"\"",
            device_.GetLastResult());
    }
    return kSuccess;
}

}  // namespace chipctl
