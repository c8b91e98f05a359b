// The device lock's name and the device identities it is named from. One
// named mutex per device orders the select + data sequences of every program
// that uses the library, whatever its session or bitness. A device is known by
// its moniker's display name, which the library's searches note for each
// filter they hand out; the friendly name would not do (two devices may share
// one).
#pragma once

#include <windows.h>

#include <string>

struct IBaseFilter;

namespace devctl_internal {

// Notes that filter (the object, by its COM identity) is the device whose
// moniker has this display name. The latest few filters handed out are kept.
void NoteFoundDevice(IBaseFilter* filter, const std::wstring& displayName);

// Creates or opens the lock of the device filter belongs to (the caller owns
// the handle); null with the system's error when neither works. A filter that
// no search of the library handed out shares one lock with every such filter.
HANDLE OpenDeviceLock(IBaseFilter* filter);

// The lock's kernel object name for a device identity.
std::wstring DeviceLockName(const std::wstring& identity);

}  // namespace devctl_internal
