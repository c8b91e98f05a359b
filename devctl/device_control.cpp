// The property channel: DeviceControl's lifetime, whole-property access,
// register and I2C sequences over the driver's Set and Get, the pass-throughs,
// the boolean forms and binding to a capture filter.
#include "devctl/device_control.h"

#include <strmif.h>

#include <initializer_list>

namespace {

// Chip codes of the later generation, whose GPIO and remote-control registers
// sit elsewhere in the register map.
constexpr BYTE kNewGenerationChipCodes[] = {0x32, 0x34, 0x41, 0x42, 0x43, 0x44, 0x60, 0x61,
                                            0x63, 0x64, 0x70, 0x71, 0x72, 0x73, 0x74};

DWORD RegisterSelectWord(DWORD index, DWORD count) {
    return ((index & 0xFFFF) << 8) | (count & 0xFF);
}

DWORD AltRegisterSelectWord(DWORD index, DWORD count) {
    return ((index & 0xFF) << 8) | (count & 0xFF);
}

DWORD DirectDescriptor(DWORD address, DWORD count) {
    return ((address & 0xFF) << 16) | (count & 0xFF);
}

DWORD SubAddressDescriptor(DWORD address, DWORD subAddress, DWORD count) {
    return 0x01000000 | ((address & 0xFF) << 16) | ((subAddress & 0xFF) << 8) | (count & 0xFF);
}

DWORD SubAddress16Descriptor(DWORD address, DWORD subAddress, DWORD count) {
    return ((subAddress & 0xFF00) << 16) | ((address & 0xFF) << 16) | ((subAddress & 0xFF) << 8) |
           0x80 | (count & 0x7F);
}

DWORD LongDescriptor(DWORD address, DWORD subAddress, DWORD length) {
    return ((length & 0xFF00) << 16) | ((address & 0xFF) << 16) | ((subAddress & 0xFF) << 8) |
           (length & 0xFF);
}

constexpr DWORD kI2cWrite = 1;
constexpr DWORD kI2cRead = 0;

}  // namespace

BOOL IsNewGenerationChip(DWORD chipCode) {
    for (BYTE code : kNewGenerationChipCodes) {
        if (code == chipCode) {
            return TRUE;
        }
    }
    return FALSE;
}

DeviceControl::DeviceControl()
    : driver(nullptr),
      audioCaptureFilter(nullptr),
      audioDeviceFilter(nullptr),
      audioRendererFilter(nullptr),
      gpioInputMask(0),
      lastResult(0),
      remoteToggle(0),
      boardConfig(0),
      remoteAddress(0),
      remoteI2cAddress(0),
      chipId(0),
      newGeneration(0) {}

DeviceControl::~DeviceControl() = default;

void DeviceControl::Close() {
    if (driver) {
        driver->Release();
        driver = nullptr;
    }
}

void DeviceControl::ReleaseAudioFilters() {
    for (IBaseFilter** filter : {&audioCaptureFilter, &audioDeviceFilter, &audioRendererFilter}) {
        if (*filter) {
            (*filter)->Release();
            *filter = nullptr;
        }
    }
}

HRESULT DeviceControl::GetLastResult() const {
    return lastResult;
}

HRESULT DeviceControl::GetProperty(DWORD id, void* data) {
    return driver ? driver->Get(id, data) : DEVCTL_S_NOT_BOUND;
}

HRESULT DeviceControl::SetProperty(DWORD id, const void* data) {
    return driver ? driver->Set(id, data) : DEVCTL_S_NOT_BOUND;
}

DWORD DeviceControl::GetRecordedValue(DWORD id) {
    DWORD value = 0;
    return Record(GetProperty(id, &value)) < 0 ? 0 : value;
}

DWORD DeviceControl::GetValue1019() {
    return GetRecordedValue(CPROP_VALUE_1019);
}
DWORD DeviceControl::GetValue1034() {
    return GetRecordedValue(CPROP_VALUE_1034);
}
DWORD DeviceControl::GetValue1035() {
    return GetRecordedValue(CPROP_VALUE_1035);
}
DWORD DeviceControl::GetValue103C() {
    return GetRecordedValue(CPROP_VALUE_103C);
}

