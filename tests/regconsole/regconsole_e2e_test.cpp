// regconsole.exe end to end: the real program under Wine, a simulated device
// registered in the test prefix with its EEPROM in a file, and the console's
// dialog driven through the Win32 API as a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "regconsole/resource.h"
#include "simdevice/chip/chip.h"
#include "tests/bench/sim_bench.h"
#include "tools/autopilot/ui_automation.h"
#include "tools/autopilot/updater_session.h"

namespace {

const wchar_t kCaption[] = L"KX5170 Custom Property Demo";
const wchar_t kUnplugged[] = L"Fatal Error:  Device unplugged, press OK to Exit";
constexpr DWORD kTimeoutMs = 20000;

std::vector<BYTE> ReadFileBytes(const std::wstring& path) {
    std::vector<BYTE> bytes;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        for (int c; (c = fgetc(file)) != EOF;) {
            bytes.push_back(static_cast<BYTE>(c));
        }
        fclose(file);
    }
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::vector<BYTE>& bytes) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    fclose(file);
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

// The running console and what a user does with it.
class Console {
  public:
    ~Console() {
        if (process_.Id()) {
            process_.Kill();
        }
    }
    void Start() {
        ASSERT_TRUE(process_.Start(automation::ProgramBesideMe(L"regconsole.exe")));
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
    size_t LogLines() const {
        const std::wstring log = Log();
        size_t lines = 0;
        for (size_t at = log.find(L"\r\n"); at != std::wstring::npos;
             at = log.find(L"\r\n", at + 2)) {
            ++lines;
        }
        return lines;
    }
    // Presses a button; the command has run when the log has grown.
    std::wstring Press(int id) {
        const size_t before = LogLines();
        automation::PressButton(dialog_, id);
        WaitForLogLines(before + 1);
        return Log();
    }
    // Presses a button that is expected to log nothing.
    void Click(int id) { automation::PressButton(dialog_, id); }
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
    bool NoMessageBox() const { return automation::WaitForOwnedWindow(dialog_, 300) == nullptr; }
    bool Ended(DWORD* exitCode) { return process_.Wait(kTimeoutMs, exitCode); }
    void Close() {
        automation::PressButton(dialog_, IDCANCEL);
        DWORD exitCode = 1;
        EXPECT_TRUE(Ended(&exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

  private:
    void WaitForLogLines(size_t lines) const {
        for (int i = 0; i < 1000 && LogLines() < lines; ++i) {
            Sleep(20);
        }
    }
    automation::Process process_;
    HWND dialog_ = nullptr;
};

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

class RegisterConsoleEndToEnd : public simbench::SimDeviceTest {
  protected:
    void SetUp() override {
        if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
            GTEST_SKIP() << "no X display: run the tests through scripts/test.sh";
        }
        SimDeviceTest::SetUp();
        eepromFile_ = TempPath(L"regconsole-e2e-eeprom.bin");
        imageFile_ = TempPath(L"regconsole-e2e-image.bin");
        DeleteFileW(imageFile_.c_str());
        const sim::EepromImage fresh = sim::FreshProductEeprom();
        WriteFileBytes(eepromFile_, std::vector<BYTE>(fresh.begin(), fresh.end()));
    }
    void TearDown() override {
        DeleteFileW(eepromFile_.c_str());
        DeleteFileW(imageFile_.c_str());
        SimDeviceTest::TearDown();
    }
    sim::DeviceSettings Device() {
        sim::DeviceSettings settings = simbench::Device(L"console", L"USB 7450 Device");
        settings.identity.chipId = 0x141;
        settings.eepromFile = eepromFile_;
        return settings;
    }
    std::vector<BYTE> DeviceEeprom() { return ReadFileBytes(eepromFile_); }

    std::wstring eepromFile_;
    std::wstring imageFile_;
};

TEST_F(RegisterConsoleEndToEnd, RegisterWriteReadsBackInBothSpaces) {
    Add(Device());
    Console console;
    console.Start();
    struct Row {
        int space;  // 0 main, 1 alternate
        int countIndex;
        const wchar_t* index;
        const wchar_t* value;
    };
    const Row rows[] = {
        {0, 1, L"1234", L"BEEF"},  // main space, 16-bit index, two bytes
        {1, 0, L"0x5A", L"7E"},    // alternate space, 8-bit index, one byte
    };
    for (const Row& row : rows) {
        console.Choose(IDC_REG_SPACE, row.space);
        console.Choose(IDC_REG_COUNT, row.countIndex);
        console.Type(IDC_REG_INDEX, row.index);
        console.Type(IDC_REG_VALUE, row.value);
        console.Press(IDC_REG_WRITE);
        console.Type(IDC_REG_VALUE, L"");
        console.Press(IDC_REG_READ);
        EXPECT_EQ(console.Text(IDC_REG_VALUE), row.value[0] == L'0' ? row.value + 2 : row.value);
        EXPECT_TRUE(console.NoMessageBox());
    }
    const std::wstring log = console.Log();
    EXPECT_TRUE(Contains(log, L"register write main 1234 x2 = BEEF: 0x00000000"))
        << automation::Utf8(log);
    EXPECT_TRUE(Contains(log, L"register read alternate 5A x1 = 7E: 0x00000000"))
        << automation::Utf8(log);
    console.Close();
}

TEST_F(RegisterConsoleEndToEnd, ProbeOfAMissingI2cDeviceSaysNotDetected) {
    Add(Device());
    Console console;
    console.Start();
    console.Type(IDC_I2C_ADDRESS, L"50");
    console.Click(IDC_I2C_PROBE);  // the warning comes before the log line
    EXPECT_EQ(console.Answer(), L"I2C device not detected");
    // The driver's failure is then reported; the console stays.
    EXPECT_TRUE(Contains(console.Answer(), L"Fatal Error:  8007"));
    EXPECT_TRUE(Contains(console.Log(), L"I2C probe 50: 0x8007"))
        << automation::Utf8(console.Log());
    console.Type(IDC_I2C_ADDRESS, L"A0");
    console.Press(IDC_I2C_PROBE);
    EXPECT_TRUE(console.NoMessageBox());
    console.Close();
}

TEST_F(RegisterConsoleEndToEnd, SaveChangeOneByteRestoreGivesTheSavedEeprom) {
    Add(Device());
    const std::vector<BYTE> original = DeviceEeprom();
    Console console;
    console.Start();
    console.Type(IDC_EEPROM_FILE, imageFile_);
    console.Press(IDC_EEPROM_SAVE);
    EXPECT_EQ(ReadFileBytes(imageFile_), original);

    console.Type(IDC_I2C_ADDRESS, L"A0");
    console.Choose(IDC_I2C_LAYOUT, 1);  // 8-bit sub-address
    console.Type(IDC_I2C_SUBADDRESS, L"10");
    console.Type(IDC_I2C_COUNT, L"1");
    console.Type(IDC_I2C_DATA, L"5A");
    console.Press(IDC_I2C_WRITE);
    std::vector<BYTE> changed = original;
    changed[0x10] = 0x5A;
    ASSERT_NE(changed, original);
    EXPECT_EQ(DeviceEeprom(), changed);

    console.Press(IDC_EEPROM_RESTORE);
    EXPECT_EQ(console.Answer(IDYES), L"1 byte differs from the file.\nWrite it to the EEPROM?");
    EXPECT_EQ(console.Answer(), L"EEPROM restored: 1 of 256 bytes written and verified.");
    EXPECT_EQ(DeviceEeprom(), original);
    console.Close();
}

TEST_F(RegisterConsoleEndToEnd, RestoreFileOf255BytesIsRefused) {
    Add(Device());
    const std::vector<BYTE> original = DeviceEeprom();
    WriteFileBytes(imageFile_, std::vector<BYTE>(255, 0x00));
    Console console;
    console.Start();
    console.Type(IDC_EEPROM_FILE, imageFile_);
    console.Press(IDC_EEPROM_RESTORE);
    const std::wstring text = console.Answer();
    EXPECT_TRUE(Contains(text, L"holds 255 bytes; an EEPROM image is exactly 256 bytes."))
        << automation::Utf8(text);
    EXPECT_TRUE(Contains(text, L"Nothing was written."));
    EXPECT_EQ(DeviceEeprom(), original);
    console.Close();
}

TEST_F(RegisterConsoleEndToEnd, RestoreWithAFailedWriteReportsTheByteNotSuccess) {
    sim::DeviceSettings settings = Device();
    settings.failOnI2cWrite[2] = E_FAIL;  // the second I2C data write of the session
    Add(settings);
    const std::vector<BYTE> original = DeviceEeprom();
    std::vector<BYTE> image = original;
    image[0x20] = 0x11;
    image[0x21] = 0x22;
    image[0x22] = 0x33;
    WriteFileBytes(imageFile_, image);

    Console console;
    console.Start();
    console.Type(IDC_EEPROM_FILE, imageFile_);
    console.Press(IDC_EEPROM_RESTORE);
    EXPECT_EQ(console.Answer(IDYES), L"3 bytes differ from the file.\nWrite them to the EEPROM?");
    EXPECT_EQ(console.Answer(), L"Fatal Error:  80004005");
    const std::wstring report = console.Answer();
    EXPECT_TRUE(Contains(report, L"EEPROM restore failed: 1 of 3 written bytes did not verify."))
        << automation::Utf8(report);
    EXPECT_TRUE(Contains(report, L"Byte 21: wrote 22")) << automation::Utf8(report);
    EXPECT_FALSE(Contains(report, L"restored:"));
    std::vector<BYTE> expected = image;
    expected[0x21] = original[0x21];
    EXPECT_EQ(DeviceEeprom(), expected);
    console.Close();
}

TEST_F(RegisterConsoleEndToEnd, UnplugMidSessionShowsTheFatalTextAndEnds) {
    sim::DeviceSettings settings = Device();
    settings.unplugFromCall = 60;  // after start-up, during the reads below
    Add(settings);
    Console console;
    console.Start();
    console.Type(IDC_REG_INDEX, L"1234");
    console.Press(IDC_REG_READ);
    EXPECT_TRUE(console.NoMessageBox()) << "the first read is before the unplug";
    std::wstring text;
    for (int i = 0; i < 40 && text.empty(); ++i) {
        console.Press(IDC_REG_READ);
        if (!console.NoMessageBox()) {
            text = console.Answer();
        }
    }
    EXPECT_EQ(text, kUnplugged);
    DWORD exitCode = 1;
    EXPECT_TRUE(console.Ended(&exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(RegisterConsoleEndToEnd, EmptyIndexAndNonHexValueAreRefusedAndSendNothing) {
    Add(Device());
    Console console;
    console.Start();
    struct Row {
        const wchar_t* index;
        const wchar_t* value;
        int button;
        const wchar_t* message;  // the start of what the console says
    };
    const Row rows[] = {
        {L"", L"12", IDC_REG_WRITE, L"You must specify a register index"},
        {L"", L"", IDC_REG_READ, L"You must specify a register index"},
        {L"1234", L"1G", IDC_REG_WRITE, L"Value: \"1G\" is not a value of 1 byte."},
        {L"1234", L"", IDC_REG_WRITE, L"You must enter a value to set"},
        {L"12G4", L"12", IDC_REG_WRITE,
         L"Register index: \"12G4\" is not a number from 0 to FFFF."},
    };
    for (const Row& row : rows) {
        console.Type(IDC_REG_INDEX, row.index);
        console.Type(IDC_REG_VALUE, row.value);
        const std::wstring before = console.Log();
        console.Click(row.button);
        EXPECT_TRUE(Contains(console.Answer(), row.message)) << automation::Utf8(row.message);
        EXPECT_EQ(console.Log(), before) << "nothing was sent";
    }
    // The register still holds what the chip started with.
    console.Type(IDC_REG_INDEX, L"1234");
    console.Press(IDC_REG_READ);
    EXPECT_EQ(console.Text(IDC_REG_VALUE), L"00");
    console.Close();
}

}  // namespace
