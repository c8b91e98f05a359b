// Strict hexadecimal input as the register tools read it: a number or bytes,
// or a refusal, never a silent 0.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/hex_text.h"

namespace {

using NumberReader = bool (*)(std::string_view, DWORD, DWORD*);
const NumberReader kHex = velto1::ParseHexNumber;
const NumberReader kHexOrDecimal = velto1::ParseHexOrDecimalNumber;  // the simulator's

TEST(HexText, NumbersAreReadWholeOrRefused) {
    const struct {
        NumberReader read;
        const char* text;
        DWORD maxValue;
        std::optional<DWORD> expected;  // nothing: refused
    } cases[] = {
        {kHex, "1A", 0xFF, 0x1A},
        {kHex, "0x1a", 0xFF, 0x1A},
        {kHex, "0XfF", 0xFF, 0xFF},
        {kHex, "000000000000ff", 0xFF, 0xFF},
        {kHex, "FFFFFFFF", 0xFFFFFFFF, 0xFFFFFFFF},
        {kHex, "100", 0xFF, std::nullopt},
        {kHex, "100000000", 0xFFFFFFFF, std::nullopt},
        {kHex, "", 0xFF, std::nullopt},
        {kHex, "0x", 0xFF, std::nullopt},
        {kHex, "1G", 0xFF, std::nullopt},
        {kHex, "G1", 0xFF, std::nullopt},
        {kHex, " 1", 0xFF, std::nullopt},
        {kHex, "-1", 0xFF, std::nullopt},
        {kHex, "0x0x1", 0xFF, std::nullopt},
        // 17 significant digits or more pass 2^64: refused whatever the limit,
        // never read as what is left after the wrap.
        {kHex, "10000000000000000", 0xFFFFFFFF, std::nullopt},
        {kHex, "0x10000000000000001", 0xFF, std::nullopt},
        {kHex, "100000000000000000000000000000001", 0xFFFFFFFF, std::nullopt},
        {kHex, "00000000000000000000000000000001", 0xFF, 1},
        // Hexadecimal with its prefix, else decimal.
        {kHexOrDecimal, "0x1F", MAXDWORD, 0x1F},
        {kHexOrDecimal, "4294967295", MAXDWORD, 0xFFFFFFFF},
        {kHexOrDecimal, "4294967296", MAXDWORD, std::nullopt},
        {kHexOrDecimal, "18446744073709551617", MAXDWORD, std::nullopt},  // 2^64 + 1
        {kHexOrDecimal, "0x10000000000000001", MAXDWORD, std::nullopt},
        {kHexOrDecimal, "1F", MAXDWORD, std::nullopt},
        {kHexOrDecimal, "", MAXDWORD, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE('"' + std::string(c.text) + '"');
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(c.read(c.text, c.maxValue, &value), c.expected.has_value());
        EXPECT_EQ(value, c.expected.value_or(0xDEADBEEF));
    }
}

// A typed argument quoted in a one-line message: no control character breaks
// the line, and a long one is cut.
TEST(HexText, QuotedArgumentsStayOnOneShortLine) {
    EXPECT_EQ(velto1::Quoted(L"a\tb\r\n\x1B"), L"\"a?b???\"");
    EXPECT_EQ(velto1::Quoted(std::wstring(40, L'x')), L"\"" + std::wstring(40, L'x') + L"\"");
    EXPECT_EQ(velto1::Quoted(std::wstring(41, L'x')), L"\"" + std::wstring(40, L'x') + L"...\"");
}

TEST(HexText, ByteStringsAreLowestByteFirstAndExactlySized) {
    const struct {
        const char* text;
        size_t count;
        std::optional<std::vector<BYTE>> expected;  // nothing: refused
    } cases[] = {
        {"1234", 2, std::vector<BYTE>{0x34, 0x12}},
        {"123", 2, std::vector<BYTE>{0x23, 0x01}},
        {"A", 1, std::vector<BYTE>{0x0A}},
        {"0x5", 4, std::vector<BYTE>{0x05, 0, 0, 0}},
        {"00001234", 2, std::vector<BYTE>{0x34, 0x12}},
        {"11234", 2, std::nullopt},
        {"12z4", 2, std::nullopt},
        {"", 1, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE('"' + std::string(c.text) + '"');
        std::vector<BYTE> bytes;
        EXPECT_EQ(velto1::ParseHexBytes(c.text, c.count, &bytes), c.expected.has_value());
        if (c.expected) {
            EXPECT_EQ(bytes, *c.expected);
        }
    }
}

}  // namespace
