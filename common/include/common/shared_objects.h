// Named kernel objects that several programs meet on, whichever session and
// account each runs in: a service in session 0 and a user's program share only
// the Global\ namespace, and the default security descriptor of an object that
// SYSTEM makes keeps users out, so the descriptor is named here.
#pragma once

#include <windows.h>
#include <sddl.h>

#include <string>

namespace velto1 {

// Everyone may use the object fully: wait for, take and release a mutex.
constexpr wchar_t kEveryoneMayUse[] = L"D:(A;;GA;;;WD)";

// Security attributes with that descriptor, freed when the owner goes; Get()
// is null when the descriptor could not be made (the call then fails).
class SharedObjectSecurity {
  public:
    SharedObjectSecurity() {
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kEveryoneMayUse, SDDL_REVISION_1,
                                                                 &descriptor_, nullptr)) {
            attributes_.lpSecurityDescriptor = descriptor_;
        }
    }
    ~SharedObjectSecurity() { LocalFree(descriptor_); }
    SharedObjectSecurity(const SharedObjectSecurity&) = delete;
    SharedObjectSecurity& operator=(const SharedObjectSecurity&) = delete;

    SECURITY_ATTRIBUTES* Get() { return descriptor_ ? &attributes_ : nullptr; }

  private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_ = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// Creates the named mutex (not owned) or opens the one that exists; null with
// the system's error when neither works. The caller owns the handle.
inline HANDLE CreateSharedMutex(const std::wstring& name) {
    SharedObjectSecurity security;
    if (!security.Get()) {
        return nullptr;
    }
    HANDLE mutex = CreateMutexW(security.Get(), FALSE, name.c_str());
    if (!mutex && GetLastError() == ERROR_ACCESS_DENIED) {
        // Made by another account with a descriptor that allows less than all.
        mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
    }
    return mutex;
}

}  // namespace velto1
