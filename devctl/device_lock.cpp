#include "devctl/device_lock.h"

#include <objidl.h>
#include <strmif.h>

#include <cstdio>
#include <iterator>

#include "common/shared_objects.h"

namespace devctl_internal {

namespace {

// Global\: a service in session 0 and a user's program meet there.
constexpr wchar_t kLockPrefix[] = L"Global\\velto1-device-";
constexpr wchar_t kSlotPrefix[] = L"Global\\velto1-lock-slot-";
constexpr wchar_t kUnidentifiedDeviceLockName[] = L"Global\\velto1-device-unidentified";
// Kernel object names end at MAX_PATH; the longest name kept whole, and what a
// longer one keeps before its hash ('~' and 16 digits).
constexpr size_t kMaxNameInLock = 200;
constexpr size_t kKeptBeforeHash = kMaxNameInLock - 17;

// The searches handing out a filter on this thread now, innermost first.
thread_local const HandingOut* handingOut = nullptr;

IUnknown* ObjectIdentity(IUnknown* object) {
    IUnknown* unknown = nullptr;
    if (!object ||
        FAILED(object->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&unknown)))) {
        return nullptr;
    }
    if (unknown) {
        unknown->Release();  // the caller holds the object: the pointer only names it
    }
    return unknown;
}

// FNV-1a over the name's UTF-16 code units.
unsigned long long NameHash(const std::wstring& name) {
    unsigned long long hash = 0xCBF29CE484222325ull;
    for (wchar_t c : name) {
        hash = (hash ^ static_cast<unsigned short>(c)) * 0x100000001B3ull;
    }
    return hash;
}

// Whether a wait on count handles ended with them taken.
bool Taken(DWORD wait, DWORD count) {
    return wait < WAIT_OBJECT_0 + count ||
           (wait >= WAIT_ABANDONED_0 && wait < WAIT_ABANDONED_0 + count);
}

DWORD Remaining(ULONGLONG deadline, DWORD waitMilliseconds) {
    if (waitMilliseconds == INFINITE) {
        return INFINITE;
    }
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

}  // namespace

std::wstring DeviceLockName(const std::wstring& displayName) {
    std::wstring escaped;
    for (wchar_t c : displayName) {
        switch (c) {
            case L'\\':  // a backslash would name a namespace
                escaped += L'/';
                break;
            case L'/':
                escaped += L"%2F";
                break;
            case L'%':
                escaped += L"%25";
                break;
            case L'~':
                escaped += L"%7E";
                break;
            default:
                escaped += c;
        }
    }
    if (escaped.size() > kMaxNameInLock) {
        wchar_t hash[17];
        std::swprintf(hash, std::size(hash), L"%016llX", NameHash(displayName));
        escaped = escaped.substr(0, kKeptBeforeHash) + L"~" + hash;
    }
    return kLockPrefix + escaped;
}

std::wstring LockSlotName(size_t slot) {
    return kSlotPrefix + std::to_wstring(slot);
}

std::wstring DisplayNameOf(IMoniker* device) {
    IBindCtx* context = nullptr;
    if (!device || FAILED(CreateBindCtx(0, &context)) || !context) {
        return std::wstring();
    }
    LPOLESTR name = nullptr;
    const HRESULT status = device->GetDisplayName(context, nullptr, &name);
    context->Release();
    std::wstring text(SUCCEEDED(status) && name ? name : L"");
    CoTaskMemFree(name);
    return text;
}

bool SameObject(IUnknown* first, IUnknown* second) {
    const IUnknown* identity = ObjectIdentity(first);
    return identity && identity == ObjectIdentity(second);
}

HandingOut::HandingOut(IBaseFilter* filter, const std::wstring& displayName)
    : object_(ObjectIdentity(reinterpret_cast<IUnknown*>(filter))),
      displayName_(displayName),
      outer_(handingOut) {
    handingOut = this;
}

HandingOut::~HandingOut() {
    handingOut = outer_;
}

const std::wstring* HandingOut::IdentityOf(IBaseFilter* filter) {
    const void* object = ObjectIdentity(reinterpret_cast<IUnknown*>(filter));
    for (const HandingOut* out = handingOut; out && object; out = out->outer_) {
        if (out->object_ == object) {
            return out->displayName_.empty() ? nullptr : &out->displayName_;
        }
    }
    return nullptr;
}

HRESULT DeviceLock::Open(const std::wstring& displayName) {
    ReleaseAll();
    device_ = velto1::UniqueHandle();
    const auto open = [](velto1::UniqueHandle& handle, const std::wstring& name) {
        handle = velto1::UniqueHandle(velto1::CreateSharedMutex(name));
        return handle.Valid();
    };
    bool opened = displayName.empty() || open(device_, DeviceLockName(displayName));
    for (size_t slot = 0; opened && slot < kLockSlots; ++slot) {
        opened = open(slots_[slot], LockSlotName(slot));
    }
    opened = opened && open(slots_[kLockSlots], kUnidentifiedDeviceLockName);
    if (!opened) {
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    return S_OK;
}

bool DeviceLock::Acquire(DWORD waitMilliseconds) {
    constexpr DWORD kAllSlots = kLockSlots + 1;
    HANDLE slots[kAllSlots];
    for (size_t i = 0; i < kAllSlots; ++i) {
        slots[i] = slots_[i].Get();
    }
    if (!Identified()) {
        // Every slot at once, or none: no two such holders each take a part.
        if (!Taken(WaitForMultipleObjects(kAllSlots, slots, TRUE, waitMilliseconds), kAllSlots)) {
            return false;
        }
        ++depth_;
        return true;
    }
    const ULONGLONG deadline = GetTickCount64() + waitMilliseconds;
    if (!Taken(WaitForSingleObject(device_.Get(), waitMilliseconds), 1)) {
        return false;
    }
    // A nested hold takes the slot the outermost took, which this thread owns.
    const DWORD remaining = Remaining(deadline, waitMilliseconds);
    const DWORD wait = depth_ > 0 ? WaitForSingleObject(slots[heldSlot_], remaining)
                                  : WaitForMultipleObjects(static_cast<DWORD>(kLockSlots), slots,
                                                           FALSE, remaining);
    if (!Taken(wait, depth_ > 0 ? 1 : static_cast<DWORD>(kLockSlots))) {
        ReleaseMutex(device_.Get());
        return false;
    }
    if (depth_ == 0) {
        heldSlot_ = wait >= WAIT_ABANDONED_0 ? wait - WAIT_ABANDONED_0 : wait - WAIT_OBJECT_0;
    }
    ++depth_;
    return true;
}

void DeviceLock::Release() {
    if (depth_ == 0) {
        return;
    }
    --depth_;
    if (Identified()) {
        ReleaseMutex(slots_[heldSlot_].Get());
        ReleaseMutex(device_.Get());
        return;
    }
    for (const velto1::UniqueHandle& slot : slots_) {
        ReleaseMutex(slot.Get());
    }
}

void DeviceLock::ReleaseAll() {
    while (depth_ > 0) {
        Release();
    }
}

}  // namespace devctl_internal
