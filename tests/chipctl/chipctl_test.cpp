// chipctl on a simulated device, run as a script would run it: what it
// prints, its exit code, and what it changed in the device's EEPROM file; a
// refused command line exits with 2 and one line naming the argument, before
// anything reaches the device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/simtool_fixture.h"

using simtool::Chipctl;
using simtool::Outcome;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// chipctl's exit code and output (stdout and stderr together) for the command.
void ExpectRun(const std::wstring& command, int exitCode, const std::string& output) {
    const Outcome run = Chipctl(command);
    EXPECT_EQ(run.exitCode, exitCode) << testing::PrintToString(command) << " " << run.output;
    EXPECT_EQ(run.output, output) << testing::PrintToString(command);
}

// One run of chipctl on a device added with the row's simdevctl options.
struct ToolRun {
    const wchar_t* device;  // simdevctl add options; null: no device at all
    const wchar_t* command;
    int exitCode;
    const char* output;
};

class ChipctlTest : public simtool::FileDeviceTest {
  protected:
    ChipctlTest() : FileDeviceTest(L"velto1-chipctl-test.bin") {}
    void ExpectRuns(const std::vector<ToolRun>& rows) {
        for (const ToolRun& row : rows) {
            SCOPED_TRACE(
                testing::PrintToString(std::wstring(row.device ? row.device : L"no device")));
            if (row.device) {
                AddWithTool(row.device);
            } else {
                ASSERT_EQ(simtool::Simdevctl(L"remove --all").exitCode, 0);
            }
            ExpectRun(row.command, row.exitCode, row.output);
        }
    }
};

TEST_F(ChipctlTest, FindAndInfoTellTheBoundDevice) {
    // clang-format off
    ExpectRuns({
        {L"", L"find", 0, "name=USB 7450 Device\nname-source=default\nmatch=name\ndevice=USB 7450 Device\n"},
        {L"", L"--name \"USB 7\" find", 0, "name=USB 7\nname-source=option\nmatch=name\ndevice=USB 7450 Device\n"},
        // No device of that name: the known models still find this one.
        {L"", L"--name Lab find", 0, "name=Lab\nname-source=option\nmatch=known-model\ndevice=USB 7450 Device\n"},
        {L"--chip-id 0x141 --chip-config 0x40 --board-config 0x16 --remote-address 0x5A", L"info", 0, "device=USB 7450 Device\nchip-id=0x00000141\ngeneration=later\nchip-config=0x00000040\nboard-config=0x00000016\nboard-type=0x6\nremote-address=0x0000005A\nremote-i2c-address=0x00000000\nvendor-id=0x6C3D\nproduct-id=0x7450\n"},
        {L"--no-custom-property", L"find", 1, "chipctl: binding the driver interface of \"USB 7450 Device\" failed: status 0x80004002\n"},
        {nullptr, L"info", 1, "chipctl: no capture device whose name begins with \"USB 7450 Device\", nor one of a known model (last result 0x00000001)\n"},
    });
    // clang-format on
}

TEST_F(ChipctlTest, RegistersCodecAndRemoteAnswer) {
    // clang-format off
    ExpectRuns({
        // A write prints nothing once it has read back what it wrote.
        {L"", L"reg write 0x1234 0xBEEF 2", 0, ""},
        {L"", L"reg write --alt 0x12 a5", 0, ""},
        {L"", L"reg read 0x40 2", 0, "0x0000\n"},
        // The codec's status register is read-only: what was written is not what is read.
        {L"", L"reg write 0x43 1", 1, "chipctl: register 0x0043 reads back 0x00 after writing 0x01\n"},
        {L"", L"reg write --no-verify 0x43 1", 0, ""},
        {L"--remote-code 1:0:0x15 --remote-code 1:0:0x15 --remote-code 0:0:0x16", L"remote --count 4", 0, "0x15\n0xFE\n0x16\n0xFF\n"},
        // A later chip decodes no keys: its raw codes.
        {L"--chip-id 0x141 --remote-code 1:0x40:0x15 --remote-code 0:0x40:0x16", L"remote --count 3", 0, "0x81 0x40 0x15\n0x01 0x40 0x16\n0x00 0x40 0x16\n"},
        {L"--ac97 0x1C=0x8000 --codec-busy 1999", L"codec read 1C", 0, "0x8000\n"},
        {L"--ac97 0x1C=0x8000 --codec-busy forever", L"codec read 1C", 1, "chipctl: reading codec register 0x1C (the codec stayed busy) failed: status 0x00000005\n"},
    });
    // clang-format on
}

