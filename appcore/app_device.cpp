#include "appcore/app_device.h"

#include <objbase.h>
#include <strmif.h>
#include <wrl/client.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

#include "devctl/call_recorder.h"

using Microsoft::WRL::ComPtr;

DeviceControl* AppDevice = nullptr;

namespace {

// Whether the CoInitialize of OpenAppDevice is to be undone: a failed one
// (a thread already in the multithreaded apartment) is not.
bool appComInitialised = false;
char appDeviceName[kDeviceNameBufferSize] = "";
DWORD appDeviceMatch = DeviceControl::kMatchedByName;  // how appDeviceName was found
HRESULT appBindStatus = S_OK;
CallRecorder* appRecorder = nullptr;  // owned; null while not recording

void UninitialiseAppCom() {
    if (std::exchange(appComInitialised, false)) {
        CoUninitialize();
    }
}

// The device's Open, with the found device's name kept for the console.
bool OpenAndName(DeviceControl& device) {
    char wanted[kDeviceNameBufferSize];
    GetCaptureDeviceName(wanted);
    char found[kDeviceNameBufferSize] = "";
    ComPtr<IBaseFilter> filter;
    DWORD match = DeviceControl::kMatchedByName;
    *filter.GetAddressOf() = device.FindCaptureDevice(wanted, found, &match);
    if (appRecorder) {
        appRecorder->SetDevice(found, filter ? DeviceControl::CaptureMatchWord(match) : "none");
        device.RecordCalls(appRecorder);
    }
    if (!filter) {
        return false;
    }
    if (!device.BindFilter(filter.Get())) {
        appBindStatus = device.GetLastResult();
        return false;
    }
    std::copy(std::begin(found), std::end(found), appDeviceName);
    appDeviceMatch = match;
    return true;
}

}  // namespace

void OpenAppDevice() {
    appComInitialised = SUCCEEDED(CoInitialize(nullptr));
    appDeviceName[0] = '\0';
    appBindStatus = S_OK;
    AppDevice = new DeviceControl();
    if (!OpenAndName(*AppDevice)) {
        delete AppDevice;
        AppDevice = nullptr;
        UninitialiseAppCom();
    }
}

void CloseAppDevice() {
    appDeviceName[0] = '\0';
    if (!AppDevice) {
        return;
    }
    AppDevice->Close();
    delete AppDevice;
    AppDevice = nullptr;
    UninitialiseAppCom();
}

const char* AppDeviceName() {
    return appDeviceName;
}

HRESULT AppDeviceBindStatus() {
    return appBindStatus;
}

void StartAppRecording(const char* program) {
    if (appRecorder) {
        return;
    }
    appRecorder = new (std::nothrow) CallRecorder(program);
    if (appRecorder && AppDevice) {
        appRecorder->SetDevice(appDeviceName, DeviceControl::CaptureMatchWord(appDeviceMatch));
        AppDevice->RecordCalls(appRecorder);
    }
}

bool AppRecording() {
    return appRecorder != nullptr;
}

DWORD SaveAppRecording(const wchar_t* path) {
    return appRecorder ? appRecorder->Save(path) : ERROR_INVALID_FUNCTION;
}

void StopAppRecording() {
    if (AppDevice) {
        AppDevice->RecordCalls(nullptr);
    }
    delete appRecorder;
    appRecorder = nullptr;
}
