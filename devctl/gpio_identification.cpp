// GPIO and device identification: the GPIO register with its input mask, and
// the USB vendor and product identifiers, from the EEPROM when one answers or
// else derived from the chip code.
#include "common/eeprom_layout.h"
#include "devctl/device_control.h"
#include "devctl/operation_hold.h"

namespace {

// The GPIO register pair of each chip generation.
struct GpioRegisters {
    WORD gpio;
    WORD input;
};
constexpr GpioRegisters kOlderGpioRegisters = {0x08, 0x09};
constexpr GpioRegisters kLaterGpioRegisters = {0x80, 0x84};

GpioRegisters GpioRegistersFor(DWORD newGeneration) {
    return newGeneration ? kLaterGpioRegisters : kOlderGpioRegisters;
}

// True when every input bit (the mask's low byte) reads 1 in value.
bool InputsHigh(BYTE value, DWORD inputMask) {
    const BYTE inputs = static_cast<BYTE>(inputMask);
    return (value & inputs) == inputs;
}

constexpr DWORD kAlternateModelBit = 0x40;  // in CPROP_CHIP_CONFIG

// Identifiers of a device without EEPROM, by chip code. The alternate bit of
// the chip configuration picks the second model of a chip pair. The last row
// answers for every code not listed.
constexpr int kAnyOtherChipCode = -1;
struct ProductIdRow {
    int chipCode;
    WORD vendor;
    WORD product;           // alternate bit 0
    WORD alternateProduct;  // alternate bit 1
};
constexpr ProductIdRow kProductIds[] = {
    {0x11, 0x6C3D, 0x4350, 0x4351},
    {0x12, 0x6C3D, 0x5930, 0x5931},
    {0x14, 0x6C3D, 0x6240, 0x6241},
    {0x21, 0x6C3D, 0x4620, 0x4621},
    {0x22, 0x6C3D, 0x6710, 0x6711},
    {0x23, 0x6C3D, 0x7160, 0x7160},
    {0x24, 0x6C3D, 0x7450, 0x7451},
    {0x32, 0x6C3D, 0x7163, 0x7163},
    {0x34, 0x6C3D, 0x7806, 0x7806},
    {0x41, 0x6C3D, 0x7238, 0x7238},
    {0x42, 0x6C3D, 0x7045, 0x7045},
    {0x43, 0x6C3D, 0x7392, 0x7392},
    {0x44, 0x6C3D, 0x8027, 0x7584},
    {0x60, 0x6C3D, 0x8473, 0x8473},
    {0x61, 0x6C3D, 0x8314, 0x8314},
    {0x63, 0x6C3D, 0x8356, 0x8356},
    {0x64, 0x6C3D, 0x8495, 0x8495},
    {0x70, 0x6C3D, 0x3120, 0x3120},
    {0x71, 0x6C3D, 0x3124, 0x3124},
    {0x72, 0x6C3D, 0x3128, 0x3128},
    {0x73, 0x6C3D, 0x3134, 0x3134},
    {0x74, 0x6C3D, 0x3138, 0x3138},
    {kAnyOtherChipCode, 0x6C3D, 0x5170, 0x5171},
};

const ProductIdRow& ProductIdRowFor(BYTE chipCode) {
    const ProductIdRow* row = kProductIds;
    while (row->chipCode != chipCode && row->chipCode != kAnyOtherChipCode) {
        ++row;
    }
    return *row;
}

}  // namespace

// Rewrites the GPIO register with the input bits set, so that the pins named
// in the mask are released and can be read. With mask 0 the register is
// rewritten unchanged. The mask is stored first, bound or not. A failed read
// writes nothing, since a guessed byte would drive the outputs: its status,
// recorded by the read, is returned.
HRESULT DeviceControl::SetGpioBits(DWORD mask) {
    gpioInputMask = mask;
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    const devctl_internal::OperationHold hold(*this);
    const WORD gpioRegister = GpioRegistersFor(newGeneration).gpio;
    DWORD value = 0;
    const HRESULT read = ReadRegisters(gpioRegister, 1, &value);
    if (read < 0) {
        return read;
    }
    value |= mask & 0xFF;
    return WriteRegisters(gpioRegister, 1, &value);
}

// Reads the input register, but only while every input pin is released in
// the GPIO register: a pin driven low would read 0 whatever the board says.
// The register read's status is not checked. After a failed read the test
// byte is what the read left, initially the mask's low byte, so the input
// register read follows and its status, a failure most likely, is returned:
// refusing with the positive 5 instead would hide the device's failure.
HRESULT DeviceControl::ReadGpio(BYTE* data) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    const devctl_internal::OperationHold hold(*this);
    const GpioRegisters registers = GpioRegistersFor(newGeneration);
    DWORD current = gpioInputMask & 0xFF;
    ReadRegisters(registers.gpio, 1, &current);
    if (!InputsHigh(static_cast<BYTE>(current), gpioInputMask)) {
        return DEVCTL_S_BUSY;
    }
    DWORD input = *data;  // a read delivers a whole 32-bit word; the caller's is one byte
    const HRESULT status = ReadRegisters(registers.input, 1, &input);
    *data = LOBYTE(input);
    return status;
}

// Writes the GPIO register unless the value would drive an input pin low.
HRESULT DeviceControl::WriteGpio(const BYTE* data) {
    if (!InputsHigh(*data, gpioInputMask)) {
        return DEVCTL_S_BUSY;
    }
    return WriteRegisters(GpioRegistersFor(newGeneration).gpio, 1, data);
}

BOOL DeviceControl::TryReadGpio(BYTE* data) {
    return Succeeded(ReadGpio(data));
}

BOOL DeviceControl::TryWriteGpio(const BYTE* data) {
    return Succeeded(WriteGpio(data));
}

// The EEPROM, when one answers at 0xA0, holds the identifiers at bytes 4 to 7
// (vendor, then product, each little-endian). Without one they follow from the
// chip code, read afresh, and the alternate-model bit. Neither output is
// written when the read that would feed it fails.
HRESULT DeviceControl::GetVendorProductIds(DWORD* vendor, DWORD* product) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    // Its first call is a lone select, which waits for nothing: a busy device gets no call.
    const devctl_internal::OperationHold hold(*this);
    if (!hold.Held()) {
        return lastResult;
    }
    if (TrySelectI2cDevice(velto1::eeprom::kBusAddress)) {
        DWORD identity = 0;
        const HRESULT status =
            Record(ReadI2c(velto1::eeprom::kBusAddress, velto1::eeprom::kIdentityOffset,
                           sizeof identity, &identity));
        if (status >= 0) {
            *vendor = LOWORD(identity);
            *product = HIWORD(identity);
        }
        return status;
    }
    DWORD config = 0;
    if (Record(GetProperty(CPROP_CHIP_CONFIG, &config)) < 0) {
        return lastResult;
    }
    DWORD chipWord = 0;
    if (Record(GetProperty(CPROP_CHIP_ID, &chipWord)) < 0) {
        return lastResult;
    }
    const ProductIdRow& row = ProductIdRowFor(static_cast<BYTE>(chipWord));
    *vendor = row.vendor;
    *product = (config & kAlternateModelBit) ? row.alternateProduct : row.product;
    return lastResult;
}