// Select, then move the data; after a failure the selection is reset to 0 so
// that the driver holds no stale selection. The reset's status is dropped.
HRESULT DeviceControl::AccessRegisters(DWORD selectId, DWORD dataId, DWORD selectWord, void* data,
                                       bool write) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    if (Record(driver->Set(selectId, &selectWord)) >= 0) {
        Record(write ? driver->Set(dataId, data) : driver->Get(dataId, data));
    }
    if (lastResult < 0) {
        DWORD reset = 0;
        driver->Set(selectId, &reset);
    }
    return lastResult;
}

HRESULT DeviceControl::ReadRegisters(DWORD index, DWORD count, void* data) {
    return AccessRegisters(CPROP_REG_SELECT, CPROP_REG_DATA, RegisterSelectWord(index, count), data,
                           false);
}

HRESULT DeviceControl::WriteRegisters(DWORD index, DWORD count, const void* data) {
    return AccessRegisters(CPROP_REG_SELECT, CPROP_REG_DATA, RegisterSelectWord(index, count),
                           const_cast<void*>(data), true);
}

HRESULT DeviceControl::ReadAltRegisters(DWORD index, DWORD count, void* data) {
    return AccessRegisters(CPROP_ALT_REG_SELECT, CPROP_ALT_REG_DATA,
                           AltRegisterSelectWord(index, count), data, false);
}

HRESULT DeviceControl::WriteAltRegisters(DWORD index, DWORD count, const void* data) {
    return AccessRegisters(CPROP_ALT_REG_SELECT, CPROP_ALT_REG_DATA,
                           AltRegisterSelectWord(index, count), const_cast<void*>(data), true);
}

HRESULT DeviceControl::SelectI2cDevice(DWORD address) {
    return SetProperty(CPROP_I2C_DEVICE, &address);
}

HRESULT DeviceControl::ProbeI2cDevice(DWORD address, DWORD* state) {
    *state = 0;
    if (!driver) {
        return Record(DEVCTL_S_NOT_BOUND);
    }
    DWORD ready = 0;
    if (Record(driver->Set(CPROP_I2C_DEVICE, &address)) >= 0) {
        Record(driver->Get(CPROP_I2C_DEVICE_READY, &ready));
    }
    if (lastResult < 0) {
        return lastResult;
    }
    if (ready == 0) {
        return DEVCTL_S_NOT_READY;
    }
    return Record(driver->Get(CPROP_I2C_DEVICE_STATE, state));
}

HRESULT DeviceControl::TransferI2c(DWORD descriptor, void* data, DWORD direction) {
    return AccessRegisters(CPROP_I2C_TRANSFER, CPROP_I2C_DATA, descriptor, data,
                           direction == kI2cWrite);
}

HRESULT DeviceControl::ReadI2cDirect(DWORD address, DWORD count, void* data) {
    if (IsRemoteKeyAddress(address)) {
        return ReadRemoteKeyInto(count, data);
    }
    return TransferI2c(DirectDescriptor(address, count), data, kI2cRead);
}

HRESULT DeviceControl::WriteI2cDirect(DWORD address, DWORD count, const void* data) {
    return TransferI2c(DirectDescriptor(address, count), const_cast<void*>(data), kI2cWrite);
}

HRESULT DeviceControl::ReadI2c(DWORD address, DWORD subAddress, DWORD count, void* data) {
    if (subAddress == 0 && IsRemoteKeyAddress(address)) {
        return ReadRemoteKeyInto(count, data);
    }
    return TransferI2c(SubAddressDescriptor(address, subAddress, count), data, kI2cRead);
}

HRESULT DeviceControl::WriteI2c(DWORD address, DWORD subAddress, DWORD count, const void* data) {
    return TransferI2c(SubAddressDescriptor(address, subAddress, count), const_cast<void*>(data),
                       kI2cWrite);
}

HRESULT DeviceControl::ReadI2c16(DWORD address, DWORD subAddress, DWORD count, void* data) {
    return TransferI2c(SubAddress16Descriptor(address, subAddress, count), data, kI2cRead);
}

HRESULT DeviceControl::WriteI2c16(DWORD address, DWORD subAddress, DWORD count, const void* data) {
    return TransferI2c(SubAddress16Descriptor(address, subAddress, count), const_cast<void*>(data),
                       kI2cWrite);
}

