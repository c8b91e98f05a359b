// A model of the USB video-capture bridge chip as its capture driver presents
// it: the main register space (16-bit index), the alternate space (8-bit
// index), an I2C bus with a 256-byte EEPROM at 0xA0, and the identity and value
// properties. It answers the driver's property protocol (Set, Get, Invoke,
// Transfer, SetDirect); the COM face, fault injection and call log sit in
// SimDriver.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace sim {

// Statuses the simulated driver reports for bad requests.
constexpr HRESULT kNoDeviceAtAddress = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
constexpr HRESULT kDeviceNotReady = HRESULT_FROM_WIN32(ERROR_NOT_READY);
constexpr HRESULT kNoTransferArmed = HRESULT_FROM_WIN32(ERROR_BAD_COMMAND);
constexpr HRESULT kUnknownProperty = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr HRESULT kReadOnlyProperty = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);

// The EEPROM layout that the updater and identification rely on.
constexpr BYTE kEepromAddress = 0xA0;
constexpr size_t kEepromSize = 256;
constexpr BYTE kOptionByteOffset = 0x08;
constexpr BYTE kMarkerOffset = 0x7A;
constexpr BYTE kSupportedProductMarker = 0x31;
constexpr BYTE kOptionNotUpdatedBit = 0x80;

using EepromImage = std::array<BYTE, kEepromSize>;

class SimGpio;

// A device on the chip's I2C bus. Addresses are 8-bit (bit 0 = read/write).
class I2cDevice {
  public:
    virtual ~I2cDevice() = default;
    // subAddress is empty for a transfer at the device's current address.
    virtual HRESULT Read(std::optional<WORD> subAddress, BYTE* data, size_t count) = 0;
    virtual HRESULT Write(std::optional<WORD> subAddress, const BYTE* data, size_t count) = 0;

    bool ready = true;  // false: powered down or not ready
    DWORD state = 0;    // the value the driver reports as CPROP_I2C_DEVICE_STATE
};

// Where an EEPROM's cells live when they outlive the chip model, e.g. a file
// that several processes share as one device.
class EepromStore {
  public:
    virtual ~EepromStore() = default;
    // The cells as stored now.
    virtual HRESULT Read(EepromImage& image) = 0;
    // Stores count bytes from offset (wrapping after the last cell) and leaves
    // every other cell as stored. image receives the stored cells afterwards:
    // with the change when it succeeded, without it when it failed.
    virtual HRESULT Write(BYTE offset, const BYTE* data, size_t count, EepromImage& image) = 0;
};

// A 24C02-style serial EEPROM: 256 bytes, one-byte word address that wraps,
// a current-address pointer that advances with every byte moved. A write
// without sub-address takes its first byte as the word address.
//
// With a store, every read fetches the stored cells and every write goes to
// the store first; a transfer fails with the store's status, and a failed
// write changes no cell and leaves the pointer at the word address.
class SimEeprom : public I2cDevice {
  public:
    explicit SimEeprom(const EepromImage& image) : bytes_(image) {}

    HRESULT Read(std::optional<WORD> subAddress, BYTE* data, size_t count) override;
    HRESULT Write(std::optional<WORD> subAddress, const BYTE* data, size_t count) override;

    // The cells as this model last saw them (the store's, when it has one).
    const EepromImage& Bytes() const { return bytes_; }
    void Load(const EepromImage& image) { bytes_ = image; }
    // Fetches the stored cells into Bytes(); S_OK without a store.
    HRESULT Refresh();
    void SetStore(std::shared_ptr<EepromStore> store) { store_ = std::move(store); }
    // Number of write transfers that reached the memory.
    unsigned WriteCount() const { return writeCount_; }

  private:
    EepromImage bytes_;
    BYTE pointer_ = 0;
    unsigned writeCount_ = 0;
    std::shared_ptr<EepromStore> store_;
};

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

// EEPROM images to start from.
EepromImage FreshProductEeprom();    // supported product, update not yet applied
EepromImage UpdatedProductEeprom();  // supported product, update applied
EepromImage EepromWith(std::initializer_list<std::pair<BYTE, BYTE>> offsetValues,
                       const EepromImage& base = FreshProductEeprom());

class SimCodec;
class SimRemoteReceiver;

class SimChip {
  public:
    explicit SimChip(const ChipIdentity& identity = {},
                     std::optional<EepromImage> eeprom = FreshProductEeprom());
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

    // Direct access for set-up and inspection (no driver protocol involved).
    BYTE Register(WORD index) const;
    void SetRegister(WORD index, BYTE value);
    BYTE AltRegister(BYTE index) const { return alt_[index]; }
    void SetAltRegister(BYTE index, BYTE value) { alt_[index] = value; }
    ChipIdentity& Identity() { return identity_; }
    bool IsNewGeneration() const;
    void SetValue(DWORD id, DWORD value) { values_[id] = value; }
    DWORD Value(DWORD id) const;

    SimEeprom* Eeprom() { return eeprom_; }
    void AttachI2cDevice(BYTE address, std::unique_ptr<I2cDevice> device);
    void DetachI2cDevice(BYTE address);
    I2cDevice* I2cDeviceAt(BYTE address);
    void AddRegisterBlock(std::unique_ptr<RegisterBlock> block);
    // The GPIO port, present on every chip (sim_gpio.h).
    SimGpio& Gpio() { return *gpio_; }

    // The AC97 codec behind registers 0x40-0x43 and the remote-control
    // receiver (sim_codec.h, sim_remote.h), registered at construction.
    SimCodec& Codec() { return *codec_; }
    SimRemoteReceiver& RemoteReceiver() { return *remote_; }

    struct InvokeCall {
        DWORD first, second, third;
    };
    const std::vector<InvokeCall>& Invocations() const { return invocations_; }

  private:
    BYTE ReadMain(WORD index);
    void WriteMain(WORD index, BYTE value);
    HRESULT MoveI2cData(void* data, bool write);

    ChipIdentity identity_;
    std::vector<BYTE> main_;
    std::array<BYTE, 256> alt_{};
    DWORD regSelect_ = 0;
    DWORD altSelect_ = 0;
    DWORD i2cDescriptor_ = 0;
    DWORD i2cSelected_ = 0;
    std::map<BYTE, std::unique_ptr<I2cDevice>> bus_;
    SimEeprom* eeprom_ = nullptr;
    std::vector<std::unique_ptr<RegisterBlock>> blocks_;
    SimCodec* codec_ = nullptr;
    SimRemoteReceiver* remote_ = nullptr;
    SimGpio* gpio_ = nullptr;
    std::map<DWORD, DWORD> values_;
    std::vector<InvokeCall> invocations_;
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

}  // namespace sim
