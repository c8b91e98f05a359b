// The property channel: DeviceControl's lifetime, whole-property access,
// register and I2C sequences over the driver's Set and Get, the pass-throughs,
// the boolean forms and binding to a capture filter.
#include "devctl/device_control.h"

#include "devctl/device_lock.h"
#include "devctl/i2c_word.h"
#include "devctl/recording_driver.h"

#include <strmif.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

#include "common/win32_owners.h"

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

constexpr DWORD kI2cWrite = 1;
constexpr DWORD kI2cRead = 0;

// The most bytes a data property can move, whatever selection the driver
// holds: a register select word counts in 8 bits, an I2C descriptor in 16.
constexpr size_t kMaxRegisterData = 0xFF;
constexpr size_t kMaxI2cData = 0xFFFF;

// The bytes a caller's buffer holds for a read of count bytes: the counted
// bytes, and for counts up to 4 the whole 32-bit word every such read fills.
size_t ReadBufferSize(DWORD count) {
    return std::max<size_t>(count, sizeof(DWORD));
}

// A 16-bit sub-address from 0x0100 to 0x01FF puts the 8-bit layout's marker
// in the descriptor's top byte: the word is also an 8-bit sub-address transfer.
bool Is16BitWordAlso8Bit(DWORD subAddress) {
    return (subAddress & 0xFF00) == 0x0100;
}

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
      deviceLock(nullptr),
      foundFilter(nullptr),
      foundDevice(nullptr),
      deviceWaitMilliseconds(kDeviceWaitMilliseconds),
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
      newGeneration(0),
      callRecorder(nullptr),
      recentSequences() {}

DeviceControl::~DeviceControl() = default;

void DeviceControl::Close() {
    if (driver) {
        driver->Release();
        driver = nullptr;
    }
    // Deleting the lock lets go of each hold first: closing a handle lets go of none.
    delete deviceLock;
    deviceLock = nullptr;
    ForgetFoundDevice();
}

void DeviceControl::ForgetFoundDevice() {
    if (foundFilter) {
        foundFilter->Release();
        foundFilter = nullptr;
    }
    CoTaskMemFree(foundDevice);
    foundDevice = nullptr;
}

HRESULT DeviceControl::HoldDevice() {
    if (!driver) {
        return Record(DEVCTL_S_NOT_BOUND);
    }
    if (!deviceLock) {
        return Record(S_OK);
    }
    return Record(deviceLock->Acquire(deviceWaitMilliseconds) ? S_OK : DEVCTL_E_DEVICE_BUSY);
}

void DeviceControl::ReleaseDevice() {
    if (deviceLock) {
        deviceLock->Release();
    }
}

void DeviceControl::SetDeviceWaitTime(DWORD milliseconds) {
    deviceWaitMilliseconds = milliseconds;
}