HRESULT DeviceControl::ReadI2cLong(DWORD address, DWORD subAddress, DWORD length, void* data) {
    return TransferI2c(LongDescriptor(address, subAddress, length), data, kI2cRead);
}

HRESULT DeviceControl::WriteI2cLong(DWORD address, DWORD subAddress, DWORD length,
                                    const void* data) {
    return TransferI2c(LongDescriptor(address, subAddress, length), const_cast<void*>(data),
                       kI2cWrite);
}

HRESULT DeviceControl::TransferRaw(DWORD target, DWORD writeLength, const void* writeData,
                                   DWORD readLength, void* readData) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    return Record(driver->Transfer(target, writeLength, writeData, readLength, readData));
}

HRESULT DeviceControl::InvokeRaw(DWORD first, DWORD second, DWORD third) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    return Record(driver->Invoke(first, second, third));
}

HRESULT DeviceControl::SetValue103D(DWORD value) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    return Record(driver->SetDirect(CPROP_VALUE_103D, value));
}

BOOL DeviceControl::TryGetProperty(DWORD id, void* data) {
    return Succeeded(GetProperty(id, data));
}
BOOL DeviceControl::TrySetProperty(DWORD id, const void* data) {
    return Succeeded(SetProperty(id, data));
}
BOOL DeviceControl::TryReadRegisters(DWORD index, DWORD count, void* data) {
    return Succeeded(ReadRegisters(index, count, data));
}
BOOL DeviceControl::TryWriteRegisters(DWORD index, DWORD count, const void* data) {
    return Succeeded(WriteRegisters(index, count, data));
}
BOOL DeviceControl::TrySelectI2cDevice(DWORD address) {
    return Succeeded(SelectI2cDevice(address));
}
BOOL DeviceControl::TryReadI2cDirect(DWORD address, DWORD count, void* data) {
    return Succeeded(ReadI2cDirect(address, count, data));
}
BOOL DeviceControl::TryWriteI2cDirect(DWORD address, DWORD count, const void* data) {
    return Succeeded(WriteI2cDirect(address, count, data));
}
BOOL DeviceControl::TryReadI2c(DWORD address, DWORD subAddress, DWORD count, void* data) {
    return Succeeded(ReadI2c(address, subAddress, count, data));
}
BOOL DeviceControl::TryWriteI2c(DWORD address, DWORD subAddress, DWORD count, const void* data) {
    return Succeeded(WriteI2c(address, subAddress, count, data));
}
BOOL DeviceControl::TryReadI2c16(DWORD address, DWORD subAddress, DWORD count, void* data) {
    return Succeeded(ReadI2c16(address, subAddress, count, data));
}
BOOL DeviceControl::TryWriteI2c16(DWORD address, DWORD subAddress, DWORD count, const void* data) {
    return Succeeded(WriteI2c16(address, subAddress, count, data));
}
BOOL DeviceControl::TryReadI2cLong(DWORD address, DWORD subAddress, DWORD length, void* data) {
    return Succeeded(ReadI2cLong(address, subAddress, length, data));
}
BOOL DeviceControl::TryWriteI2cLong(DWORD address, DWORD subAddress, DWORD length,
                                    const void* data) {
    return Succeeded(WriteI2cLong(address, subAddress, length, data));
}

ICustomProperty* DeviceControl::BindFilter(IBaseFilter* filter) {
    if (!filter) {
        return nullptr;
    }
    // A driver still held would be overwritten by the query: let it go first.
    Close();
    // The reference goes straight into the field; the filter stays the caller's.
    Record(filter->QueryInterface(__uuidof(ICustomProperty), reinterpret_cast<void**>(&driver)));
    if (lastResult < 0 || !driver) {
        return nullptr;
    }
    // The identity reads are not examined: a failed read leaves what the driver left.
    GetProperty(CPROP_BOARD_CONFIG, &boardConfig);
    GetProperty(CPROP_REMOTE_ADDRESS, &remoteAddress);
    GetProperty(CPROP_REMOTE_I2C_ADDRESS, &remoteI2cAddress);
    GetProperty(CPROP_CHIP_ID, &chipId);
    chipId &= 0xFF;
    newGeneration = IsNewGenerationChip(chipId) ? 1 : 0;
    return driver;
}
