// Finds the capture device through the installed devctl package and prints
// its chip id. Exit 0 when the id was read, 1 when no device was found or the
// read failed.
#include <windows.h>

#include <cstdio>

// Every public header, so that each is seen to compile from the installed
// include root alone.
#include "devctl/custom_property.h"
#include "devctl/device_control.h"
#include "devctl/i2c_layout.h"

int main() {
    if (FAILED(CoInitialize(nullptr))) {
        return 1;
    }
    int result = 1;
    {
        DeviceControl device;
        DWORD chipId = 0;
        if (!device.Open()) {
            std::fprintf(stderr, "no device: status 0x%08lX\n",
                         static_cast<unsigned long>(device.GetLastResult()));
        } else if (const HRESULT status = device.GetProperty(CPROP_CHIP_ID, &chipId); status < 0) {
            std::fprintf(stderr, "reading the chip id failed: status 0x%08lX\n",
                         static_cast<unsigned long>(status));
        } else {
            std::printf("chip id 0x%08lX\n", static_cast<unsigned long>(chipId));
            result = 0;
        }
        device.Close();
    }
    CoUninitialize();
    return result;
}
