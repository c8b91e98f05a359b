// Numbers as the tools read and show them. Reading is strict: hexadecimal
// text is digits 0-9, A-F, a-f with an optional 0x or 0X prefix, and nothing
// else; anything that is not such a number is refused, never read as 0 or as
// its leading digits. Showing is upper-case hexadecimal of a fixed least
// width, and quoting shows a typed argument safely in a one-line message.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>
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

// Text typed as a number is ASCII: any other character makes it no number.
inline bool AsciiOf(std::wstring_view text, std::string* ascii) {
    if (std::any_of(text.begin(), text.end(), [](wchar_t c) { return c > 0x7F; })) {
        return false;
    }
    ascii->assign(text.begin(), text.end());
    return true;
}

// Reads decimal digits only (no sign, no space); at most maxValue.
inline bool ParseDecimalNumber(std::string_view text, DWORD maxValue, DWORD* value) {
    if (text.empty()) {
        return false;
    }
    unsigned long long number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
        if (number > maxValue) {
            return false;
        }
    }
    *value = static_cast<DWORD>(number);
    return true;
}

// Reads 0x and hexadecimal digits, or decimal digits, as the simulator's
// tools take their numbers; at most maxValue.
inline bool ParseHexOrDecimalNumber(std::string_view text, DWORD maxValue, DWORD* value) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return ParseHexNumber(text, maxValue, value);
    }
    return ParseDecimalNumber(text, maxValue, value);
}

// value as "0x" (unless prefixed is false) and at least minDigits upper-case
// hexadecimal digits: HexText(0x1A, 4) is "0x001A".
template <class Char = char>
std::basic_string<Char> HexText(DWORD value, int minDigits, bool prefixed = true) {
    std::basic_string<Char> digits;
    do {
        digits.insert(digits.begin(), static_cast<Char>("0123456789ABCDEF"[value & 0xF]));
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(digits.size()) < minDigits) {
        digits.insert(digits.begin(), static_cast<size_t>(minDigits) - digits.size(), Char('0'));
    }
    return prefixed ? std::basic_string<Char>{Char('0'), Char('x')} + digits : digits;
}

// A status word as "0x" and eight digits.
template <class Char = char>
std::basic_string<Char> StatusWordText(HRESULT status) {
    return HexText<Char>(static_cast<DWORD>(status), 8);
}

// A typed argument as a one-line message quotes it: in double quotes, control
// characters as '?', cut after 40 characters.
inline std::wstring Quoted(std::wstring_view text) {
    constexpr size_t kShownLength = 40;
    std::wstring shown = L"\"";
    for (size_t i = 0; i < text.size() && i < kShownLength; ++i) {
        shown += std::iswcntrl(text[i]) ? L'?' : text[i];
    }
    return shown + (text.size() > kShownLength ? L"...\"" : L"\"");
}

}  // namespace velto1
