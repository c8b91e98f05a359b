// regconsole.exe end to end: the real program under Wine, a simulated device
// registered in the test prefix with its EEPROM in a file, and the console's
// dialog driven through the Win32 API as a user would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>

#include "common/module_folder.h"
#include "regconsole/resource.h"
#include "simdevice/chip/chip.h"
#include "simdevice/chip/eeprom.h"
#include "tests/bench/sim_bench.h"
#include "tests/common/simtool_fixture.h"
#include "tools/autopilot/ui_automation.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const wchar_t kCaption[] = L"KX5170 Custom Property Demo";
const wchar_t kUnplugged[] = L"Fatal Error:  Device unplugged, press OK to Exit";
constexpr DWORD kTimeoutMs = 20000;

// The running console and what a user does with it.
class Console {
  public:
    void Kill() { process_.Kill(); }
    void Start() {
        ASSERT_TRUE(process_.Start(velto1::ModuleFolder() + L"regconsole.exe"));
        dialog_ = automation::WaitForWindow(process_.Id(), kCaption, L"#32770", kTimeoutMs);
        ASSERT_NE(dialog_, nullptr) << "the console did not open";
        // The start-up (device description, EEPROM view) is logged before the user acts.
        WaitForLogLines(1);
    }
    void Type(int id, const std::wstring& text) {
        EXPECT_TRUE(automation::SetControlText(dialog_, id, text)) << id;
    }
    void Choose(int id, int index) { EXPECT_TRUE(automation::SelectComboItem(dialog_, id, index)); }
    std::wstring Text(int id) const { return automation::WindowText(GetDlgItem(dialog_, id)); }
    std::wstring Log() const { return Text(IDC_LOG); }
    // The log's lines, each ended by CR LF.
    size_t LogLines() const {
        const std::wstring log = Log();
        return static_cast<size_t>(std::count(log.begin(), log.end(), L'\n'));
    }
    using Fields = std::initializer_list<std::pair<int, std::wstring>>;
    // Types into the fields, then presses a button; the command has run when the log has grown.
    std::wstring Press(int id, Fields fields = {}) {
        Fill(fields);
        const size_t before = LogLines();
        automation::PressButton(dialog_, id);
        WaitForLogLines(before + 1);
        return Log();
    }
    // Presses a button that is expected to log nothing.
    void Click(int id) { automation::PressButton(dialog_, id); }
    // Types into the fields and presses a button that refuses them: the console's message, and
    // nothing logged (nothing was sent).
    std::wstring Refused(int id, Fields fields) {
        Fill(fields);
        const std::wstring log = Log();
        Click(id);
        const std::wstring message = Answer();
        EXPECT_EQ(Log(), log) << "nothing was sent";
        return message;
    }
    // The next message box of the console: its text, answered with button.
    std::wstring Answer(int button = IDOK) {
        HWND box = automation::WaitForOwnedWindow(dialog_, kTimeoutMs);
        if (!box) {
            ADD_FAILURE() << "no message box";
            return L"";
        }
        const std::wstring text = automation::MessageBoxText(box);
        automation::PressButton(box, button);
        for (int i = 0; i < 500 && IsWindow(box); ++i) {
            Sleep(20);
        }
        return text;
    }
    // Restores the EEPROM from file; the first message, answered with button.
    std::wstring Restore(const std::wstring& file, int button) {
        Press(IDC_EEPROM_RESTORE, {{IDC_EEPROM_FILE, file}});
        return Answer(button);
    }
    bool NoMessageBox() const { return automation::WaitForOwnedWindow(dialog_, 300) == nullptr; }
    void ExpectEnded() {
        DWORD exitCode = 1;
        EXPECT_TRUE(process_.Wait(kTimeoutMs, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }
    void Close() {
        automation::PressButton(dialog_, IDCANCEL);
        ExpectEnded();
    }

  private:
    void Fill(Fields fields) {
        for (const auto& [field, text] : fields) {
            Type(field, text);
        }
    }
    void WaitForLogLines(size_t lines) const {
        for (int i = 0; i < 1000 && LogLines() < lines; ++i) {
            Sleep(20);
        }
    }
    automation::Process process_;
    HWND dialog_ = nullptr;
};

class RegisterConsoleEndToEnd : public simtool::WindowedDeviceTest {
  protected:
    RegisterConsoleEndToEnd() : WindowedDeviceTest(L"regconsole-e2e-eeprom.bin") {}

    void SetUp() override {
        WindowedDeviceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        imageFile_ = simtool::TempPath(L"regconsole-e2e-image.bin");
        DeleteFileW(imageFile_.c_str());
        const sim::EepromImage fresh = sim::FreshProductEeprom();
        simtool::WriteFile(eeprom, fresh.data(), fresh.size());
    }
    void TearDown() override {
        console_.Kill();  // before its device goes
        DeleteFileW(imageFile_.c_str());
        WindowedDeviceTest::TearDown();
    }
    sim::DeviceSettings Device() {
        sim::DeviceSettings settings = FileDevice(L"console");
        settings.identity.chipId = 0x141;
        return settings;
    }
    // Registers the device, then starts the console on it.
    void Open(const sim::DeviceSettings& settings) {
        Add(settings);
        console_.Start();
    }

    std::wstring imageFile_;
    Console console_;
};

TEST_F(RegisterConsoleEndToEnd, RegisterWriteReadsBackInBothSpaces) {
    Open(Device());
    const struct {
        int space, countIndex;  // space 0 main, 1 alternate
        const wchar_t *index, *value;
        const wchar_t* logged;  // one of the write's and the read's log lines
    } rows[] = {
        // clang-format off
        {0, 1, L"1234", L"BEEF", L"register write main 1234 x2 = BEEF: 0x00000000"},  // 16-bit index, two bytes
        {1, 0, L"0x5A", L"7E", L"register read alternate 5A x1 = 7E: 0x00000000"},    // 8-bit index, one byte
        // clang-format on
    };
    for (const auto& row : rows) {
        console_.Choose(IDC_REG_SPACE, row.space);
        console_.Choose(IDC_REG_COUNT, row.countIndex);
        console_.Press(IDC_REG_WRITE, {{IDC_REG_INDEX, row.index}, {IDC_REG_VALUE, row.value}});
        EXPECT_THAT(console_.Press(IDC_REG_READ, {{IDC_REG_VALUE, L""}}), HasSubstr(row.logged));
        EXPECT_EQ(console_.Text(IDC_REG_VALUE), row.value);
        EXPECT_TRUE(console_.NoMessageBox());
    }
    console_.Close();
}

TEST_F(RegisterConsoleEndToEnd, ProbeOfAMissingI2cDeviceSaysNotDetected) {
    Open(Device());
    console_.Type(IDC_I2C_ADDRESS, L"50");
    console_.Click(IDC_I2C_PROBE);  // the warning comes before the log line
    EXPECT_EQ(console_.Answer(), L"I2C device not detected");
    // The driver's failure is then reported; the console stays.
    EXPECT_THAT(console_.Answer(), HasSubstr(L"Fatal Error:  8007"));
    EXPECT_THAT(console_.Log(), HasSubstr(L"I2C probe 50: 0x8007"));
    console_.Press(IDC_I2C_PROBE, {{IDC_I2C_ADDRESS, L"A0"}});
    EXPECT_TRUE(console_.NoMessageBox());
    console_.Close();
}

TEST_F(RegisterConsoleEndToEnd, SaveChangeOneByteRestoreGivesTheSavedEeprom) {
    Open(Device());
    const sim::EepromImage original = Bytes();
    console_.Press(IDC_EEPROM_SAVE, {{IDC_EEPROM_FILE, imageFile_}});
    EXPECT_EQ(simtool::FileBytes(imageFile_), original);

    console_.Type(IDC_I2C_ADDRESS, L"A0");
    console_.Choose(IDC_I2C_LAYOUT, 1);  // 8-bit sub-address
    console_.Press(IDC_I2C_WRITE,
                   {{IDC_I2C_SUBADDRESS, L"10"}, {IDC_I2C_COUNT, L"1"}, {IDC_I2C_DATA, L"5A"}});
    ASSERT_NE(original.at(0x10), 0x5A);
    EXPECT_EQ(Bytes(), sim::EepromWith({{0x10, 0x5A}}, original));

    EXPECT_EQ(console_.Restore(imageFile_, IDYES),
              L"1 byte differs from the file.\nWrite it to the EEPROM?");
    EXPECT_EQ(console_.Answer(), L"EEPROM restored: 1 of 256 bytes written and verified.");
    EXPECT_EQ(Bytes(), original);
    console_.Close();
}

TEST_F(RegisterConsoleEndToEnd, RestoreFileOf255BytesIsRefused) {
    Open(Device());
    const sim::EepromImage original = Bytes();
    const BYTE zeros[255] = {};
    simtool::WriteFile(imageFile_, zeros, sizeof zeros);
    const std::wstring text = console_.Restore(imageFile_, IDOK);
    EXPECT_THAT(text, HasSubstr(L"holds 255 bytes; an EEPROM image is exactly 256 bytes."));
    EXPECT_THAT(text, HasSubstr(L"Nothing was written."));
    EXPECT_EQ(Bytes(), original);
    console_.Close();
}

TEST_F(RegisterConsoleEndToEnd, RestoreWithAFailedWriteReportsTheByteNotSuccess) {
    sim::DeviceSettings settings = Device();
    settings.failOnI2cWrite[2] = E_FAIL;  // the second I2C data write of the session
    Open(settings);
    const sim::EepromImage original = Bytes();
    const sim::EepromImage image =
        sim::EepromWith({{0x20, 0x11}, {0x21, 0x22}, {0x22, 0x33}}, original);
    simtool::WriteFile(imageFile_, image.data(), image.size());

    EXPECT_EQ(console_.Restore(imageFile_, IDYES),
              L"3 bytes differ from the file.\nWrite them to the EEPROM?");
    EXPECT_EQ(console_.Answer(), L"Fatal Error:  80004005");
    const std::wstring report = console_.Answer();
    EXPECT_THAT(report, HasSubstr(L"EEPROM restore failed: 1 of 3 written bytes did not verify."));
    EXPECT_THAT(report, HasSubstr(L"Byte 21: wrote 22"));
    EXPECT_THAT(report, Not(HasSubstr(L"restored:")));
    EXPECT_EQ(Bytes(), sim::EepromWith({{0x21, original[0x21]}}, image));
    console_.Close();
}

TEST_F(RegisterConsoleEndToEnd, UnplugMidSessionShowsTheFatalTextAndEnds) {
    sim::DeviceSettings settings = Device();
    // After start-up (whose EEPROM read selects again after each chunk that reads like the one
    // before: 12 on this image), during the reads below.
    settings.unplugFromCall = 84;
    Open(settings);
    console_.Press(IDC_REG_READ, {{IDC_REG_INDEX, L"1234"}});
    EXPECT_TRUE(console_.NoMessageBox()) << "the first read is before the unplug";
    std::wstring text;
    for (int i = 0; i < 40 && text.empty(); ++i) {
        console_.Press(IDC_REG_READ);
        if (!console_.NoMessageBox()) {
            text = console_.Answer();
        }
    }
    EXPECT_EQ(text, kUnplugged);
    console_.ExpectEnded();
}

// A transfer whose word a driver could read as another transfer is refused
// with one line naming both, and nothing reaches the device; a word of the
// same layout that no driver can misread goes through.
TEST_F(RegisterConsoleEndToEnd, AmbiguousI2cWordsAreRefusedAndSendNothing) {
    Open(Device());
    const sim::EepromImage before = Bytes();
    constexpr int kSubAddress16 = 2, kLong = 3;  // places in the layout list
    const struct {
        int layout;
        const wchar_t *subAddress, *count, *data;
        int button;
        const wchar_t* message;
    } rows[] = {
        // clang-format off
        {kSubAddress16, L"0130", L"1", L"44", IDC_I2C_WRITE, L"Refused: the 16-bit sub-address transfer of 0x1 byte at 0x0130 on 0xA0 would send the word 0x01A03081, which is also an 8-bit sub-address transfer of 0x81 bytes at 0x30; nothing was sent."},
        {kLong, L"00", L"10", L"", IDC_I2C_READ, L"Refused: the long transfer of 0x10 bytes at 0x00 on 0xA0 would send the word 0x00A00010, which is also a direct transfer of 0x10 bytes; nothing was sent."},
        // clang-format on
    };
    for (const auto& row : rows) {
        console_.Choose(IDC_I2C_LAYOUT, row.layout);
        EXPECT_EQ(console_.Refused(row.button, {{IDC_I2C_ADDRESS, L"A0"},
                                                {IDC_I2C_SUBADDRESS, row.subAddress},
                                                {IDC_I2C_COUNT, row.count},
                                                {IDC_I2C_DATA, row.data}}),
                  row.message);
    }
    EXPECT_EQ(Bytes(), before);
    console_.Choose(IDC_I2C_LAYOUT, kSubAddress16);
    console_.Press(IDC_I2C_READ,
                   {{IDC_I2C_SUBADDRESS, L"0230"}, {IDC_I2C_COUNT, L"1"}, {IDC_I2C_DATA, L""}});
    wchar_t expected[4];
    swprintf(expected, 4, L"%02X", before[0x30]);
    EXPECT_EQ(console_.Text(IDC_I2C_DATA), expected);
    console_.Close();
}

TEST_F(RegisterConsoleEndToEnd, EmptyIndexAndNonHexValueAreRefusedAndSendNothing) {
    Open(Device());
    const struct {
        const wchar_t *index, *value;
        int button;
        const wchar_t* message;  // the start of what the console says
    } rows[] = {
        {L"", L"12", IDC_REG_WRITE, L"You must specify a register index"},
        {L"", L"", IDC_REG_READ, L"You must specify a register index"},
        {L"1234", L"1G", IDC_REG_WRITE, L"Value: \"1G\" is not a value of 1 byte."},
        {L"1234", L"", IDC_REG_WRITE, L"You must enter a value to set"},
        {L"12G4", L"12", IDC_REG_WRITE,
         L"Register index: \"12G4\" is not a number from 0 to FFFF."},
    };
    for (const auto& row : rows) {
        const std::wstring message =
            console_.Refused(row.button, {{IDC_REG_INDEX, row.index}, {IDC_REG_VALUE, row.value}});
        EXPECT_THAT(message, HasSubstr(row.message));
    }
    // The register still holds what the chip started with.
    console_.Press(IDC_REG_READ, {{IDC_REG_INDEX, L"1234"}});
    EXPECT_EQ(console_.Text(IDC_REG_VALUE), L"00");
    console_.Close();
}

// Record calls opens the device afresh and records from its binding on; a
// console started on a device that replays the recording logs what the
// recorded one did, and its replay never diverges.
TEST_F(RegisterConsoleEndToEnd, ARecordedSessionReplaysWithTheSameLog) {
    const std::wstring recording = simtool::TempPath(L"regconsole-e2e.rec");
    DeleteFileW(recording.c_str());
    Open(Device());
    const size_t before = console_.Log().size();
    console_.Press(IDC_RECORD);
    console_.Choose(IDC_REG_SPACE, 0);
    console_.Press(IDC_REG_READ, {{IDC_REG_INDEX, L"0010"}});
    const std::wstring recorded = console_.Log().substr(before);
    EXPECT_THAT(console_.Press(IDC_RECORD, {{IDC_RECORD_FILE, recording}}),
                HasSubstr(L"recording saved"));
    console_.Close();

    sim::DeviceSettings replaying = Device();
    replaying.replayFile = recording;
    Open(replaying);
    console_.Choose(IDC_REG_SPACE, 0);
    console_.Press(IDC_REG_READ, {{IDC_REG_INDEX, L"0010"}});
    const std::wstring head = L"recording the driver's calls from the device's binding on\r\n";
    ASSERT_THAT(recorded, HasSubstr(head));
    EXPECT_EQ(console_.Log(), recorded.substr(recorded.find(head) + head.size()));
    console_.Close();
    for (const sim::DeviceSettings& device : sim::ListDevices()) {
        EXPECT_EQ(device.replayDivergence, L"");
    }
    DeleteFileW(recording.c_str());
}

}  // namespace
