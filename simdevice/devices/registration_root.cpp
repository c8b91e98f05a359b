#include "simdevice/devices/registration_root.h"

namespace sim {

namespace {

constexpr wchar_t kUserClassesKey[] = L"Software\\Classes";
constexpr wchar_t kProbeKey[] = L"Velto1SimDeviceClassesProbe";

// Whether HKEY_CLASSES_ROOT shows what is written under HKCU\Software\Classes.
bool ClassesRootMergesUserClasses(HKEY userClasses) {
    velto1::UniqueRegKey probe;
    if (RegCreateKeyExW(userClasses, kProbeKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_READ, nullptr,
                        probe.Put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    velto1::UniqueRegKey seen;
    const bool merged =
        RegOpenKeyExW(HKEY_CLASSES_ROOT, kProbeKey, 0, KEY_READ, seen.Put()) == ERROR_SUCCESS;
    seen.Reset();
    probe.Reset();
    RegDeleteKeyW(userClasses, kProbeKey);
    return merged;
}

}  // namespace

RegistrationRoot::RegistrationRoot() {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kUserClassesKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        userClasses_.Put(), nullptr) == ERROR_SUCCESS &&
        ClassesRootMergesUserClasses(userClasses_.Get())) {
        overridden_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses_.Get()) == ERROR_SUCCESS;
    }
}

RegistrationRoot::~RegistrationRoot() {
    if (overridden_) {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
}

bool RegistersPerUser() {
    return RegistrationRoot().PerUser();
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

HRESULT CreateFilterMapper(Microsoft::WRL::ComPtr<IFilterMapper2>& mapper) {
    return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                            IID_PPV_ARGS(&mapper));
}

REGFILTER2 PinlessFilterRegistration() {
    REGFILTER2 registration = {};
    registration.dwVersion = 1;
    registration.dwMerit = MERIT_DO_NOT_USE;
    registration.cPins = 0;
    registration.rgPins = nullptr;
    return registration;
}

}  // namespace sim
