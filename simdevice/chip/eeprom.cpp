#include "simdevice/chip/eeprom.h"

#include <cstring>

namespace sim {

HRESULT SimEeprom::Refresh() {
    if (!store_) {
        return S_OK;
    }
    EepromImage stored;
    const HRESULT status = store_->Read(stored);
    if (SUCCEEDED(status)) {
        bytes_ = stored;
    }
    return status;
}

HRESULT SimEeprom::Read(std::optional<WORD> subAddress, BYTE* data, size_t count) {
    if (subAddress) {
        pointer_ = static_cast<BYTE>(*subAddress);
    }
    if (count == 0) {
        return S_OK;
    }
    const HRESULT status = Refresh();
    if (FAILED(status)) {
        return status;
    }
    for (size_t i = 0; i < count; ++i) {
        data[i] = bytes_[pointer_++];
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
    pointer_ = static_cast<BYTE>(*subAddress);
    if (count == 0) {
        return S_OK;  // an address-only write just moves the pointer for a following read
    }
    if (store_) {
        EepromImage stored = bytes_;
        const HRESULT status = store_->Write(pointer_, data, count, stored);
        bytes_ = stored;
        if (FAILED(status)) {
            return status;
        }
        pointer_ = static_cast<BYTE>(pointer_ + count);
    } else {
        for (size_t i = 0; i < count; ++i) {
            bytes_[pointer_++] = data[i];
        }
    }
    ++writeCount_;
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
