// Strict hexadecimal input as the register tools read it: a number or bytes,
// or a refusal, never a silent 0.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/hex_text.h"

namespace {

TEST(HexText, NumbersAreReadWholeOrRefused) {
    const struct {
        const char* text;
        DWORD maxValue;
        std::optional<DWORD> expected;  // nothing: refused
    } cases[] = {
        {"1A", 0xFF, 0x1A},
        {"0x1a", 0xFF, 0x1A},
        {"0XfF", 0xFF, 0xFF},
        {"000000000000ff", 0xFF, 0xFF},
        {"FFFFFFFF", 0xFFFFFFFF, 0xFFFFFFFF},
        {"100", 0xFF, std::nullopt},
        {"100000000", 0xFFFFFFFF, std::nullopt},
        {"", 0xFF, std::nullopt},
        {"0x", 0xFF, std::nullopt},
        {"1G", 0xFF, std::nullopt},
        {"G1", 0xFF, std::nullopt},
        {" 1", 0xFF, std::nullopt},
        {"-1", 0xFF, std::nullopt},
        {"0x0x1", 0xFF, std::nullopt},
        // 17 significant digits or more pass 2^64: refused whatever the limit,
        // never read as what is left after the wrap.
        {"10000000000000000", 0xFFFFFFFF, std::nullopt},
        {"0x10000000000000001", 0xFF, std::nullopt},
        {"100000000000000000000000000000001", 0xFFFFFFFF, std::nullopt},
        {"00000000000000000000000000000001", 0xFF, 1},
    };
    for (const auto& c : cases) {
        DWORD value = 0xDEADBEEF;
        const bool parsed = velto1::ParseHexNumber(c.text, c.maxValue, &value);
        EXPECT_EQ(parsed, c.expected.has_value()) << '"' << c.text << '"';
        EXPECT_EQ(value, c.expected.value_or(0xDEADBEEF)) << '"' << c.text << '"';
    }
}

TEST(HexText, SimulatorNumbersAreHexWithPrefixOrDecimal) {
    const struct {
        const char* text;
        std::optional<DWORD> expected;  // nothing: refused (limit MAXDWORD)
    } cases[] = {
        {"0x1F", 0x1F},
        {"4294967295", 0xFFFFFFFF},
        {"4294967296", std::nullopt},
        {"18446744073709551617", std::nullopt},  // 2^64 + 1
        {"0x10000000000000001", std::nullopt},
        {"1F", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(velto1::ParseHexOrDecimalNumber(c.text, MAXDWORD, &value), c.expected.has_value())
            << '"' << c.text << '"';
        EXPECT_EQ(value, c.expected.value_or(0xDEADBEEF)) << '"' << c.text << '"';
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
        std::vector<BYTE> bytes;
        EXPECT_EQ(velto1::ParseHexBytes(c.text, c.count, &bytes), c.expected.has_value())
            << '"' << c.text << '"';
        if (c.expected) {
            EXPECT_EQ(bytes, *c.expected) << '"' << c.text << '"';
        }
    }
}

}  // namespace
