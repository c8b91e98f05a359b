// Holds the device for every sequence of one library operation that takes
// several (a read-modify-write, a command and its answer, a read and its
// acknowledge), so that no other program's sequence lands between them.
#pragma once

#include <windows.h>

#include "devctl/device_control.h"

namespace devctl_internal {

class OperationHold {
  public:
    explicit OperationHold(DeviceControl& device)
        : device_(device), held_(device.HoldDevice() == S_OK) {
        // Refused after the whole wait: each of the operation's sequences tries
        // once more without waiting and fails as it would alone, so that the
        // operation ends with its usual outputs after one wait, not one per sequence.
        if (!held_) {
            savedWait_ = device.GetDeviceWaitTime();
            device.SetDeviceWaitTime(0);
        }
    }
    ~OperationHold() {
        if (held_) {
            device_.ReleaseDevice();
        } else {
            device_.SetDeviceWaitTime(savedWait_);
        }
    }
    // Whether the device is held (false: the wait for it ran out).
    bool Held() const { return held_; }

    OperationHold(const OperationHold&) = delete;
    OperationHold& operator=(const OperationHold&) = delete;

  private:
    DeviceControl& device_;
    bool held_;
    DWORD savedWait_ = 0;
};

}  // namespace devctl_internal
