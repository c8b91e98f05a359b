#include "app/app_device.h"

DeviceControl* AppDevice = nullptr;
