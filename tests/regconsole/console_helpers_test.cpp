// The register console helpers as a tool's user meets them: what typed text
// turns into, and which warning boxes appear (through a recording platform).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "appcore/app_device.h"
#include "regconsole/console_helpers.h"
#include "appcore/platform.h"
#include "simdevice/chip/driver.h"
#include "tests/common/test_support.h"

namespace {

const HWND kWindow = reinterpret_cast<HWND>(INT_PTR{0x1234});

// What the user saw, "; "-separated: the text of each warning box owned by
// kWindow, after "caption: " unless it is the console's caption; "End n" for
// the end of kWindow's dialog with result n.
class ConsoleHelpers : public ::testing::Test, public Platform {
  protected:
    void SetUp() override { SetAppPlatform(this); }
    void TearDown() override {
        SetAppPlatform(nullptr);
        AppDevice = nullptr;
    }
    int ShowMessageBoxW(HWND, const wchar_t*, const wchar_t*, UINT) override {
        ADD_FAILURE() << "unexpected wide message box";
        return 0;
    }
    int ShowMessageBoxA(HWND owner, const char* text, const char* caption, UINT flags) override {
        EXPECT_EQ(owner, kWindow);
        EXPECT_EQ(flags, UINT{MB_ICONWARNING | MB_OK});
        const bool console = std::string(caption) == kConsoleCaption;
        seen += (seen.empty() ? "" : "; ") + (console ? "" : caption + std::string(": ")) + text;
        return IDOK;
    }
    BOOL EndDialog(HWND dialog, INT_PTR result) override {
        seen += "; End " + std::to_string(result) + (dialog == kWindow ? "" : " of another");
        return TRUE;
    }
    void Sleep(DWORD) override { ADD_FAILURE() << "unexpected pause"; }

    std::string seen;
};

// A copy of text whose terminating zero is the last byte before a no-access
// page: reading past it crashes the test.
const char* BeforeNoAccessPage(const char* text) {
    static char* const end = [] {
        auto* pages = static_cast<char*>(VirtualAlloc(nullptr, 0x2000, MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(pages + 0x1000, 0x1000, PAGE_NOACCESS, &old);
        return pages + 0x1000;
    }();
    const size_t size = std::strlen(text) + 1;
    return static_cast<const char*>(std::memcpy(end - size, text, size));
}

TEST_F(ConsoleHelpers, ParsesTypedHexText) {
    const struct {
        const char* typed;
        LONG value;
        const char* written;  // by ParseHexBytes, lowest byte first
    } cases[] = {
        {"", 0, ""},
        {"1A", 0x1A, "\x1A"},
        {"aB", 0xAB, "\xAB"},
        {"123", 0x123, "\x23\x01"},
        {"1234", 0x1234, "\x34\x12"},
        {"FFFFFFFF", -1, "\xFF\xFF\xFF\xFF"},
        {"123456789", 0x23456789, "\x89\x67\x45\x23\x01"},
        {"0x1F", 0x1F, "\x1F"},
        {" 1F", 0x1F, "\x1F"},
        {"1G", 0x1, "\x01"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(std::string("text \"") + row.typed + "\"");
        const char* text = BeforeNoAccessPage(row.typed);
        EXPECT_EQ(ParseHexValue(text), row.value);
        std::string bytes(8, '\xCC');  // the bytes after the number's stay untouched
        ParseHexBytes(text, reinterpret_cast<BYTE*>(&bytes[0]));
        EXPECT_EQ(bytes, (row.written + std::string(8, '\xCC')).substr(0, 8));
    }
    EXPECT_EQ(ParseHexValue(nullptr), 0);
    ParseHexBytes(nullptr, nullptr);
}

// Only emptiness counts: a blank is text.
TEST_F(ConsoleHelpers, EmptyFieldsAreRefused) {
    for (const char* text : {"", static_cast<const char*>(nullptr), " ", "0"}) {
        SCOPED_TRACE(text ? text : "null");
        const bool empty = !text || !*text;
        seen.clear();
        EXPECT_EQ(RequireRegisterIndex(kWindow, text), !empty);
        EXPECT_EQ(RequireSetValue(kWindow, text), !empty);
        EXPECT_EQ(seen,
                  empty ? "You must specify a register index; You must enter a value to set" : "");
    }
}

TEST_F(ConsoleHelpers, ProbeWarnsOnEveryFailure) {
    const char* const notDetected = "I2C device not detected";
    SimBound bound;
    bound.chip->Eeprom()->state = 0x5A5A;
    DeviceControl unbound;
    const struct {
        DeviceControl* device;  // AppDevice
        bool ready;             // the EEPROM's
        DWORD address;
        HRESULT status;
        DWORD state;  // the state word handed back
        std::string seen;
    } cases[] = {
        {&bound.dc, true, 0xA0, S_OK, 0x5A5A, ""},
        {&bound.dc, false, 0xA0, DEVCTL_S_NOT_READY, 0, "I2C device was powered down or not ready"},
        {&bound.dc, true, 0x42, sim::kNoDeviceAtAddress, 0, notDetected},
        {&unbound, true, 0xA0, DEVCTL_S_NOT_BOUND, 0, notDetected},
        {nullptr, true, 0xA0, DEVCTL_S_NOT_BOUND, 0, notDetected},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.seen + " " + std::to_string(row.address));
        bound.chip->Eeprom()->ready = row.ready;
        bound.driver->ClearLog();
        AppDevice = row.device;
        seen.clear();
        DWORD state = 0xDEADBEEF;
        EXPECT_EQ(CheckI2cDevice(kWindow, row.address, &state), row.status);
        EXPECT_EQ(state, row.state);
        EXPECT_EQ(seen, row.seen);
        // The probe went to this address; the state word may be left out.
        const std::vector<sim::DriverCall>& calls = bound.driver->Calls();
        EXPECT_EQ(calls.empty() ? 0 : calls[0].word, row.device == &bound.dc ? row.address : 0);
        EXPECT_EQ(CheckI2cDevice(kWindow, row.address, nullptr), row.status);
    }
}

TEST_F(ConsoleHelpers, FatalReportEndsTheDialogOnlyWhenUnplugged) {
    const std::pair<HRESULT, const char*> cases[] = {
        {DEVCTL_E_UNPLUGGED, "Error: Fatal Error:  Device unplugged, press OK to Exit; End 7"},
        {0x5A, "Error: Fatal Error:  5a"},
        {static_cast<HRESULT>(0x80070002), "Error: Fatal Error:  80070002"},
    };
    DeviceControl dc;
    AppDevice = &dc;
    for (const auto& [lastResult, expectedSeen] : cases) {
        DeviceControlTestAccess::LastResult(dc) = lastResult;
        seen.clear();
        ReportFatalError(kWindow, 7);
        EXPECT_EQ(seen, expectedSeen);
    }
}

}  // namespace