DWORD DeviceControl::GetDeviceWaitTime() const {
    return deviceWaitMilliseconds;
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

void DeviceControl::RecordCalls(CallRecorder* recorder) {
    callRecorder = recorder;
    driver = RecordDriverCalls(driver, recorder);
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
//
// The data moves through a buffer of the library's own, as large as the most
// the property can move (capacity): the driver moves as many bytes as the
// selection it holds says, and that may be another program's selection or
// one our select did not replace. A read hands back ReadBufferSize(count)
// bytes, and only when it succeeded; a write's buffer holds the count bytes,
// the rest zero, so no driver reads past the caller's data.
HRESULT DeviceControl::AccessData(DWORD selectId, DWORD dataId, DWORD selectWord, DWORD count,
                                  size_t capacity, void* data, DataMove move) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    const devctl_internal::DeviceLockScope hold(deviceLock, deviceWaitMilliseconds);
    if (!hold.Held()) {
        return Record(DEVCTL_E_DEVICE_BUSY);
    }
    std::unique_ptr<BYTE[]> staging(new (std::nothrow) BYTE[capacity]);
    if (!staging) {
        return Record(E_OUTOFMEMORY);
    }
    const bool write = move == DataMove::Write;
    // A null data pointer stays null: the driver answers it as it does.
    const size_t callerBytes = !data ? 0 : write ? count : ReadBufferSize(count);
    RecentSequence& recent = RecentSequenceOf(selectId);
    if (write) {
        std::memset(staging.get(), 0, capacity);
        if (callerBytes) {
            std::memcpy(staging.get(), data, callerBytes);
        }
        if (Record(driver->Set(selectId, &selectWord)) >= 0) {
            Record(driver->Set(dataId, data ? staging.get() : nullptr));
        }
    } else {
        ReadDelivered(selectId, dataId, selectWord, data ? count : 0, staging.get(), callerBytes,
                      data, move);
    }
    if (lastResult < 0) {
        DWORD reset = 0;
        driver->Set(selectId, &reset);
        recent = RecentSequence{};
        return lastResult;
    }
    recent.selectWord = selectWord;
    recent.length = static_cast<DWORD>(data ? std::min<size_t>(count, kRecentBytes) : 0);
    std::memcpy(recent.bytes, staging.get(), recent.length);
    if (!write && callerBytes) {
        std::memcpy(data, staging.get(), callerBytes);
    }
    return lastResult;
}

// The select and the data Get of a read, with the proof that the counted bytes
// are the driver's (see the data buffers in the header); the bytes land in
// staging, whose first callerBytes start as the caller's.
HRESULT DeviceControl::ReadDelivered(DWORD selectId, DWORD dataId, DWORD selectWord, DWORD count,
                                     BYTE* staging, size_t callerBytes, const void* callerData,
                                     DataMove move) {
    const auto getFilled = [&](BYTE fill) {
        if (callerBytes) {
            std::memcpy(staging, callerData, callerBytes);
        }
        std::memset(staging, fill, count);
        return Record(driver->Get(dataId, callerData ? staging : nullptr));
    };
    const auto showsFill = [&](BYTE fill) {
        return std::find(staging, staging + count, fill) != staging + count;
    };
    // One Get, and where a byte shows the fill a second over its complement.
    const auto getProven = [&]() -> HRESULT {
        if (getFilled(kUndeliveredFill) < 0 || count == 0) {
            return lastResult;
        }
        if (move == DataMove::ReadWithEffect) {
            const bool allFill =
                std::all_of(staging, staging + count, [](BYTE b) { return b == kUndeliveredFill; });
            return allFill ? Record(DEVCTL_E_NOT_DELIVERED) : lastResult;
        }
        if (!showsFill(kUndeliveredFill)) {
            return lastResult;
        }
        std::unique_ptr<BYTE[]> first(new (std::nothrow) BYTE[count]);
        if (!first) {
            return Record(E_OUTOFMEMORY);
        }
        std::memcpy(first.get(), staging, count);
        const HRESULT firstStatus = lastResult;
        const BYTE complement = static_cast<BYTE>(~kUndeliveredFill);
        if (getFilled(complement) < 0) {
            return lastResult;
        }
        // A byte is the driver's when it left the fill at least once alike.
        for (DWORD i = 0; i < count; ++i) {
            if (staging[i] == complement && first[i] != complement) {
                return Record(DEVCTL_E_NOT_DELIVERED);
            }
        }
        // The first answer's positive status stands: asking again does not mend it.
        return lastResult == S_OK ? Record(firstStatus) : lastResult;
    };
    if (Record(driver->Set(selectId, &selectWord)) < 0 || getProven() < 0) {
        return lastResult;
    }
    // The bytes of the sequence before, under another word: perhaps its
    // selection, still in force; select again and read once more.
    const RecentSequence& recent = RecentSequenceOf(selectId);
    const size_t compared = std::min<size_t>(count, recent.length);
    if (move == DataMove::ReadWithEffect || compared == 0 || recent.selectWord == selectWord ||
        std::memcmp(staging, recent.bytes, compared) != 0) {
        return lastResult;
    }
    if (Record(driver->Set(selectId, &selectWord)) < 0) {
        return lastResult;
    }
    return getProven();
}

DeviceControl::RecentSequence& DeviceControl::RecentSequenceOf(DWORD selectId) {
    const size_t kind = selectId == CPROP_REG_SELECT ? 0 : selectId == CPROP_ALT_REG_SELECT ? 1 : 2;
    return recentSequences[kind];
}

HRESULT DeviceControl::ReadRegisters(DWORD index, DWORD count, void* data) {
    return AccessData(CPROP_REG_SELECT, CPROP_REG_DATA, RegisterSelectWord(index, count),
                      count & 0xFF, kMaxRegisterData, data, DataMove::Read);
}

HRESULT DeviceControl::ReadRegistersWithEffect(DWORD index, DWORD count, void* data) {
    return AccessData(CPROP_REG_SELECT, CPROP_REG_DATA, RegisterSelectWord(index, count),
                      count & 0xFF, kMaxRegisterData, data, DataMove::ReadWithEffect);
}

HRESULT DeviceControl::WriteRegisters(DWORD index, DWORD count, const void* data) {
    return AccessData(CPROP_REG_SELECT, CPROP_REG_DATA, RegisterSelectWord(index, count),
                      count & 0xFF, kMaxRegisterData, const_cast<void*>(data), DataMove::Write);
}

HRESULT DeviceControl::ReadAltRegisters(DWORD index, DWORD count, void* data) {
    return AccessData(CPROP_ALT_REG_SELECT, CPROP_ALT_REG_DATA, AltRegisterSelectWord(index, count),
                      count & 0xFF, kMaxRegisterData, data, DataMove::Read);
}

HRESULT DeviceControl::WriteAltRegisters(DWORD index, DWORD count, const void* data) {
    return AccessData(CPROP_ALT_REG_SELECT, CPROP_ALT_REG_DATA, AltRegisterSelectWord(index, count),
                      count & 0xFF, kMaxRegisterData, const_cast<void*>(data), DataMove::Write);
}

HRESULT DeviceControl::SelectI2cDevice(DWORD address) {
    return SetProperty(CPROP_I2C_DEVICE, &address);
}

HRESULT DeviceControl::ProbeI2cDevice(DWORD address, DWORD* state) {
    *state = 0;
    if (!driver) {
        return Record(DEVCTL_S_NOT_BOUND);
    }
    const devctl_internal::DeviceLockScope hold(deviceLock, deviceWaitMilliseconds);
    if (!hold.Held()) {
        return Record(DEVCTL_E_DEVICE_BUSY);
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
    return TransferI2cCounted(descriptor, FirstI2cReading(descriptor).count, data, direction);
}

HRESULT DeviceControl::TransferI2cCounted(DWORD descriptor, DWORD count, void* data,
                                          DWORD direction) {
    return AccessData(CPROP_I2C_TRANSFER, CPROP_I2C_DATA, descriptor, count, kMaxI2cData, data,
                      direction == kI2cWrite ? DataMove::Write : DataMove::Read);
}

HRESULT DeviceControl::ReadI2cDirect(DWORD address, DWORD count, void* data) {
    if (IsRemoteKeyAddress(address)) {
        return ReadRemoteKeyInto(count, data);
    }
    return TransferI2cCounted(I2cDescriptorWord({I2cLayout::Direct, address, 0, count}),
                              count & 0xFF, data, kI2cRead);
}

HRESULT DeviceControl::WriteI2cDirect(DWORD address, DWORD count, const void* data) {
    return TransferI2cCounted(I2cDescriptorWord({I2cLayout::Direct, address, 0, count}),
                              count & 0xFF, const_cast<void*>(data), kI2cWrite);
}

HRESULT DeviceControl::ReadI2c(DWORD address, DWORD subAddress, DWORD count, void* data) {
    if (subAddress == 0 && IsRemoteKeyAddress(address)) {
        return ReadRemoteKeyInto(count, data);
    }
    return TransferI2cCounted(
        I2cDescriptorWord({I2cLayout::SubAddress8, address, subAddress, count}), count & 0xFF, data,
        kI2cRead);
}

HRESULT DeviceControl::WriteI2c(DWORD address, DWORD subAddress, DWORD count, const void* data) {
    return TransferI2cCounted(
        I2cDescriptorWord({I2cLayout::SubAddress8, address, subAddress, count}), count & 0xFF,
        const_cast<void*>(data), kI2cWrite);
}

HRESULT DeviceControl::ReadI2c16(DWORD address, DWORD subAddress, DWORD count, void* data) {
    if (Is16BitWordAlso8Bit(subAddress)) {
        return Record(DEVCTL_S_INVALID_PARAMETER);
    }
    return TransferI2cCounted(
        I2cDescriptorWord({I2cLayout::SubAddress16, address, subAddress, count}), count & 0x7F,
        data, kI2cRead);
}

HRESULT DeviceControl::WriteI2c16(DWORD address, DWORD subAddress, DWORD count, const void* data) {
    if (Is16BitWordAlso8Bit(subAddress)) {
        return Record(DEVCTL_S_INVALID_PARAMETER);
    }
    return TransferI2cCounted(
        I2cDescriptorWord({I2cLayout::SubAddress16, address, subAddress, count}), count & 0x7F,
        const_cast<void*>(data), kI2cWrite);
}

HRESULT DeviceControl::ReadI2cLong(DWORD address, DWORD subAddress, DWORD length, void* data) {
    return TransferI2cCounted(I2cDescriptorWord({I2cLayout::Long, address, subAddress, length}),
                              length & 0xFFFF, data, kI2cRead);
}

HRESULT DeviceControl::WriteI2cLong(DWORD address, DWORD subAddress, DWORD length,
                                    const void* data) {
    return TransferI2cCounted(I2cDescriptorWord({I2cLayout::Long, address, subAddress, length}),
                              length & 0xFFFF, const_cast<void*>(data), kI2cWrite);
}

// One call, but to the driver a selection and its data (the register window's
// index and the read from it, an I2C device and its bytes): held as a sequence
// is, so that it lands between no other program's select and data.
HRESULT DeviceControl::TransferRaw(DWORD target, DWORD writeLength, const void* writeData,
                                   DWORD readLength, void* readData) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    const devctl_internal::DeviceLockScope hold(deviceLock, deviceWaitMilliseconds);
    if (!hold.Held()) {
        return Record(DEVCTL_E_DEVICE_BUSY);
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
    std::wstring known;
    if (foundFilter && devctl_internal::SameObject(foundFilter, filter)) {
        known = foundDevice ? foundDevice : L"";
    } else if (const std::wstring* handedOut = devctl_internal::HandingOut::IdentityOf(filter)) {
        known = *handedOut;
    }
    return BindFilterAs(filter, known.c_str());
}

ICustomProperty* DeviceControl::BindFilter(IBaseFilter* filter, IMoniker* device) {
    if (!device) {
        return BindFilter(filter);
    }
    return BindFilterAs(filter, devctl_internal::DisplayNameOf(device).c_str());
}

ICustomProperty* DeviceControl::BindFilterAs(IBaseFilter* filter, const wchar_t* displayName) {
    if (!filter) {
        return nullptr;
    }
    const std::wstring identity(displayName ? displayName : L"");
    // A driver still held would be overwritten by the query: let it go first.
    Close();
    // The reference goes straight into the field; the filter stays the caller's.
    Record(filter->QueryInterface(__uuidof(ICustomProperty), reinterpret_cast<void**>(&driver)));
    if (lastResult < 0 || !driver) {
        return nullptr;
    }
    // A device whose lock can't be had is not used: its sequences could interleave.
    deviceLock = new (std::nothrow) devctl_internal::DeviceLock();
    const HRESULT opened = deviceLock ? deviceLock->Open(identity) : E_OUTOFMEMORY;
    if (FAILED(opened)) {
        Record(opened);
        Close();
        return nullptr;
    }
    driver = RecordDriverCalls(driver, callRecorder);
    {
        // Held for the identity reads and waited for once: a holder may be inside
        // a driver call, where each read would wait for it as long as the driver lets it.
        const devctl_internal::DeviceLockScope hold(deviceLock, deviceWaitMilliseconds);
        if (!hold.Held()) {
            Record(DEVCTL_E_DEVICE_BUSY);
            Close();
            return nullptr;
        }
        // The identity reads are not examined: a failed read leaves what the driver left.
        GetProperty(CPROP_BOARD_CONFIG, &boardConfig);
        GetProperty(CPROP_REMOTE_ADDRESS, &remoteAddress);
        GetProperty(CPROP_REMOTE_I2C_ADDRESS, &remoteI2cAddress);
        GetProperty(CPROP_CHIP_ID, &chipId);
    }
    chipId &= 0xFF;
    newGeneration = IsNewGenerationChip(chipId) ? 1 : 0;
    return driver;
}