TEST_F(ChipctlTest, DeviceAndDriverFailuresExitWithOneAndTheStatus) {
    // clang-format off
    ExpectRuns({
        {L"", L"i2c probe 0xA0", 0, "0x00000000\n"},
        {L"", L"i2c probe 0xA2", 1, "chipctl: probing I2C device 0xA2 failed: status 0x8007048F\n"},
        {L"--fail-property 0x1006=0x80004005", L"reg read 10", 1, "chipctl: reading register 0x0010 failed: status 0x80004005\n"},
        {L"--fail-property 0x102A=0x80070015", L"reg write --alt 10 1", 1, "chipctl: writing alternate register 0x10 failed: status 0x80070015\n"},
        {L"--fail-property 0x1008=0x80004005", L"i2c read --sub 8 A0 1", 1, "chipctl: reading I2C device 0xA0 at 0x08 failed: status 0x80004005\n"},
        {L"--fail-property 0x1008=0x80004005", L"eeprom dump", 1, "chipctl: reading the EEPROM at 0x00 failed: status 0x80004005\n"},
        // Binding reads four properties; from the fifth driver call on the device is gone.
        {L"--unplug-from 5", L"info", 1, "chipctl: reading the chip id (property 0x101C) failed: status 0x80070001\n"},
    });
    // clang-format on
}

TEST_F(ChipctlTest, TheEepromDumpAndADirectReadShowTheFile) {
    AddWithTool();
    sim::EepromImage counting = {};
    std::iota(counting.begin(), counting.end(), BYTE{0});
    simtool::WriteFile(eeprom, counting.data(), counting.size());
    const Outcome dump = Chipctl(L"eeprom dump");
    EXPECT_EQ(dump.exitCode, 0) << dump.output;
    EXPECT_THAT(
        dump.output,
        StartsWith("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n"
                   "00: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f    .???????????????\n"
                   "10: 10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f    ????????????????\n"
                   "20: 20 21 22 23 24 25 26 27 28 29 2a 2b 2c 2d 2e 2f     !\"#$%&'()*+,-./\n"
                   "30: 30 31 32 33 34 35 36 37 38 39 3a 3b 3c 3d 3e 3f    0123456789:;<=>?\n"
                   "40: 40 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f    @ABCDEFGHIJKLMNO\n"));
    EXPECT_THAT(dump.output, HasSubstr("\n70: 70 71 72 73 74 75 76 77 78 79 7a 7b 7c 7d 7e 7f    "
                                       "pqrstuvwxyz{|}~?\n80: 80 81"));
    // A direct read starts where the EEPROM's address pointer is: at 0, where the dump left it.
    ExpectRun(L"i2c read A0 3", 0, "0x00\n0x01\n0x02\n");
    EXPECT_THAT(dump.output, EndsWith("\nf0: f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb fc fd fe ff    "
                                      "???????????????.\n"));
}

