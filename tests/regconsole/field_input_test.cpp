// The console's typed-text checks: the parsed value is passed on, any other
// text gets a message naming the field and the text. Which texts are hex
// numbers or bytes is HexText's (tests/console); the rows here are the ones it
// has not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regconsole/field_input.h"

namespace {

TEST(RegisterConsoleFields, NumbersAreHexDigitsOnly) {
    const struct {
        const char* text;
        DWORD maxValue;
        bool accepted;
        DWORD value;  // when accepted
    } rows[] = {
        {"1234", 0xFFFF, true, 0x1234},
        {"0x5a", 0xFF, true, 0x5A},
        {"100", 0xFF, false, 0},  // out of range
        {"12 ", 0xFF, false, 0},  // a trailing space
    };
    for (const auto& row : rows) {
        DWORD value = 0xDEAD;
        const std::string problem =
            regconsole::NumberProblem("Index", row.text, row.maxValue, &value);
        EXPECT_EQ(problem.empty(), row.accepted) << row.text;
        if (row.accepted) {
            EXPECT_EQ(value, row.value) << row.text;
        } else {
            EXPECT_EQ(problem.rfind("Index: \"" + std::string(row.text) + "\"", 0), 0u) << problem;
            EXPECT_NE(problem.find("Nothing was sent."), std::string::npos) << problem;
        }
    }
}

TEST(RegisterConsoleFields, ValuesHoldExactlyTheirByteCount) {
    const struct {
        const char* text;
        DWORD count;
        bool accepted;
        std::vector<BYTE> bytes;  // lowest byte first, as sent
    } rows[] = {
        {"BEEF", 2, true, {0xEF, 0xBE}},
        {"12345", 2, false, {}},
        {"1G", 1, false, {}},
    };
    for (const auto& row : rows) {
        std::vector<BYTE> bytes;
        const std::string problem = regconsole::BytesProblem("Value", row.text, row.count, &bytes);
        EXPECT_EQ(problem.empty(), row.accepted) << row.text;
        if (row.accepted) {
            EXPECT_EQ(bytes, row.bytes) << row.text;
        }
    }
}

}  // namespace
