// A model of the USB video-capture bridge chip as its capture driver presents
// it: the main register space (16-bit index), the alternate space (8-bit
// index), an I2C bus with a 256-byte EEPROM at 0xA0, and the identity and value
// properties. It answers the driver's property protocol (Set, Get, Invoke,
// Transfer, SetDirect); the COM face, fault injection and call log sit in
// SimDriver.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "simdevice/chip/chip_memory.h"
#include "simdevice/chip/eeprom.h"
#include "simdevice/chip/i2c_device.h"

namespace sim {

// Statuses the simulated driver reports for bad requests.
constexpr HRESULT kNoDeviceAtAddress = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
constexpr HRESULT kDeviceNotReady = HRESULT_FROM_WIN32(ERROR_NOT_READY);
constexpr HRESULT kNoTransferArmed = HRESULT_FROM_WIN32(ERROR_BAD_COMMAND);
constexpr HRESULT kUnknownProperty = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr HRESULT kReadOnlyProperty = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);

// A block of the main register space with behaviour of its own (GPIO, codec,
// remote-control receiver). Indexes it doesn't claim fall through to plain
// memory.
class RegisterBlock {
  public:
    virtual ~RegisterBlock() = default;
    virtual bool Read(WORD index, BYTE* value) = 0;  // true when the block owns the index
    virtual bool Write(WORD index, BYTE value) = 0;
};

// Identity of the simulated chip, as the driver reports it.
struct ChipIdentity {
    DWORD chipId = 0x24;  // chip code 0x24: an older-generation part
    DWORD chipConfig = 0;
    DWORD boardConfig = 0x02;
    DWORD remoteAddress = 0;
    DWORD remoteI2cAddress = 0;
};

class SimCodec;
class SimGpio;
class SimRemoteReceiver;

class SimChip {
  public:
    // A chip of this process, powered on with the EEPROM holding eeprom.
    explicit SimChip(const ChipIdentity& identity = {},
                     std::optional<EepromImage> eeprom = FreshProductEeprom());
    // A chip whose state lives in memory (chip_memory.h), as another process may
    // have left it; with hasEeprom, an EEPROM sits on the bus at 0xA0. Its
    // caller powers it on when it is not yet (PoweredOn, PowerOn), holding
    // CallMutex.
    SimChip(const ChipIdentity& identity, bool hasEeprom, std::unique_ptr<ChipMemory> memory);
    ~SimChip();
    SimChip(const SimChip&) = delete;
    SimChip& operator=(const SimChip&) = delete;

    // The driver's operations. Data sizes follow the driver's conventions:
    // one 32-bit word, or for the data properties the count that the last
    // select word or I2C descriptor named.
    HRESULT Set(DWORD id, const void* data);
    HRESULT Get(DWORD id, void* data);
    HRESULT Invoke(DWORD first, DWORD second, DWORD third);
    HRESULT Transfer(DWORD target, DWORD writeLength, const void* writeData, DWORD readLength,
                     void* readData);
    HRESULT SetDirect(DWORD id, DWORD value);

    // Number of bytes a Set or Get of this property moves right now.
    size_t DataSize(DWORD id) const;

    // The mutex that a driver call holds on a chip shared between processes;
    // null for a chip of this process alone.
    HANDLE CallMutex() const { return memory_->CallMutex(); }
    // May be asked without CallMutex: the mark is written after the rest of the state.
    bool PoweredOn() const {
        const bool on = *static_cast<const volatile DWORD*>(&state_.poweredOn) == kPoweredOn;
        MemoryBarrier();
        return on;
    }
    // The state at power-on: registers, selections and values zero, the blocks
    // reset, the EEPROM holding eeprom; marked powered on last.
    void PowerOn(const EepromImage& eeprom);

    // Direct access for set-up and inspection (no driver protocol involved).
    BYTE Register(WORD index) const;
    void SetRegister(WORD index, BYTE value);
    BYTE AltRegister(BYTE index) const { return state_.alt[index]; }
    ChipIdentity& Identity() { return identity_; }
    bool IsNewGeneration() const;
    void SetValue(DWORD id, DWORD value);
    DWORD Value(DWORD id) const;

    SimEeprom* Eeprom() { return eeprom_; }
    void AttachI2cDevice(BYTE address, std::unique_ptr<I2cDevice> device);
    I2cDevice* I2cDeviceAt(BYTE address);
    void AddRegisterBlock(std::unique_ptr<RegisterBlock> block);
    // The GPIO port, present on every chip (gpio.h).
    SimGpio& Gpio() { return *gpio_; }

    // The AC97 codec behind registers 0x40-0x43 and the remote-control
    // receiver (codec.h, remote_receiver.h), registered at construction.
    SimCodec& Codec() { return *codec_; }
    SimRemoteReceiver& RemoteReceiver() { return *remote_; }

  private:
    BYTE ReadMain(WORD index);
    void WriteMain(WORD index, BYTE value);
    HRESULT MoveI2cData(void* data, bool write);

    ChipIdentity identity_;
    std::unique_ptr<ChipMemory> memory_;
    ChipState& state_;
    std::map<BYTE, std::unique_ptr<I2cDevice>> bus_;
    SimEeprom* eeprom_ = nullptr;
    std::vector<std::unique_ptr<RegisterBlock>> blocks_;
    SimCodec* codec_ = nullptr;
    SimRemoteReceiver* remote_ = nullptr;
    SimGpio* gpio_ = nullptr;
};

// How the simulated driver splits an I2C transfer descriptor. The four layouts
// overlap (a long transfer of 0x123 bytes reads like an 8-bit sub-address
// transfer of 0x23), so the driver decides in a fixed order: top byte 1 is the
// 8-bit sub-address layout; bit 7 of the low byte the 16-bit layout; top byte
// and bits 15-8 zero the direct layout; anything else the long layout.
struct I2cTransfer {
    BYTE address;
    std::optional<WORD> subAddress;
    size_t count;
};
I2cTransfer DecodeI2cDescriptor(DWORD descriptor);

// The select property whose word says how many bytes a data property moves;
// none for any other property.
std::optional<DWORD> SelectionPropertyOf(DWORD dataId);

// The bytes that a select property's word counts for its data property.
size_t SelectionCount(DWORD selectId, DWORD word);

}  // namespace sim
