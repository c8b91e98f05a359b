// The I2C transfer descriptor word in its four layouts, as pure encoding:
// which word a transfer is sent as, and what a driver reads a word as. The
// layouts share one 32-bit word and overlap: a direct count of 0x80 or more
// sets the 16-bit layout's flag, a 16-bit sub-address from 0x0100 to 0x01FF
// carries the 8-bit layout's marker, and so on. A driver tells them apart by
// checking them in some order (the 8-bit marker, the 16-bit flag, the direct
// layout, else long), and drivers need not agree on the order.
#pragma once

#include <windows.h>

enum class I2cLayout { Direct, SubAddress8, SubAddress16, Long };

// One transfer as a word carries it.
struct I2cTransferMeaning {
    I2cLayout layout;
    DWORD address;     // 8-bit bus address (the EEPROM is 0xA0)
    DWORD subAddress;  // not used by the direct layout
    DWORD count;       // bytes; the long layout's length
};

// The layout's name in messages: "direct", "8-bit sub-address",
// "16-bit sub-address", "long".
const char* I2cLayoutName(I2cLayout layout);

// The widest sub-address the layout's word carries (0 for the direct layout,
// which has none).
DWORD I2cLayoutMaxSubAddress(I2cLayout layout);

// The word the library sends for the transfer (arguments cut to the widths
// of the layout).
DWORD I2cDescriptorWord(const I2cTransferMeaning& transfer);

// The transfer that a driver checking the layouts in the order above reads
// the word as.
I2cTransferMeaning FirstI2cReading(DWORD word);

// TRUE when every driver reads the transfer's word as exactly this transfer,
// whatever order it checks the layouts in. Otherwise FALSE, and *other (when
// given) receives a transfer that the word is read as instead.
BOOL IsI2cWordUnambiguous(const I2cTransferMeaning& transfer, I2cTransferMeaning* other);

// One line for a refused transfer: the layout, sub-address and count asked
// for, the word, and the other transfer that word is. Empty when the word is
// unambiguous. The text is cut to fit size characters with its terminator.
void DescribeAmbiguousI2cWord(const I2cTransferMeaning& transfer, char* text, DWORD size);
