// Where the simulated device's COM classes and device instances are
// registered, and the filter mapper that writes the instances.
//
// Registration is per user where the system merges per-user classes into
// HKEY_CLASSES_ROOT (Windows: HKCU\Software\Classes, no administrator rights
// needed). Wine's device enumerator reads only the machine's classes, so there
// registration goes to HKEY_CLASSES_ROOT itself, which the prefix's owner may
// write.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "common/win32_owners.h"

namespace sim {

// While alive, HKEY_CLASSES_ROOT in this process names the place where
// registration goes: the per-user classes where the system merges them into
// the class root, else the class root itself.
class RegistrationRoot {
  public:
    RegistrationRoot();
    ~RegistrationRoot();
    RegistrationRoot(const RegistrationRoot&) = delete;
    RegistrationRoot& operator=(const RegistrationRoot&) = delete;
    bool PerUser() const { return overridden_; }

  private:
    velto1::UniqueRegKey userClasses_;
    bool overridden_ = false;
};

// Whether registration here goes to the per-user classes.
bool RegistersPerUser();

// "{XXXXXXXX-...}", as class keys are named.
std::wstring GuidText(const GUID& guid);

HRESULT CreateFilterMapper(Microsoft::WRL::ComPtr<IFilterMapper2>& mapper);
// A filter without pins, never chosen by graph building on its own.
REGFILTER2 PinlessFilterRegistration();

}  // namespace sim
