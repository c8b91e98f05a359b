#include "simdevice/chip/eeprom.h"

#include <cstring>

namespace sim {

SimEeprom::SimEeprom(const EepromImage& image)
    : own_(std::make_unique<EepromState>()), state_(own_.get()) {
    PowerOn(*state_, image);
}

void SimEeprom::PowerOn(EepromState& state, const EepromImage& image) {
    state = {};
    std::memcpy(state.cells, image.data(), kEepromSize);
}

EepromImage SimEeprom::Bytes() const {
    EepromImage image;
    std::memcpy(image.data(), state_->cells, kEepromSize);
    return image;
}

void SimEeprom::Keep(const EepromImage& image) {
    std::memcpy(state_->cells, image.data(), kEepromSize);
}

HRESULT SimEeprom::Refresh() {
    if (!store_) {
        return S_OK;
    }
    EepromImage stored;
    const HRESULT status = store_->Read(stored);
    if (SUCCEEDED(status)) {
        Keep(stored);
    }
    return status;
}

HRESULT SimEeprom::Read(std::optional<WORD> subAddress, BYTE* data, size_t count) {
    if (subAddress) {
        state_->pointer = static_cast<BYTE>(*subAddress);
    }
    if (count == 0) {
        return S_OK;
    }
    const HRESULT status = Refresh();
    if (FAILED(status)) {
        return status;
    }
    for (size_t i = 0; i < count; ++i) {
        data[i] = state_->cells[state_->pointer++];
    }
    return S_OK;
}

HRESULT SimEeprom::Write(std::optional<WORD> subAddress, const BYTE* data, size_t count) {
    if (!subAddress) {
        if (count == 0) {
            return S_OK;
        }
        subAddress = data[0];
        ++data;
        --count;
    }
    const BYTE start = static_cast<BYTE>(*subAddress);
    state_->pointer = start;
    if (count == 0) {
        return S_OK;  // an address-only write just moves the pointer for a following read
    }
    if (store_) {
        EepromImage stored = Bytes();
        const HRESULT status = store_->Write(start, data, count, stored);
        Keep(stored);
        if (FAILED(status)) {
            return status;
        }
    } else {
        for (size_t i = 0; i < count; ++i) {
            state_->cells[static_cast<BYTE>(start + i)] = data[i];
        }
    }
    state_->pointer = static_cast<BYTE>(start + count);
    // Each cell once per transfer, however often a long transfer wraps over it.
    for (size_t i = 0; i < count && i < kEepromSize; ++i) {
        ++state_->cellWrites[static_cast<BYTE>(start + i)];
    }
    ++state_->writeCount;
    return S_OK;
}

EepromImage FreshProductEeprom() {
    EepromImage image;
    image.fill(0xFF);  // erased cells
    const BYTE header[] = {
        0x5A, 0x17, 0x00, 0x01,  // 0-3: layout signature and version
        0x3D, 0x6C, 0x50, 0x74,  // 4-7: USB vendor 0x6C3D, product 0x7450
        0x85,                    // 8: option byte, bit 7 set: update not applied
        0x02, 0x00, 0x10,        // 9-11: board options
    };
    std::memcpy(image.data(), header, sizeof header);
    image[kMarkerOffset] = kSupportedProductMarker;
    return image;
}

EepromImage UpdatedProductEeprom() {
    EepromImage image = FreshProductEeprom();
    image[kOptionByteOffset] &= static_cast<BYTE>(~kNotUpdatedBit);
    return image;
}

EepromImage EepromWith(std::initializer_list<std::pair<BYTE, BYTE>> offsetValues,
                       const EepromImage& base) {
    EepromImage image = base;
    for (const auto& [offset, value] : offsetValues) {
        image[offset] = value;
    }
    return image;
}

}  // namespace sim
