// The console's typed-text checks: hex digits with an optional 0x and nothing
// else, within the field's range; any other text gets a message naming the
// field.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regconsole/field_input.h"

namespace {

struct NumberRow {
    const char* text;
    DWORD maxValue;
    bool accepted;
    DWORD value;  // when accepted
};

TEST(RegisterConsoleFields, NumbersAreHexDigitsOnly) {
    const NumberRow rows[] = {
        {"1234", 0xFFFF, true, 0x1234}, {"0x5a", 0xFF, true, 0x5A},
        {"0XFF", 0xFF, true, 0xFF},     {"000000FF", 0xFF, true, 0xFF},
        {"100", 0xFF, false, 0},        {"1G", 0xFFFF, false, 0},  // not 1
        {"", 0xFFFF, false, 0},         {"0x", 0xFF, false, 0},
        {" 12", 0xFF, false, 0},        {"12 ", 0xFF, false, 0},
        {"-1", 0xFF, false, 0},
    };
    for (const NumberRow& row : rows) {
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

struct BytesRow {
    const char* text;
    DWORD count;
    bool accepted;
    std::vector<BYTE> bytes;  // lowest byte first, as sent
};

TEST(RegisterConsoleFields, ValuesHoldExactlyTheirByteCount) {
    const BytesRow rows[] = {
        {"BEEF", 2, true, {0xEF, 0xBE}},
        {"7", 2, true, {0x07, 0x00}},
        {"0x123", 2, true, {0x23, 0x01}},
        {"12345", 2, false, {}},
        {"1G", 1, false, {}},
    };
    for (const BytesRow& row : rows) {
        std::vector<BYTE> bytes;
        const std::string problem = regconsole::BytesProblem("Value", row.text, row.count, &bytes);
        EXPECT_EQ(problem.empty(), row.accepted) << row.text;
        if (row.accepted) {
            EXPECT_EQ(bytes, row.bytes) << row.text;
        }
    }
}

}  // namespace
