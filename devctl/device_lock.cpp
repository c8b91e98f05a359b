#include "devctl/device_lock.h"

#include <unknwn.h>

#include <algorithm>
#include <iterator>

#include "common/shared_objects.h"
#include "common/win32_owners.h"

namespace devctl_internal {

namespace {

// Global\: a service in session 0 and a user's program meet there.
constexpr wchar_t kLockPrefix[] = L"Global\\velto1-device-";
// Identities longer than this share the lock of their first characters: never
// less exclusion, only more. Kernel object names end at MAX_PATH.
constexpr size_t kMaxIdentityInName = 200;
// A filter no search handed out: one lock for all such filters.
constexpr wchar_t kUnidentifiedDevice[] = L"unidentified";

struct FoundDevice {
    const void* object = nullptr;  // the filter's IUnknown: its COM identity
    std::wstring displayName;
};

// The filters handed out last, newest first; a filter is bound soon after
// its search, so a few suffice.
constexpr size_t kNotedDevices = 16;
SRWLOCK notedLock = SRWLOCK_INIT;
FoundDevice noted[kNotedDevices];

const void* IdentityOf(IBaseFilter* filter) {
    IUnknown* unknown = nullptr;
    if (!filter ||
        FAILED(reinterpret_cast<IUnknown*>(filter)->QueryInterface(
            __uuidof(IUnknown), reinterpret_cast<void**>(&unknown))) ||
        !unknown) {
        return nullptr;
    }
    unknown->Release();  // the pointer only names the object
    return unknown;
}

std::wstring NotedIdentity(IBaseFilter* filter) {
    const void* object = IdentityOf(filter);
    const velto1::ExclusiveLockScope lock(notedLock);
    for (const FoundDevice& device : noted) {
        if (object && device.object == object) {
            return device.displayName;
        }
    }
    return kUnidentifiedDevice;
}

}  // namespace

void NoteFoundDevice(IBaseFilter* filter, const std::wstring& displayName) {
    const void* object = IdentityOf(filter);
    if (!object || displayName.empty()) {
        return;
    }
    const velto1::ExclusiveLockScope lock(notedLock);
    std::move_backward(std::begin(noted), std::end(noted) - 1, std::end(noted));
    noted[0] = {object, displayName};
}

std::wstring DeviceLockName(const std::wstring& identity) {
    std::wstring name = identity.substr(0, kMaxIdentityInName);
    // A backslash would name a namespace.
    std::replace(name.begin(), name.end(), L'\\', L'/');
    return kLockPrefix + name;
}

HANDLE OpenDeviceLock(IBaseFilter* filter) {
    return velto1::CreateSharedMutex(DeviceLockName(NotedIdentity(filter)));
}

}  // namespace devctl_internal
