#include "simdevice/chip/chip.h"

#include <cstring>
#include <iterator>

#include "devctl/custom_property.h"
#include "simdevice/chip/codec.h"
#include "simdevice/chip/remote_receiver.h"
#include "simdevice/chip/gpio.h"

namespace sim {

namespace {

constexpr DWORD kFirstValueId = 0x1000;  // values[] holds the ids from here

DWORD* ValueSlot(ChipState& state, DWORD id) {
    const DWORD slot = id - kFirstValueId;
    return slot < std::size(state.values) ? &state.values[slot] : nullptr;
}
constexpr DWORD kRegisterTarget = 0xFF;  // Transfer target of the chip's own register window

DWORD LoadWord(const void* data) {
    DWORD word = 0;
    std::memcpy(&word, data, sizeof word);
    return word;
}

void StoreWord(void* data, DWORD word) {
    std::memcpy(data, &word, sizeof word);
}

// The codes of the later chip generation, whose register map differs.
// An independent model of the hardware: deliberately not the library's table.
bool IsNewGenerationCode(DWORD code) {
    static constexpr BYTE codes[] = {0x32, 0x34, 0x41, 0x42, 0x43, 0x44, 0x60, 0x61,
                                     0x63, 0x64, 0x70, 0x71, 0x72, 0x73, 0x74};
    for (BYTE c : codes) {
        if (c == (code & 0xFF)) {
            return true;
        }
    }
    return false;
}

}  // namespace

I2cTransfer DecodeI2cDescriptor(DWORD descriptor) {
    const BYTE top = static_cast<BYTE>(descriptor >> 24);
    const BYTE address = static_cast<BYTE>(descriptor >> 16);
    const BYTE middle = static_cast<BYTE>(descriptor >> 8);
    const BYTE low = static_cast<BYTE>(descriptor);
    if (top == 0x01) {
        return {address, WORD{middle}, low};
    }
    if (low & 0x80) {
        return {address, static_cast<WORD>((top << 8) | middle), size_t{low & 0x7Fu}};
    }
    if (top == 0 && middle == 0) {
        return {address, std::nullopt, low};
    }
    return {address, WORD{middle}, (size_t{top} << 8) | low};
}

std::optional<DWORD> SelectionPropertyOf(DWORD dataId) {
    switch (dataId) {
        case CPROP_REG_DATA:
            return CPROP_REG_SELECT;
        case CPROP_ALT_REG_DATA:
            return CPROP_ALT_REG_SELECT;
        case CPROP_I2C_DATA:
            return CPROP_I2C_TRANSFER;
        default:
            return std::nullopt;
    }
}

size_t SelectionCount(DWORD selectId, DWORD word) {
    return selectId == CPROP_I2C_TRANSFER ? DecodeI2cDescriptor(word).count : (word & 0xFF);
}

SimChip::SimChip(const ChipIdentity& identity, std::optional<EepromImage> eeprom)
    : SimChip(identity, eeprom.has_value(), ChipMemory::Private()) {
    PowerOn(eeprom.value_or(FreshProductEeprom()));
}

SimChip::SimChip(const ChipIdentity& identity, bool hasEeprom, std::unique_ptr<ChipMemory> memory)
    : identity_(identity), memory_(std::move(memory)), state_(memory_->State()) {
    if (hasEeprom) {
        auto device = std::make_unique<SimEeprom>(state_.eeprom);
        eeprom_ = device.get();
        bus_[kEepromAddress] = std::move(device);
    }
    auto codec = std::make_unique<SimCodec>(state_.codec);
    codec_ = codec.get();
    AddRegisterBlock(std::move(codec));
    auto remote = std::make_unique<SimRemoteReceiver>(*this, state_.remote);
    remote_ = remote.get();
    AddRegisterBlock(std::move(remote));
    auto gpio = std::make_unique<SimGpio>(*this, state_.gpio);
    gpio_ = gpio.get();
    AddRegisterBlock(std::move(gpio));
}

void SimChip::PowerOn(const EepromImage& eeprom) {
    std::memset(state_.main, 0, sizeof state_.main);
    std::memset(state_.alt, 0, sizeof state_.alt);
    state_.regSelect = state_.altSelect = state_.i2cDescriptor = state_.i2cSelected = 0;
    std::memset(state_.values, 0, sizeof state_.values);
    SimGpio::PowerOn(state_.gpio);
    SimCodec::PowerOn(state_.codec);
    state_.remote = {};
    SimEeprom::PowerOn(state_.eeprom, eeprom);
}

SimChip::~SimChip() = default;

bool SimChip::IsNewGeneration() const {
    return IsNewGenerationCode(identity_.chipId);
}

DWORD SimChip::Value(DWORD id) const {
    const DWORD* slot = ValueSlot(state_, id);
    return slot ? *slot : 0;
}

void SimChip::SetValue(DWORD id, DWORD value) {
    if (DWORD* slot = ValueSlot(state_, id)) {
        *slot = value;
    }
}

void SimChip::AttachI2cDevice(BYTE address, std::unique_ptr<I2cDevice> device) {
    address &= 0xFE;
    if (address == kEepromAddress) {
        eeprom_ = dynamic_cast<SimEeprom*>(device.get());
    }
    bus_[address] = std::move(device);
}

I2cDevice* SimChip::I2cDeviceAt(BYTE address) {
    auto it = bus_.find(static_cast<BYTE>(address & 0xFE));
    return it == bus_.end() ? nullptr : it->second.get();
}

void SimChip::AddRegisterBlock(std::unique_ptr<RegisterBlock> block) {
    blocks_.push_back(std::move(block));
}

BYTE SimChip::ReadMain(WORD index) {
    BYTE value = 0;
    for (auto& block : blocks_) {
        if (block->Read(index, &value)) {
            return value;
        }
    }
    return state_.main[index];
}

void SimChip::WriteMain(WORD index, BYTE value) {
    for (auto& block : blocks_) {
        if (block->Write(index, value)) {
            return;
        }
    }
    state_.main[index] = value;
}

BYTE SimChip::Register(WORD index) const {
    return state_.main[index];
}

void SimChip::SetRegister(WORD index, BYTE value) {
    state_.main[index] = value;
}

size_t SimChip::DataSize(DWORD id) const {
    const HeldSelections held{state_.regSelect, state_.altSelect, state_.i2cDescriptor};
    return held.DataBytes(id, DecodeI2cDescriptor(held.i2cTransfer).count);
}

HRESULT SimChip::MoveI2cData(void* data, bool write) {
    if (state_.i2cDescriptor == 0) {
        return kNoTransferArmed;
    }
    const I2cTransfer transfer = DecodeI2cDescriptor(state_.i2cDescriptor);
    I2cDevice* device = I2cDeviceAt(transfer.address);
    if (!device) {
        return kNoDeviceAtAddress;
    }
    if (!device->ready) {
        return kDeviceNotReady;
    }
    if (transfer.count && !data) {
        return E_POINTER;
    }
    auto* bytes = static_cast<BYTE*>(data);
    return write ? device->Write(transfer.subAddress, bytes, transfer.count)
                 : device->Read(transfer.subAddress, bytes, transfer.count);
}

HRESULT SimChip::Set(DWORD id, const void* data) {
    if (!data) {
        return E_POINTER;
    }
    switch (id) {
        case CPROP_REG_SELECT:
            state_.regSelect = LoadWord(data);
            return S_OK;
        case CPROP_REG_DATA: {
            const WORD index = static_cast<WORD>(state_.regSelect >> 8);
            const auto* bytes = static_cast<const BYTE*>(data);
            for (size_t i = 0; i < DataSize(id); ++i) {
                WriteMain(static_cast<WORD>(index + i), bytes[i]);
            }
            return S_OK;
        }
        case CPROP_ALT_REG_SELECT:
            state_.altSelect = LoadWord(data);
            return S_OK;
        case CPROP_ALT_REG_DATA: {
            const BYTE index = static_cast<BYTE>(state_.altSelect >> 8);
            const auto* bytes = static_cast<const BYTE*>(data);
            for (size_t i = 0; i < DataSize(id); ++i) {
                state_.alt[static_cast<BYTE>(index + i)] = bytes[i];
            }
            return S_OK;
        }
        case CPROP_I2C_TRANSFER:
            state_.i2cDescriptor = LoadWord(data);
            return S_OK;
        case CPROP_I2C_DATA:
            return MoveI2cData(const_cast<void*>(data), true);
        case CPROP_I2C_DEVICE:
            state_.i2cSelected = LoadWord(data);
            return I2cDeviceAt(static_cast<BYTE>(state_.i2cSelected)) ? S_OK : kNoDeviceAtAddress;
        case CPROP_CONFIG_103E:
            SetValue(id, LoadWord(data));
            return S_OK;
        case CPROP_CHIP_CONFIG:
        case CPROP_CHIP_ID:
        case CPROP_BOARD_CONFIG:
        case CPROP_REMOTE_ADDRESS:
        case CPROP_REMOTE_I2C_ADDRESS:
        case CPROP_I2C_DEVICE_STATE:
        case CPROP_I2C_DEVICE_READY:
            return kReadOnlyProperty;
        default:
            return kUnknownProperty;
    }
}

HRESULT SimChip::Get(DWORD id, void* data) {
    if (!data) {
        return E_POINTER;
    }
    switch (id) {
        case CPROP_REG_DATA: {
            const WORD index = static_cast<WORD>(state_.regSelect >> 8);
            auto* bytes = static_cast<BYTE*>(data);
            for (size_t i = 0; i < DataSize(id); ++i) {
                bytes[i] = ReadMain(static_cast<WORD>(index + i));
            }
            return S_OK;
        }
        case CPROP_ALT_REG_DATA: {
            const BYTE index = static_cast<BYTE>(state_.altSelect >> 8);
            auto* bytes = static_cast<BYTE*>(data);
            for (size_t i = 0; i < DataSize(id); ++i) {
                bytes[i] = state_.alt[static_cast<BYTE>(index + i)];
            }
            return S_OK;
        }
        case CPROP_I2C_DATA:
            return MoveI2cData(data, false);
        case CPROP_I2C_DEVICE_READY:
        case CPROP_I2C_DEVICE_STATE: {
            I2cDevice* device = I2cDeviceAt(static_cast<BYTE>(state_.i2cSelected));
            if (!device) {
                return kNoDeviceAtAddress;
            }
            StoreWord(data, id == CPROP_I2C_DEVICE_READY ? DWORD{device->ready} : device->state);
            return S_OK;
        }
        case CPROP_CHIP_CONFIG:
            StoreWord(data, identity_.chipConfig);
            return S_OK;
        case CPROP_CHIP_ID:
            StoreWord(data, identity_.chipId);
            return S_OK;
        case CPROP_BOARD_CONFIG:
            StoreWord(data, identity_.boardConfig);
            return S_OK;
        case CPROP_REMOTE_ADDRESS:
            StoreWord(data, identity_.remoteAddress);
            return S_OK;
        case CPROP_REMOTE_I2C_ADDRESS:
            StoreWord(data, identity_.remoteI2cAddress);
            return S_OK;
        case CPROP_VALUE_1019:
        case CPROP_VALUE_1034:
        case CPROP_VALUE_1035:
        case CPROP_VALUE_103C:
        case CPROP_CONFIG_103E:
            StoreWord(data, Value(id));
            return S_OK;
        default:
            return kUnknownProperty;
    }
}

// The chip model has nothing behind the driver's Invoke slot: it accepts the call.
HRESULT SimChip::Invoke(DWORD, DWORD, DWORD) {
    return S_OK;
}

// Target 0xFF is the chip's own register window: the first byte written is a
// register index, further bytes are written from there, and the read starts
// at that index. Other targets are 8-bit I2C addresses on the bus.
HRESULT SimChip::Transfer(DWORD target, DWORD writeLength, const void* writeData, DWORD readLength,
                          void* readData) {
    if ((writeLength && !writeData) || (readLength && !readData)) {
        return E_POINTER;
    }
    const auto* out = static_cast<const BYTE*>(writeData);
    auto* in = static_cast<BYTE*>(readData);
    if (target == kRegisterTarget) {
        if (writeLength == 0) {
            return E_INVALIDARG;
        }
        const WORD index = out[0];
        for (DWORD i = 1; i < writeLength; ++i) {
            WriteMain(static_cast<WORD>(index + i - 1), out[i]);
        }
        for (DWORD i = 0; i < readLength; ++i) {
            in[i] = ReadMain(static_cast<WORD>(index + i));
        }
        return S_OK;
    }
    I2cDevice* device = I2cDeviceAt(static_cast<BYTE>(target));
    if (!device) {
        return kNoDeviceAtAddress;
    }
    if (!device->ready) {
        return kDeviceNotReady;
    }
    HRESULT status = S_OK;
    if (writeLength) {
        status = device->Write(std::nullopt, out, writeLength);
    }
    if (SUCCEEDED(status) && readLength) {
        status = device->Read(std::nullopt, in, readLength);
    }
    return status;
}

HRESULT SimChip::SetDirect(DWORD id, DWORD value) {
    if (id != CPROP_VALUE_103D) {
        return kUnknownProperty;
    }
    SetValue(id, value);
    return S_OK;
}

}  // namespace sim
