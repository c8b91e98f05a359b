// The console's operations on the device: registers in both spaces, I2C in
// the four descriptor layouts, GPIO, and the device's description. Each one
// logs what it sent and the status it got, and returns that status; showing
// a failure is the caller's part.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "devctl/device_control.h"
#include "devctl/i2c_layout.h"
#include "regconsole/console_log.h"

namespace regconsole {

constexpr DWORD kMaxRegisterBytes = 4;
constexpr DWORD kMaxI2cBytes = 32;

struct RegisterAccess {
    bool alternate;  // the alternate space: 8-bit index; else the main space, 16-bit
    DWORD index;
    DWORD count;  // 1 to kMaxRegisterBytes
};

// The widest index of a register space.
inline DWORD MaxRegisterIndex(bool alternate) {
    return alternate ? 0xFF : 0xFFFF;
}

HRESULT ReadRegisterBytes(DeviceControl& device, const RegisterAccess& access,
                          std::vector<BYTE>* bytes, ConsoleLog& log);
HRESULT WriteRegisterBytes(DeviceControl& device, const RegisterAccess& access,
                           const std::vector<BYTE>& bytes, ConsoleLog& log);

// The layout list shows the library's layouts in their order (I2cLayout).
struct I2cAccess {
    DWORD address;  // 8-bit bus address
    I2cLayout layout;
    DWORD subAddress;  // not used by the direct layout
    DWORD count;       // 1 to kMaxI2cBytes
};

// The one-line refusal of an access whose word a driver could read as
// another transfer; empty when the access may be sent.
std::string AmbiguousWordProblem(const I2cAccess& access);

HRESULT ReadI2cBytes(DeviceControl& device, const I2cAccess& access, std::vector<BYTE>* bytes,
                     ConsoleLog& log);
HRESULT WriteI2cBytes(DeviceControl& device, const I2cAccess& access,
                      const std::vector<BYTE>& bytes, ConsoleLog& log);

HRESULT SetGpioMask(DeviceControl& device, DWORD mask, ConsoleLog& log);
HRESULT ReadGpioByte(DeviceControl& device, BYTE* value, ConsoleLog& log);
HRESULT WriteGpioByte(DeviceControl& device, BYTE value, ConsoleLog& log);

// Two lines for the device box: the name the opening found (AppDeviceName)
// and the chip, then the identifiers.
std::string DescribeDevice(DeviceControl& device, ConsoleLog& log);

}  // namespace regconsole
