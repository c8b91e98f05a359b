#include "regconsole/device_operations.h"

#include <algorithm>

#include "appcore/app_device.h"

namespace regconsole {

namespace {

std::string RegisterText(const RegisterAccess& access) {
    return std::string(access.alternate ? "alternate " : "main ") +
           Hex(access.index, access.alternate ? 2 : 4) + " x" + std::to_string(access.count);
}

std::string I2cText(const I2cAccess& access) {
    std::string text = Hex(access.address) + " " + I2cLayoutName(access.layout);
    if (access.layout != I2cLayout::Direct) {
        text += " " + Hex(access.subAddress, access.layout == I2cLayout::SubAddress16 ? 4 : 2);
    }
    return text + " x" + std::to_string(access.count);
}

// A read of up to 4 bytes delivers a whole 32-bit word: reads land in at
// least that much, and the bytes beyond the count are dropped afterwards.
size_t ReadBufferSize(DWORD count) {
    return std::max<size_t>(count, sizeof(DWORD));
}

}  // namespace

HRESULT ReadRegisterBytes(DeviceControl& device, const RegisterAccess& access,
                          std::vector<BYTE>* bytes, ConsoleLog& log) {
    bytes->assign(ReadBufferSize(access.count), 0);
    const HRESULT status = access.alternate
                               ? device.ReadAltRegisters(access.index, access.count, bytes->data())
                               : device.ReadRegisters(access.index, access.count, bytes->data());
    bytes->resize(access.count);
    std::string line = "register read " + RegisterText(access);
    if (status == S_OK) {
        line += " = " + BytesAsNumber(*bytes);
    }
    log.AddResult(line, status);
    return status;
}

HRESULT WriteRegisterBytes(DeviceControl& device, const RegisterAccess& access,
                           const std::vector<BYTE>& bytes, ConsoleLog& log) {
    const HRESULT status = access.alternate
                               ? device.WriteAltRegisters(access.index, access.count, bytes.data())
                               : device.WriteRegisters(access.index, access.count, bytes.data());
    log.AddResult("register write " + RegisterText(access) + " = " + BytesAsNumber(bytes), status);
    return status;
}

namespace {

I2cTransferMeaning Meaning(const I2cAccess& access) {
    return {access.layout, access.address, access.subAddress, access.count};
}

}  // namespace

std::string AmbiguousWordProblem(const I2cAccess& access) {
    char text[256] = "";
    DescribeAmbiguousI2cWord(Meaning(access), text, sizeof text);
    return text;
}

HRESULT ReadI2cBytes(DeviceControl& device, const I2cAccess& access, std::vector<BYTE>* bytes,
                     ConsoleLog& log) {
    bytes->assign(ReadBufferSize(access.count), 0);
    const HRESULT status = TransferI2cByLayout(device, Meaning(access), bytes->data(), FALSE);
    bytes->resize(access.count);
    std::string line = "I2C read " + I2cText(access);
    if (status == S_OK) {
        line += " = " + BytesAsNumber(*bytes);
    }
    log.AddResult(line, status);
    return status;
}

HRESULT WriteI2cBytes(DeviceControl& device, const I2cAccess& access,
                      const std::vector<BYTE>& bytes, ConsoleLog& log) {
    // One buffer serves both directions; a write only reads the counted bytes.
    void* data = const_cast<BYTE*>(bytes.data());
    const HRESULT status = TransferI2cByLayout(device, Meaning(access), data, TRUE);
    log.AddResult("I2C write " + I2cText(access) + " = " + BytesAsNumber(bytes), status);
    return status;
}

HRESULT SetGpioMask(DeviceControl& device, DWORD mask, ConsoleLog& log) {
    const HRESULT status = device.SetGpioBits(mask);
    log.AddResult("GPIO input mask " + Hex(mask), status);
    return status;
}

HRESULT ReadGpioByte(DeviceControl& device, BYTE* value, ConsoleLog& log) {
    *value = 0;
    const HRESULT status = device.ReadGpio(value);
    std::string line = "GPIO read";
    if (status == S_OK) {
        line += " = " + Hex(*value);
    }
    log.AddResult(line, status);
    return status;
}

HRESULT WriteGpioByte(DeviceControl& device, BYTE value, ConsoleLog& log) {
    const HRESULT status = device.WriteGpio(&value);
    log.AddResult("GPIO write " + Hex(value), status);
    return status;
}

std::string DescribeDevice(DeviceControl& device, ConsoleLog& log) {
    DWORD chipWord = 0;
    DWORD chipConfig = 0;
    DWORD boardConfig = 0;
    DWORD vendor = 0;
    DWORD product = 0;
    const HRESULT chipStatus = device.GetProperty(CPROP_CHIP_ID, &chipWord);
    const HRESULT configStatus = device.GetProperty(CPROP_CHIP_CONFIG, &chipConfig);
    const HRESULT boardStatus = device.GetProperty(CPROP_BOARD_CONFIG, &boardConfig);
    const HRESULT idStatus = device.GetVendorProductIds(&vendor, &product);
    const DWORD chipCode = chipWord & 0xFF;

    std::string name = AppDeviceName();
    name = name.empty() ? "An unnamed device" : "\"" + name + "\"";
    std::string text = name + ": chip " + Hex(chipCode) + " (" +
                       (IsNewGenerationChip(chipCode) ? "later" : "older") +
                       " generation), chip configuration " + Hex(chipConfig, 8) +
                       ", board configuration " + Hex(boardConfig, 8) + "\r\n";
    text += idStatus == S_OK ? "Vendor id " + Hex(vendor, 4) + ", product id " + Hex(product, 4)
                             : "Vendor and product ids unreadable: " + StatusText(idStatus);
    log.Add("device " + name + ": chip id " + Hex(chipWord, 8) + ", chip config " +
            Hex(chipConfig, 8) + ", board config " + Hex(boardConfig, 8) + " (" +
            StatusText(std::min({chipStatus, configStatus, boardStatus})) + ")");
    log.AddResult("vendor " + Hex(vendor, 4) + ", product " + Hex(product, 4), idStatus);
    return text;
}

}  // namespace regconsole