// One row per distinct reason a number or command line is refused. From the
// first driver call on the device is gone: a command that got as far as the
// device would fail with 1, not 2.
TEST_F(ChipctlTest, RefusedArgumentsLeaveTheDeviceAlone) {
    // clang-format off
    const struct {
        std::wstring arguments;
        const char* message;  // the one line's start after "chipctl: "
    } rows[] = {
        {L"i2c write --sub 8 A0 1G", "BYTE must be a hexadecimal number from 0x0 to 0xFF, not \"1G\""},
        {L"i2c write --sub 8 A0 \"\"", "BYTE must be a hexadecimal number from 0x0 to 0xFF, not \"\""},
        {L"i2c write --sub 8 A0 0x", "BYTE must be a hexadecimal number from 0x0 to 0xFF, not \"0x\""},
        {L"i2c write --sub 8 A0 5 -1", "BYTE must be a hexadecimal number"},
        {L"i2c write --sub 0x100 A0 5", "--sub must be a hexadecimal number from 0x0 to 0xFF"},
        {L"i2c write --sub 8 A0", "missing arguments: expected ADDR BYTE..."},
        {L"i2c write --layout 8 A0 5", "--layout 8 needs --sub SUB"},
        {L"i2c write --layout sideways --sub 8 A0 5", "--layout must be direct, 8, 16 or long"},
        {L"i2c write --sub 8 --layout direct A0 5", "--sub does not go with --layout direct"},
        {L"i2c read --sub 8 --layout 16 A0 0x80", "COUNT must be a hexadecimal number from 0x1 to 0x7F"},
        {L"i2c probe A0 --sub 1", "i2c probe takes only ADDR"},
        // Words that a driver could read as another transfer.
        {L"i2c read --sub 0x0130 --layout 16 A0 1", "16-bit sub-address transfer of 0x1 byte at 0x0130 on 0xA0 would send the word 0x01A03081, which is also an 8-bit sub-address transfer of 0x81 bytes at 0x30; nothing was sent"},
        {L"i2c write --no-verify --sub 0x0130 --layout 16 A0 0x44", "16-bit sub-address transfer of 0x1 byte at 0x0130 on 0xA0 would send the word 0x01A03081, which is also an 8-bit sub-address transfer of 0x81 bytes at 0x30"},
        {L"i2c read --sub 0 --layout 16 A0 1", "16-bit sub-address transfer of 0x1 byte at 0x0000 on 0xA0 would send the word 0x00A00081, which is also a direct transfer of 0x81 bytes"},
        {L"i2c read A0 80", "direct transfer of 0x80 bytes on 0xA0 would send the word 0x00A00080, which is also a 16-bit sub-address transfer of 0x0 bytes at 0x0000"},
        {L"i2c read --sub 0 A0 0x90", "8-bit sub-address transfer of 0x90 bytes at 0x00"},
        {L"i2c read --sub 0x10 --layout long A0 0x80", "long transfer of 0x80 bytes at 0x10"},
        {L"i2c read --sub 0x10 --layout long A0 0x100", "long transfer of 0x100 bytes at 0x10 on 0xA0 would send the word 0x01A01000, which is also an 8-bit sub-address transfer of 0x0 bytes at 0x10"},
        {L"i2c write --sub 0 --layout long A0 1 2", "long transfer of 0x2 bytes at 0x00 on 0xA0 would send the word 0x00A00002, which is also a direct transfer of 0x2 bytes"},
        {L"reg write 10 0x123", "VALUE must be a hexadecimal number of at most 1 byte, not \"0x123\""},
        {L"reg write --alt 0x100 5", "INDEX must be a hexadecimal number from 0x0 to 0xFF"},
        {L"reg read 10 5", "COUNT must be a hexadecimal number from 0x1 to 0x4"},
        {L"reg read --no-verify 10", "--no-verify belongs to reg write"},
        {L"reg read 10 1 2", "unexpected argument \"2\": expected INDEX [COUNT]"},
        {L"reg peek 10", "reg needs read or write"},
        {L"remote --count", "--count needs a value"},
        {L"remote --count --count", "--count needs a value, not \"--count\""},
        {L"--name \"\" find", "--name needs a value, not \"\""},
        {L"eeprom dump 0", "eeprom needs dump and nothing else"},
        {L"info --frob", "unknown option \"--frob\""},
        {L"frobnicate", "unknown command \"frobnicate\""},
        {L"--name " + std::wstring(260, L'N') + L" find", "--name is longer than 259 bytes"},
        {L"--name \x0915\x0948\x092E find", "--name has a character the ANSI code page lacks"},
    };
    // clang-format on
    AddWithTool(L"--unplug-from 1");
    const sim::EepromImage before = Bytes();
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.arguments.substr(0, 60)));
        simtool::ExpectRefused(Chipctl(row.arguments), std::string("chipctl: ") + row.message);
    }
    EXPECT_EQ(Bytes(), before);
    // Help is the usage and succeeds; no command at all is a usage error.
    const Outcome help = Chipctl(L"help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.output, StartsWith("usage: chipctl [--name NAME] [--record FILE] COMMAND"));
    ExpectRun(L"", 2, help.output);
}

