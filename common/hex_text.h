// Strict reading of hexadecimal text typed by a user: digits 0-9, A-F, a-f
// with an optional 0x or 0X prefix, and nothing else. Anything that is not
// such a number is refused, never read as 0 or as its leading digits.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace velto1 {

// The value of one hexadecimal digit, or -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The digits of the text without its 0x prefix; empty when the text is empty,
// is only a prefix, or holds a character that is not a hexadecimal digit.
constexpr std::string_view HexDigitsOf(std::string_view text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    for (const char c : text) {
        if (HexDigitValue(c) < 0) {
            return {};
        }
    }
    return text;
}

// Reads a number of at most maxValue; false for anything else (including a
// value that does not fit, whatever its leading zeros).
inline bool ParseHexNumber(std::string_view text, DWORD maxValue, DWORD* value) {
    const std::string_view digits = HexDigitsOf(text);
    if (digits.empty()) {
        return false;
    }
    unsigned long long number = 0;
    for (const char c : digits) {
        number = number * 16 + static_cast<unsigned>(HexDigitValue(c));
        if (number > maxValue) {
            return false;
        }
    }
    *value = static_cast<DWORD>(number);
    return true;
}

// Reads a byte string written as a number (lowest byte last, "1234" gives
// 0x34, 0x12), as the register tools show it; an odd digit count gives the
// first digit a byte of its own. The result holds exactly byteCount bytes:
// fewer digits are padded with zero bytes, more significant non-zero digits
// than fit make it fail. False for text that is not hexadecimal.
inline bool ParseHexBytes(std::string_view text, size_t byteCount, std::vector<BYTE>* bytes) {
    std::string_view digits = HexDigitsOf(text);
    if (digits.empty()) {
        return false;
    }
    while (digits.size() > byteCount * 2 && digits.front() == '0') {
        digits.remove_prefix(1);  // leading zeros never make a value too wide
    }
    if (digits.size() > byteCount * 2) {
        return false;
    }
    bytes->assign(byteCount, 0);
    size_t end = digits.size();
    for (size_t index = 0; end > 0; ++index) {
        const size_t start = end >= 2 ? end - 2 : 0;
        int value = 0;
        for (size_t i = start; i < end; ++i) {
            value = value * 16 + HexDigitValue(digits[i]);
        }
        (*bytes)[index] = static_cast<BYTE>(value);
        end = start;
    }
    return true;
}

}  // namespace velto1
