// The simulated chip's serial EEPROM: a 24C02-style part of 256 bytes on the
// I2C bus, with the images a simulated device starts from. Its cells may live
// in a store outside the model (eeprom_file.h keeps them in a file).
#pragma once

#include <windows.h>

#include <array>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>

#include "common/eeprom_layout.h"
#include "simdevice/chip/chip_state.h"
#include "simdevice/chip/i2c_device.h"

namespace sim {

// The layout that the updater and identification rely on, from the one
// shared description of the device's EEPROM.
using velto1::eeprom::kMarkerOffset;
using velto1::eeprom::kNotUpdatedBit;
using velto1::eeprom::kOptionByteOffset;
using velto1::eeprom::kSupportedProductMarker;
constexpr BYTE kEepromAddress = velto1::eeprom::kBusAddress;
constexpr size_t kEepromSize = velto1::eeprom::kSize;

using EepromImage = std::array<BYTE, kEepromSize>;

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

// One-byte word address that wraps, a current-address pointer that advances
// with every byte moved. A write without sub-address takes its first byte as
// the word address.
//
// With a store, every read fetches the stored cells and every write goes to
// the store first; a transfer fails with the store's status, and a failed
// write changes no cell and leaves the pointer at the word address.
class SimEeprom : public I2cDevice {
  public:
    // An EEPROM of its own, holding image.
    explicit SimEeprom(const EepromImage& image);
    // The EEPROM of a chip whose state lives elsewhere (chip_memory.h).
    explicit SimEeprom(EepromState& state) : state_(&state) {}
    // The state at power-on: the cells hold image.
    static void PowerOn(EepromState& state, const EepromImage& image);

    HRESULT Read(std::optional<WORD> subAddress, BYTE* data, size_t count) override;
    HRESULT Write(std::optional<WORD> subAddress, const BYTE* data, size_t count) override;

    // The cells as this model last saw them (the store's, when it has one).
    EepromImage Bytes() const;
    // Fetches the stored cells into Bytes(); S_OK without a store.
    HRESULT Refresh();
    void SetStore(std::shared_ptr<EepromStore> store) { store_ = std::move(store); }
    // Number of write transfers that reached the memory.
    unsigned WriteCount() const { return state_->writeCount; }
    // Number of write transfers that stored the cell at offset.
    unsigned CellWriteCount(BYTE offset) const { return state_->cellWrites[offset]; }

  private:
    void Keep(const EepromImage& image);

    std::unique_ptr<EepromState> own_;
    EepromState* state_;
    std::shared_ptr<EepromStore> store_;
};

// EEPROM images to start from.
EepromImage FreshProductEeprom();    // supported product, update not yet applied
EepromImage UpdatedProductEeprom();  // supported product, update applied
EepromImage EepromWith(std::initializer_list<std::pair<BYTE, BYTE>> offsetValues,
                       const EepromImage& base = FreshProductEeprom());

}  // namespace sim