// The remote-control alias answers an I2C read with the key and then reads
// the one-byte acknowledge; when the acknowledge's select answers 0 without
// taking effect, the driver still holds the key's 4-byte selection. The key
// the user sees is the key.
TEST_F(ChipctlTest, AKeyReadSurvivesAnAcknowledgeMovingTheKeysCount) {
    // clang-format off
    ExpectRuns({
        {L"--remote-i2c-address 0x30 --remote-code 1:0x12:0x05", L"i2c read 30 4", 0, "0x05\n0x00\n0x00\n0x00\n"},
        // The binding makes 4 calls; then the key's select and data, then the acknowledge's select.
        {L"--remote-i2c-address 0x30 --remote-code 1:0x12:0x05 --fail-call 7=0", L"i2c read 30 4", 0, "0x05\n0x00\n0x00\n0x00\n"},
    });
    // clang-format on
}

// Each write lands in the EEPROM file and reads back, in its own run, through
// another layout.
TEST_F(ChipctlTest, I2cWritesReadBackInEveryLayout) {
    AddWithTool();
    // clang-format off
    const struct {
        const wchar_t* write;
        const wchar_t* read;
        BYTE offset;
        const char* bytes;  // as read, and as found in the file from the offset on
    } rows[] = {
        {L"i2c write --sub 0x20 A0 1 2 3", L"i2c read --sub 0x20 --layout 16 A0 3", 0x20, "0x01\n0x02\n0x03\n"},
        {L"i2c write --sub 0x0230 --layout 16 A0 0x44", L"i2c read --sub 0x30 A0 1", 0x30, "0x44\n"},
        {L"i2c write --sub 0x40 --layout long 0xa0 5 6", L"i2c read --sub 0x40 A0 2", 0x40, "0x05\n0x06\n"},
        // Direct: the EEPROM takes the first byte as its address.
        {L"i2c write A0 0x50 7 8", L"i2c read --sub 0x50 --layout long A0 2", 0x50, "0x07\n0x08\n"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.write)));
        ExpectRun(row.write, 0, "");
        ExpectRun(row.read, 0, row.bytes);
        const sim::EepromImage file = Bytes();
        std::string found;
        for (size_t i = 0; i < std::strlen(row.bytes) / 5; ++i) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X\n", file[row.offset + i]);
            found += hex;
        }
        EXPECT_EQ(found, row.bytes);
    }
}

// The driver's property frame appears and closes as a user would close it.
BOOL CALLBACK FindOtherProcessFrame(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process == GetCurrentProcessId() || !IsWindowVisible(window) ||
        std::wstring(className) != L"#32770") {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

TEST_F(ChipctlTest, PagesShowsTheDevicesPropertyFrame) {
    EXPECT_EQ(Chipctl(L"pages").exitCode, 1) << "no device";
    if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
        GTEST_SKIP() << "no X display: run the tests through scripts/test.sh";
    }
    AddWithTool();
    bool closed = false;
    std::thread user([&closed] {
        HWND frame = nullptr;
        for (int attempt = 0; attempt < 400 && !frame; ++attempt) {
            Sleep(50);
            EnumWindows(FindOtherProcessFrame, reinterpret_cast<LPARAM>(&frame));
        }
        closed = frame && PostMessageW(frame, WM_COMMAND, IDCANCEL, 0);
    });
    const Outcome pages = Chipctl(L"pages");
    user.join();
    EXPECT_TRUE(closed) << "no property frame appeared";
    EXPECT_EQ(pages.exitCode, 0) << pages.output;
}

}  // namespace
