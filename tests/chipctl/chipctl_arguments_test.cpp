// chipctl's command line: every number is read strictly as hexadecimal, and a
// refused command line exits with 2 and one line naming the argument, before
// anything reaches the device.
#include <gtest/gtest.h>

#include <string>

#include "tests/chipctl/chipctl_tool.h"

using chipctl_tool::Chipctl;
using chipctl_tool::ChipctlTest;
using chipctl_tool::EepromBytes;
using chipctl_tool::Outcome;

namespace {

struct Refusal {
    std::wstring arguments;
    const char* message;  // the one line's start after "chipctl: "
};

TEST_F(ChipctlTest, RefusedArgumentsLeaveTheDeviceAlone) {
    const std::wstring longName(260, L'N');
    const Refusal rows[] = {
        {L"i2c write --sub 8 A0 1G",
         "BYTE must be a hexadecimal number from 0x0 to 0xFF, not \"1G\""},
        {L"i2c write --sub 8 A0 \"\"",
         "BYTE must be a hexadecimal number from 0x0 to 0xFF, not \"\""},
        {L"i2c write --sub 8 A0 0x",
         "BYTE must be a hexadecimal number from 0x0 to 0xFF, not \"0x\""},
        {L"i2c write --sub 8 A0 0x100", "BYTE must be a hexadecimal number from 0x0 to 0xFF"},
        {L"i2c write --sub 8 A0 5 -1", "BYTE must be a hexadecimal number"},
        {L"i2c write --sub 8 A0 \"5 \"", "BYTE must be a hexadecimal number"},
        {L"i2c write --sub 0x100 A0 5", "--sub must be a hexadecimal number from 0x0 to 0xFF"},
        {L"i2c write --sub 8 0x1A0 5", "ADDR must be a hexadecimal number from 0x0 to 0xFF"},
        {L"i2c write --sub 8 A0", "missing arguments: expected ADDR BYTE..."},
        {L"i2c write --layout 8 A0 5", "--layout 8 needs --sub SUB"},
        {L"i2c write --layout sideways --sub 8 A0 5", "--layout must be direct, 8, 16 or long"},
        {L"i2c write --sub 8 --layout direct A0 5", "--sub does not go with --layout direct"},
        {L"i2c read --sub 8 --layout 16 A0 0x80",
         "COUNT must be a hexadecimal number from 0x1 to 0x7F"},
        {L"i2c read A0 0", "COUNT must be a hexadecimal number from 0x1 to 0xFF"},
        {L"i2c probe A0 --sub 1", "i2c probe takes only ADDR"},
        {L"reg write 10 0x123",
         "VALUE must be a hexadecimal number of at most 1 byte, not \"0x123\""},
        {L"reg write 10 12345 2", "VALUE must be a hexadecimal number of at most 2 bytes"},
        {L"reg write 1G 5", "INDEX must be a hexadecimal number from 0x0 to 0xFFFF, not \"1G\""},
        {L"reg write --alt 0x100 5", "INDEX must be a hexadecimal number from 0x0 to 0xFF"},
        {L"reg read 10 5", "COUNT must be a hexadecimal number from 0x1 to 0x4"},
        {L"reg read --no-verify 10", "--no-verify belongs to reg write"},
        {L"reg read 10 1 2", "unexpected argument \"2\": expected INDEX [COUNT]"},
        {L"reg peek 10", "reg needs read or write"},
        {L"codec read 0x80", "INDEX must be a hexadecimal number from 0x0 to 0x7F"},
        {L"remote --count 0", "--count must be a hexadecimal number from 0x1 to 0xFFFF"},
        {L"remote --count", "--count needs a value"},
        {L"eeprom dump 0", "eeprom needs dump and nothing else"},
        {L"info --frob", "unknown option \"--frob\""},
        {L"frobnicate", "unknown command \"frobnicate\""},
        {L"--name", "--name needs a value"},
        {L"--name " + longName + L" find", "--name is longer than 259 bytes"},
        {L"--name \x0915\x0948\x092E find", "--name has a character the ANSI code page lacks"},
    };
    // From the first driver call on the device is gone: a command that got as
    // far as the device would fail with 1, not 2.
    AddDevice(L"--unplug-from 1");
    const EepromBytes before = FileBytes();
    for (const Refusal& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.arguments.substr(0, 60)));
        const Outcome run = Chipctl(row.arguments);
        EXPECT_EQ(run.exitCode, 2) << run.output;
        EXPECT_EQ(run.output.rfind(std::string("chipctl: ") + row.message, 0), 0u) << run.output;
        EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << "one line: " << run.output;
    }
    EXPECT_EQ(FileBytes(), before);
}

TEST_F(ChipctlTest, HelpPrintsTheUsage) {
    const Outcome help = Chipctl(L"help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output.rfind("usage: chipctl [--name NAME] COMMAND", 0), 0u) << help.output;
    const Outcome bare = Chipctl(L"");
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(bare.output, help.output);
}

}  // namespace
