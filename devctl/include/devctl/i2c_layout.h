// I2C transfers by layout, for tools that let a user choose one: the
// transfer goes through DeviceControl's operation of that layout, and only
// when every driver reads its word alike (devctl/i2c_word.h).
#pragma once

#include <windows.h>

#include "devctl/device_control.h"
#include "devctl/i2c_word.h"

// The layout's read (write FALSE) or write through DeviceControl's operation
// of that layout, data as that operation takes it. A word that is not
// unambiguous is refused with DEVCTL_S_INVALID_PARAMETER before anything is
// sent; the device's last result then stays as it was.
HRESULT TransferI2cByLayout(DeviceControl& device, const I2cTransferMeaning& transfer, void* data,
                            BOOL write);
