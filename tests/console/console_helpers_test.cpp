// The register console helpers as a tool's user meets them: what typed text
// turns into, and which warning boxes appear (through a recording platform).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/app_device.h"
#include "app/console_helpers.h"
#include "app/platform.h"
#include "simdevice/sim_driver.h"
#include "tests/common/test_support.h"

namespace {

// What the user saw, in order: "caption: text (flags, owner)" for a message
// box, "EndDialog(owner, result)" for the end of a dialog.
std::string BoxEvent(HWND owner, const char* text, const char* caption, UINT flags) {
    char tail[64];
    std::snprintf(tail, sizeof tail, " (0x%x, %p)", flags, static_cast<void*>(owner));
    return std::string(caption) + ": " + text + tail;
}
std::string EndEvent(HWND dialog, INT_PTR result) {
    char event[64];
    std::snprintf(event, sizeof event, "EndDialog(%p, %lld)", static_cast<void*>(dialog),
                  static_cast<long long>(result));
    return event;
}

class RecordingPlatform : public Platform {
  public:
    int ShowMessageBoxW(HWND, const wchar_t*, const wchar_t*, UINT) override {
        ADD_FAILURE() << "unexpected wide message box";
        return IDOK;
    }
    int ShowMessageBoxA(HWND owner, const char* text, const char* caption, UINT flags) override {
        events.push_back(BoxEvent(owner, text, caption, flags));
        return IDOK;
    }
    BOOL EndDialog(HWND dialog, INT_PTR result) override {
        events.push_back(EndEvent(dialog, result));
        return TRUE;
    }
    void Sleep(DWORD) override { ADD_FAILURE() << "unexpected pause"; }

    std::vector<std::string> events;
};

const HWND kWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
constexpr UINT kWarningFlags = 0x30;  // MB_ICONWARNING with the single OK button

class ConsoleHelpers : public ::testing::Test {
  protected:
    void SetUp() override { SetAppPlatform(&platform); }
    void TearDown() override {
        SetAppPlatform(nullptr);
        AppDevice = nullptr;
    }
    // No event, or exactly one warning box with this text, owned by kWindow.
    static std::vector<std::string> Warned(const char* text,
                                           const char* caption = kConsoleCaption) {
        if (!text) {
            return {};
        }
        return {BoxEvent(kWindow, text, caption, kWarningFlags)};
    }

    RecordingPlatform platform;
};

// Copies text so that its terminating zero is the last readable byte before
// an inaccessible page: reading past it crashes the test.
class TextBeforeNoAccessPage {
  public:
    explicit TextBeforeNoAccessPage(const char* text) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        pageSize_ = info.dwPageSize;
        base_ = static_cast<char*>(
            VirtualAlloc(nullptr, 2 * pageSize_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + pageSize_, pageSize_, PAGE_NOACCESS, &old);
        const size_t size = std::strlen(text) + 1;
        copy_ = base_ + pageSize_ - size;
        std::memcpy(copy_, text, size);
    }
    ~TextBeforeNoAccessPage() { VirtualFree(base_, 0, MEM_RELEASE); }
    const char* Get() const { return copy_; }

