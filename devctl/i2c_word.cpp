// The descriptor word of each layout, and how drivers read a word.
#include "devctl/i2c_word.h"

#include <cstdio>

namespace {

// Every transfer the word is read as, one per layout check that the word
// passes; the long layout has no mark of its own and is what is left.
struct Readings {
    I2cTransferMeaning transfer[3];
    int count = 0;
};

Readings ReadingsOf(DWORD word) {
    const DWORD top = word >> 24;
    const DWORD address = (word >> 16) & 0xFF;
    const DWORD middle = (word >> 8) & 0xFF;
    const DWORD low = word & 0xFF;
    Readings readings;
    auto add = [&](I2cLayout layout, DWORD subAddress, DWORD count) {
        readings.transfer[readings.count++] = {layout, address, subAddress, count};
    };
    if (top == 0x01) {
        add(I2cLayout::SubAddress8, middle, low);
    }
    if (low & 0x80) {
        add(I2cLayout::SubAddress16, (top << 8) | middle, low & 0x7F);
    }
    if (top == 0 && middle == 0) {
        add(I2cLayout::Direct, 0, low);
    }
    if (readings.count == 0) {
        add(I2cLayout::Long, middle, (top << 8) | low);
    }
    return readings;
}

bool SameTransfer(const I2cTransferMeaning& a, const I2cTransferMeaning& b) {
    const bool subAddressed = a.layout != I2cLayout::Direct;
    return a.layout == b.layout && (a.address & 0xFF) == b.address && a.count == b.count &&
           (!subAddressed || a.subAddress == b.subAddress);
}

const char* Article(I2cLayout layout) {
    return layout == I2cLayout::SubAddress8 ? "an" : "a";
}

// "16-bit sub-address transfer of 0x1 byte at 0x0130"
int PrintTransfer(char* text, size_t size, const I2cTransferMeaning& transfer) {
    int written =
        std::snprintf(text, size, "%s transfer of 0x%lX byte%s", I2cLayoutName(transfer.layout),
                      static_cast<unsigned long>(transfer.count), transfer.count == 1 ? "" : "s");
    if (transfer.layout != I2cLayout::Direct && written >= 0 &&
        static_cast<size_t>(written) < size) {
        const int digits = transfer.layout == I2cLayout::SubAddress16 ? 4 : 2;
        written += std::snprintf(text + written, size - written, " at 0x%0*lX", digits,
                                 static_cast<unsigned long>(transfer.subAddress));
    }
    return written;
}

}  // namespace

const char* I2cLayoutName(I2cLayout layout) {
    switch (layout) {
        case I2cLayout::Direct:
            return "direct";
        case I2cLayout::SubAddress8:
            return "8-bit sub-address";
        case I2cLayout::SubAddress16:
            return "16-bit sub-address";
        case I2cLayout::Long:
            return "long";
    }
    return "unknown";
}

DWORD I2cLayoutMaxSubAddress(I2cLayout layout) {
    switch (layout) {
        case I2cLayout::Direct:
            return 0;
        case I2cLayout::SubAddress16:
            return 0xFFFF;
        case I2cLayout::SubAddress8:
        case I2cLayout::Long:
            break;
    }
    return 0xFF;
}

I2cTransferMeaning FirstI2cReading(DWORD word) {
    return ReadingsOf(word).transfer[0];
}

DWORD I2cDescriptorWord(const I2cTransferMeaning& transfer) {
    const DWORD address = (transfer.address & 0xFF) << 16;
    const DWORD sub = transfer.subAddress;
    const DWORD count = transfer.count;
    switch (transfer.layout) {
        case I2cLayout::Direct:
            return address | (count & 0xFF);
        case I2cLayout::SubAddress8:
            return 0x01000000 | address | ((sub & 0xFF) << 8) | (count & 0xFF);
        case I2cLayout::SubAddress16:
            return ((sub & 0xFF00) << 16) | address | ((sub & 0xFF) << 8) | 0x80 | (count & 0x7F);
        case I2cLayout::Long:
            return ((count & 0xFF00) << 16) | address | ((sub & 0xFF) << 8) | (count & 0xFF);
    }
    return 0;
}

BOOL IsI2cWordUnambiguous(const I2cTransferMeaning& transfer, I2cTransferMeaning* other) {
    const Readings readings = ReadingsOf(I2cDescriptorWord(transfer));
    for (int i = 0; i < readings.count; ++i) {
        if (!SameTransfer(transfer, readings.transfer[i])) {
            if (other) {
                *other = readings.transfer[i];
            }
            return FALSE;
        }
    }
    return TRUE;
}

void DescribeAmbiguousI2cWord(const I2cTransferMeaning& transfer, char* text, DWORD size) {
    if (size == 0) {
        return;
    }
    text[0] = '\0';
    I2cTransferMeaning other{};
    if (IsI2cWordUnambiguous(transfer, &other)) {
        return;
    }
    int written = PrintTransfer(text, size, transfer);
    if (written < 0 || static_cast<DWORD>(written) >= size) {
        return;
    }
    written += std::snprintf(text + written, size - written,
                             " on 0x%02lX would send the word 0x%08lX, which is also %s ",
                             static_cast<unsigned long>(transfer.address & 0xFF),
                             static_cast<unsigned long>(I2cDescriptorWord(transfer)),
                             Article(other.layout));
    if (written < 0 || static_cast<DWORD>(written) >= size) {
        return;
    }
    written += PrintTransfer(text + written, size - written, other);
    if (written >= 0 && static_cast<DWORD>(written) < size) {
        std::snprintf(text + written, size - written, "; nothing was sent");
    }
}
