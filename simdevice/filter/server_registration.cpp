#include "simdevice/filter/server_registration.h"

#include "common/win32_owners.h"
#include "simdevice/devices/device_store.h"
#include "simdevice/devices/registration_root.h"
#include "simdevice/devices/device_ids.h"

using Microsoft::WRL::ComPtr;
using velto1::ComInitScope;
using velto1::UniqueRegKey;

namespace sim {

namespace {

constexpr wchar_t kFilterName[] = L"Velto1 Simulated Capture Device";
constexpr wchar_t kPageName[] = L"Velto1 Simulated Device Page";

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

HRESULT RegisterComClass(const CLSID& clsid, const wchar_t* name, const std::wstring& dllPath) {
    UniqueRegKey server;
    const std::wstring path = L"CLSID\\" + GuidText(clsid) + L"\\InprocServer32";
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, server.Put(), nullptr);
    if (status == ERROR_SUCCESS) {
        status = SetString(server.Get(), nullptr, dllPath);
    }
    if (status == ERROR_SUCCESS) {
        status = SetString(server.Get(), L"ThreadingModel", L"Both");
    }
    UniqueRegKey classKey;
    if (status == ERROR_SUCCESS) {
        status = RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(clsid)).c_str(), 0,
                               KEY_SET_VALUE, classKey.Put());
    }
    if (status == ERROR_SUCCESS) {
        status = SetString(classKey.Get(), nullptr, name);
    }
    return HRESULT_FROM_WIN32(status);
}

void DeleteClass(const CLSID& clsid) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(clsid)).c_str());
}

}  // namespace

HRESULT RegisterServer(const std::wstring& dllPath) {
    const ComInitScope com;
    const RegistrationRoot root;
    HRESULT status = RegisterComClass(CLSID_SimCaptureFilter, kFilterName, dllPath);
    if (SUCCEEDED(status)) {
        status = RegisterComClass(CLSID_SimDevicePropertyPage, kPageName, dllPath);
    }
    ComPtr<IFilterMapper2> mapper;
    if (SUCCEEDED(status)) {
        status = CreateFilterMapper(mapper);
    }
    if (SUCCEEDED(status)) {
        const REGFILTER2 registration = PinlessFilterRegistration();
        status = mapper->RegisterFilter(CLSID_SimCaptureFilter, kFilterName, nullptr,
                                        &CLSID_LegacyAmFilterCategory, nullptr, &registration);
    }
    return status;
}

HRESULT UnregisterServer() {
    const ComInitScope com;
    HRESULT status = RemoveAllDevices();
    const RegistrationRoot root;
    ComPtr<IFilterMapper2> mapper;
    if (SUCCEEDED(CreateFilterMapper(mapper))) {
        mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, CLSID_SimCaptureFilter);
    }
    DeleteClass(CLSID_SimDevicePropertyPage);
    DeleteClass(CLSID_SimCaptureFilter);
    return FAILED(status) ? status : S_OK;
}

}  // namespace sim
