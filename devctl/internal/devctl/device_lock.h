// The device lock: the named mutexes that order the select + data sequences of
// every program that uses the library, whatever its session or bitness.
//
// A device is known by its moniker's display name (the friendly name would not
// do: two devices may share one). A known device's holder takes the device's
// own mutex and any one of a fixed set of slot mutexes; a holder that can't
// know its device takes every slot at once, so that it excludes every device's
// holders and they exclude it. Programs on two known devices exclude each other
// only while more than kLockSlots of them hold at once.
#pragma once

#include <windows.h>

#include <string>

#include "common/win32_owners.h"

struct IBaseFilter;
struct IMoniker;

namespace devctl_internal {

// How many holders of known devices may hold at once.
constexpr size_t kLockSlots = 16;

// The kernel object name of the mutex of the device whose moniker has this
// display name: Global\velto1-device- and the name with '\' written '/' ('%',
// '/' and '~' escaped as %25, %2F, %7E), so that distinct names stay distinct;
// a name whose escaped form is longer than 200 characters keeps its first 183
// and ends with '~' and a 64-bit hash of the whole name in hexadecimal.
std::wstring DeviceLockName(const std::wstring& displayName);

// The kernel object name of a slot mutex.
std::wstring LockSlotName(size_t slot);

// The moniker's display name; empty when it has none.
std::wstring DisplayNameOf(IMoniker* device);

// The display name of the device that a search hands to a callback with this
// filter, for the callback's length: a filter bound in the callback is known
// by it. The search holds the filter meanwhile, so that its address names it.
class HandingOut {
  public:
    HandingOut(IBaseFilter* filter, const std::wstring& displayName);
    ~HandingOut();
    HandingOut(const HandingOut&) = delete;
    HandingOut& operator=(const HandingOut&) = delete;

    // The display name of the filter that a search on this thread is handing
    // out now, or null when it is none of them (or its device has no display name).
    static const std::wstring* IdentityOf(IBaseFilter* filter);

  private:
    const void* object_;
    const std::wstring& displayName_;
    const HandingOut* outer_;
};

// Whether two interface pointers are one COM object (IUnknown identity).
bool SameObject(IUnknown* first, IUnknown* second);

// One device's lock as one DeviceControl holds it, on one thread. Holds nest.
class DeviceLock {
  public:
    DeviceLock() = default;
    ~DeviceLock() { ReleaseAll(); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // Creates or opens the mutexes of the device with this display name (empty:
    // a device that can't be known). S_OK, else the system's error.
    HRESULT Open(const std::wstring& displayName);
    // Waits at most the time given (in all) for the device; true when held,
    // also after a holder that ended without letting go.
    bool Acquire(DWORD waitMilliseconds);
    void Release();
    // Lets go of every hold.
    void ReleaseAll();
    bool Identified() const { return device_.Valid(); }

  private:
    velto1::UniqueHandle device_;  // the device's own mutex; none: no known device
    // The slots and, last, the one mutex of every filter of no known device
    // before there were slots, which such a filter takes too: it and a program
    // built on an earlier version of the library exclude each other.
    velto1::UniqueHandle slots_[kLockSlots + 1];
    size_t heldSlot_ = 0;  // of a known device's outermost hold
    DWORD depth_ = 0;
};

// One sequence's hold of a device lock; a null lock is held at once.
class DeviceLockScope {
  public:
    DeviceLockScope(DeviceLock* lock, DWORD waitMilliseconds)
        : lock_(lock && lock->Acquire(waitMilliseconds) ? lock : nullptr), held_(!lock || lock_) {}
    ~DeviceLockScope() {
        if (lock_) {
            lock_->Release();
        }
    }
    DeviceLockScope(const DeviceLockScope&) = delete;
    DeviceLockScope& operator=(const DeviceLockScope&) = delete;
    bool Held() const { return held_; }

  private:
    DeviceLock* lock_;
    bool held_;
};

}  // namespace devctl_internal