  private:
    DWORD pageSize_ = 0;
    char* base_ = nullptr;
    char* copy_ = nullptr;
};

struct ParseCase {
    const char* text;
    LONG value;
    std::vector<BYTE> bytes;  // what ParseHexBytes writes, lowest byte first
};

const ParseCase kParseCases[] = {
    {"", 0, {}},
    {"A", 10, {0x0A}},
    {"1A", 26, {0x1A}},
    {"ff", 255, {0xFF}},
    {"aB", 0xAB, {0xAB}},
    {"123", 0x123, {0x23, 0x01}},
    {"1234", 0x1234, {0x34, 0x12}},
    {"00FF", 0xFF, {0xFF, 0x00}},
    {"FFFFFFFF", -1, {0xFF, 0xFF, 0xFF, 0xFF}},
    {"100000000", 0, {0x00, 0x00, 0x00, 0x00, 0x01}},
    {"123456789", 0x23456789, {0x89, 0x67, 0x45, 0x23, 0x01}},
    {"0123456789abcdefABCDEF",
     static_cast<LONG>(0xEFABCDEFu),
     {0xEF, 0xCD, 0xAB, 0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
    // Typed text: blanks before, a 0x prefix, and everything after the digits.
    {"0x1F", 0x1F, {0x1F}},
    {"0X1f", 0x1F, {0x1F}},
    {" 1F", 0x1F, {0x1F}},
    {"\t 0x123 ", 0x123, {0x23, 0x01}},
    {"1F ", 0x1F, {0x1F}},
    {"1G", 0x1, {0x01}},
    {"12 34", 0x12, {0x12}},
    {"1\xB2", 0x1, {0x01}},
    {"0x", 0, {0x00}},
    {"0xG", 0, {0x00}},
    {"0x0x1", 0, {0x00}},
    {"x1F", 0, {}},
    {"G1", 0, {}},
    {"-1", 0, {}},
    {"   ", 0, {}},
};

TEST_F(ConsoleHelpers, ParsesTypedHexText) {
    for (const ParseCase& c : kParseCases) {
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        const TextBeforeNoAccessPage text(c.text);
        EXPECT_EQ(ParseHexValue(text.Get()), c.value);

        BYTE buffer[16];
        std::memset(buffer, 0xCC, sizeof buffer);
        ParseHexBytes(text.Get(), buffer);
        std::vector<BYTE> expected = c.bytes;
        expected.resize(sizeof buffer, 0xCC);  // nothing after the number's bytes
        EXPECT_EQ(std::vector<BYTE>(buffer, buffer + sizeof buffer), expected);
    }
    EXPECT_EQ(ParseHexValue(nullptr), 0);
    ParseHexBytes(nullptr, nullptr);
    EXPECT_TRUE(platform.events.empty());
}

TEST_F(ConsoleHelpers, EmptyFieldsAreRefused) {
    const char* const kIndexText = "You must specify a register index";
    const char* const kValueText = "You must enter a value to set";
    const struct {
        BOOL (*check)(HWND, const char*);
        const char* text;
        BOOL accepted;
        const char* warning;
    } cases[] = {
        {RequireRegisterIndex, "", FALSE, kIndexText},
        {RequireRegisterIndex, nullptr, FALSE, kIndexText},
        {RequireRegisterIndex, "0", TRUE, nullptr},
        {RequireRegisterIndex, " ", TRUE, nullptr},
        {RequireSetValue, "", FALSE, kValueText},
        {RequireSetValue, nullptr, FALSE, kValueText},
        {RequireSetValue, "0", TRUE, nullptr},
        {RequireSetValue, "\x82\xA0", TRUE, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warning ? c.warning : c.text);
        platform.events.clear();
        EXPECT_EQ(c.check(kWindow, c.text), c.accepted);
        EXPECT_EQ(platform.events, Warned(c.warning));
    }
}

TEST_F(ConsoleHelpers, ProbeWarnsOnEveryFailure) {
    const char* const kNotReady = "I2C device was powered down or not ready";
    const char* const kNotDetected = "I2C device not detected";
    enum Device { Bound, Unbound, NoneOpen };
    const struct {
        const char* name;
        Device device;
        bool ready;
        DWORD address;
        bool unplugged;
        HRESULT status;
        DWORD state;
        const char* warning;
    } cases[] = {
        {"ready", Bound, true, 0xA0, false, S_OK, 0x5A5A, nullptr},
        {"not ready", Bound, false, 0xA0, false, 21, 0, kNotReady},
        {"absent", Bound, true, 0x42, false, sim::kNoDeviceAtAddress, 0, kNotDetected},
        {"unplugged", Bound, true, 0xA0, true, DEVCTL_E_UNPLUGGED, 0, kNotDetected},
        {"not bound", Unbound, true, 0xA0, false, 6, 0, kNotDetected},
        {"no device open", NoneOpen, true, 0xA0, false, 6, 0, kNotDetected},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto chip = std::make_shared<sim::SimChip>();
        chip->Eeprom()->ready = c.ready;
        chip->Eeprom()->state = 0x5A5A;
        sim::SimDriver* driver = sim::CreateSimDriver(chip);
        if (c.unplugged) {
            driver->Faults().unplugFromCall = 1;
        }
        DeviceControl dc;
        if (c.device == Bound) {
            DeviceControlTestAccess::Attach(dc, driver);
        }
        AppDevice = c.device == NoneOpen ? nullptr : &dc;
        platform.events.clear();

        DWORD state = 0xDEADBEEF;
        EXPECT_EQ(CheckI2cDevice(kWindow, c.address, &state), c.status);
        EXPECT_EQ(state, c.state);
        EXPECT_EQ(platform.events, Warned(c.warning));
        if (c.device == Bound) {
            ASSERT_FALSE(driver->Calls().empty());
            EXPECT_EQ(driver->Calls()[0].id, DWORD{CPROP_I2C_DEVICE});
            EXPECT_EQ(driver->Calls()[0].word, c.address);
        }
        dc.Close();
        driver->Release();
    }
}

// A positive status from the state read is a failure too: whatever the driver
// delivered is not handed on.
TEST_F(ConsoleHelpers, ProbeDropsStateOfPositiveStatus) {
    using ::testing::_;
    using ::testing::Return;
    auto* driver = new MockCustomProperty;
    EXPECT_CALL(*driver, Set(CPROP_I2C_DEVICE, PointsToWord(0xA0))).WillOnce(Return(S_OK));
    EXPECT_CALL(*driver, Get(CPROP_I2C_DEVICE_READY, _)).WillOnce(DeliverWord(1, S_OK));
    EXPECT_CALL(*driver, Get(CPROP_I2C_DEVICE_STATE, _)).WillOnce(DeliverWord(0x77, S_FALSE));
    DeviceControl dc;
    DeviceControlTestAccess::Attach(dc, driver);
    AppDevice = &dc;

    DWORD state = 0xDEADBEEF;
    EXPECT_EQ(CheckI2cDevice(kWindow, 0xA0, &state), S_FALSE);
    EXPECT_EQ(state, 0u);
    EXPECT_EQ(platform.events, Warned("I2C device not detected"));
    dc.Close();
    driver->Release();
}

TEST_F(ConsoleHelpers, ProbeWithoutStateWordStillWarns) {
    DeviceControl dc;
    AppDevice = &dc;
    EXPECT_EQ(CheckI2cDevice(kWindow, 0xA0, nullptr), 6);
    EXPECT_EQ(platform.events, Warned("I2C device not detected"));
}

TEST_F(ConsoleHelpers, FatalReportEndsTheDialogOnlyWhenUnplugged) {
    const char* const kUnplugged = "Fatal Error:  Device unplugged, press OK to Exit";
    const struct {
        HRESULT lastResult;
        bool deviceOpen;
        WORD result;
        const char* text;
        bool ends;
    } cases[] = {
        {DEVCTL_E_UNPLUGGED, true, 7, kUnplugged, true},
        {DEVCTL_E_UNPLUGGED, true, 0xFFFF, kUnplugged, true},
        {0, true, 7, "Fatal Error:  0", false},
        {0x5A, true, 7, "Fatal Error:  5a", false},
        {sim::kNoDeviceAtAddress, true, 7, "Fatal Error:  8007048f", false},
        {static_cast<HRESULT>(0x80070002), true, 7, "Fatal Error:  80070002", false},
        {0, false, 7, "Fatal Error:  6", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        DeviceControl dc;
        DeviceControlTestAccess::LastResult(dc) = c.lastResult;
        AppDevice = c.deviceOpen ? &dc : nullptr;
        platform.events.clear();

        ReportFatalError(kWindow, c.result);
        std::vector<std::string> expected = Warned(c.text, kFatalErrorCaption);
        if (c.ends) {
            expected.push_back(EndEvent(kWindow, c.result));
        }
        EXPECT_EQ(platform.events, expected);
    }
}

// A tool's read of an I2C device after the device was pulled out: the probe
// warns, and the fatal report then closes the tool's dialog.
TEST_F(ConsoleHelpers, UnpluggedDeviceEndsTheToolDialog) {
    sim::SimDriver* driver = sim::CreateSimDriver(std::make_shared<sim::SimChip>());
    driver->Faults().unplugFromCall = 1;
    DeviceControl dc;
    DeviceControlTestAccess::Attach(dc, driver);
    AppDevice = &dc;

    DWORD state = 0;
    EXPECT_EQ(CheckI2cDevice(kWindow, 0xA0, &state), DEVCTL_E_UNPLUGGED);
    ReportFatalError(kWindow, IDCANCEL);

    EXPECT_EQ(platform.events,
              (std::vector<std::string>{
                  Warned("I2C device not detected")[0],
                  Warned("Fatal Error:  Device unplugged, press OK to Exit", kFatalErrorCaption)[0],
                  EndEvent(kWindow, IDCANCEL)}));
    dc.Close();
    driver->Release();
}

}  // namespace
