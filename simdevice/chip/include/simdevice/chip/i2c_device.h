// A device on the simulated chip's I2C bus. Addresses are 8-bit (bit 0 is the
// read/write position).
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>

namespace sim {

class I2cDevice {
  public:
    virtual ~I2cDevice() = default;
    // subAddress is empty for a transfer at the device's current address.
    virtual HRESULT Read(std::optional<WORD> subAddress, BYTE* data, size_t count) = 0;
    virtual HRESULT Write(std::optional<WORD> subAddress, const BYTE* data, size_t count) = 0;

    bool ready = true;  // false: powered down or not ready
    DWORD state = 0;    // the value the driver reports as CPROP_I2C_DEVICE_STATE
};

}  // namespace sim
