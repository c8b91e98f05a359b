// The program's one device object: null while no device is open.
#pragma once

#include "devctl/device_control.h"

extern DeviceControl* AppDevice;
