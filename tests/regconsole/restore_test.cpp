// The EEPROM restore's write-and-verify step on a simulated chip in this
// process: only the differing bytes are written, the EEPROM's write time is
// waited after each, every written byte is read back into a buffer that would
// fail the check, and a byte that did not verify is reported.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "appcore/platform.h"
#include "common/eeprom_layout.h"
#include "regconsole/eeprom_tools.h"
#include "tests/common/test_support.h"

namespace {

using regconsole::ByteFailure;
using regconsole::EepromImage;
using regconsole::RestoreResult;
using sim::CallOf;
using sim::DriverSlot;
using ::testing::_;
using ::testing::AnyNumber;

// Strict: a call that no test expects (a message box, a dialog end) fails it.
class MockPlatform : public Platform {
  public:
    MOCK_METHOD(int, ShowMessageBoxW, (HWND, const wchar_t*, const wchar_t*, UINT), (override));
    MOCK_METHOD(int, ShowMessageBoxA, (HWND, const char*, const char*, UINT), (override));
    MOCK_METHOD(BOOL, EndDialog, (HWND, INT_PTR), (override));
    MOCK_METHOD(void, Sleep, (DWORD), (override));
};
using StrictPlatform = ::testing::StrictMock<MockPlatform>;

const std::vector<DWORD> kOffsets = {0x20, 0x21, 0x22};

TEST(RegisterConsoleRestore, WritesVerifiesAndReportsByWhatTheDeviceHolds) {
    const struct Case {
        const char* what;
        CallOf fault;  // slot, property, nth
        HRESULT status;
        std::vector<DWORD> failedOffsets;
        std::vector<HRESULT> toldFailures;
        bool deviceGone;
        unsigned times = 1;  // the fault at this many calls of its kind in a row
    } cases[] = {
        // clang-format off
        {"no fault", {DriverSlot::Get, 0, 0}, S_OK, {}, {}, false},
        {"the second I2C data write fails", {DriverSlot::Set, CPROP_I2C_DATA, 2}, E_FAIL, {0x21}, {E_FAIL}, false},
        {"the first write answers 0 and stores nothing", {DriverSlot::Set, CPROP_I2C_DATA, 1}, S_OK, {0x20}, {}, false},
        // Faults count their calls from after the EEPROM read below: the first read-back is the first data get.
        // Read once more, the read-back shows the byte written; delivering nothing twice, it fails.
        {"a read-back answers 0 and delivers nothing", {DriverSlot::Get, CPROP_I2C_DATA, 1}, S_OK, {}, {}, false},
        {"a read-back delivers nothing twice", {DriverSlot::Get, CPROP_I2C_DATA, 1}, S_OK, {0x20}, {DEVCTL_E_NOT_DELIVERED}, false, 2},
        {"unplugged at the second write", {DriverSlot::Set, CPROP_I2C_DATA, 2}, DEVCTL_E_UNPLUGGED, {}, {DEVCTL_E_UNPLUGGED}, true},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimBound bound;
        regconsole::ConsoleLog log;
        EepromImage device;
        ASSERT_EQ(regconsole::ReadEeprom(bound.dc, &device, log), S_OK);
        bound.driver->ClearLog();
        for (unsigned n = 0; c.fault.nth && n < c.times; ++n) {
            bound.driver->Faults().onCall[{c.fault.slot, c.fault.id, c.fault.nth + n}] = c.status;
        }
        EepromImage file = device;
        file[0x20] = 0x11;
        file[0x21] = 0x22;
        file[0x22] = 0x33;
        ASSERT_EQ(regconsole::DifferingOffsets(device, file), kOffsets);

        // Each write is followed by the EEPROM's write time.
        StrictPlatform platform;
        EXPECT_CALL(platform, Sleep(velto1::eeprom::kWriteCycleMilliseconds))
            .Times(c.deviceGone ? AnyNumber() : ::testing::Exactly(kOffsets.size()));
        std::vector<HRESULT> told;
        const RestoreResult result = regconsole::WriteAndVerify(
            bound.dc, platform, file, kOffsets, log, [&](HRESULT status) {
                told.push_back(status);
                EXPECT_EQ(bound.dc.GetLastResult(), status) << "told while it is the last result";
            });

        std::vector<DWORD> failed;
        for (const ByteFailure& failure : result.failures) {
            failed.push_back(failure.offset);
        }
        EXPECT_EQ(failed, c.failedOffsets);
        EXPECT_EQ(told, c.toldFailures);
        EXPECT_EQ(result.deviceGone, c.deviceGone);
        const std::string report = regconsole::RestoreReport(kOffsets.size(), result);
        EXPECT_EQ(report.rfind("EEPROM restored:", 0) == 0, failed.empty() && !c.deviceGone)
            << report;
        const sim::EepromImage& cells = bound.chip->Eeprom()->Bytes();
        for (DWORD offset = 0; offset < 256; ++offset) {
            if (offset < 0x20 || offset > 0x22) {
                EXPECT_EQ(cells[offset], device[offset])
                    << "byte " << offset << " not to be written";
            }
        }
    }
}

// Another program holds the device past the wait: the restore does not start,
// sends nothing and says so.
TEST(RegisterConsoleRestore, ADeviceHeldElsewhereIsNotWritten) {
    SimBound bound;
    bound.dc.SetDeviceWaitTime(100);
    const LockHeldElsewhere other;
    regconsole::ConsoleLog log;
    StrictPlatform platform;
    EXPECT_CALL(platform, Sleep(_)).Times(AnyNumber());
    const sim::EepromImage cells = bound.chip->Eeprom()->Bytes();
    EepromImage file(cells.begin(), cells.end());
    file[0x20] ^= 0xFF;
    const RestoreResult result = regconsole::WriteAndVerify(
        bound.dc, platform, file, {0x20}, log, [](HRESULT) { ADD_FAILURE() << "not fatal"; });
    EXPECT_TRUE(result.deviceBusy);
    EXPECT_TRUE(bound.driver->Calls().empty());
    EXPECT_EQ(regconsole::RestoreReport(1, result),
              "EEPROM restore not started: another program held the device longer than 10 s. "
              "Nothing was written.");
}

TEST(RegisterConsoleRestore, ReportListsEachByteThatDidNotVerify) {
    RestoreResult result;
    result.failures.push_back({0x21, 0x22, E_FAIL, S_OK, 0x20});
    result.failures.push_back({0x7A, 0x31, S_OK, static_cast<HRESULT>(0x8007048F), 0x00});
    EXPECT_EQ(regconsole::RestoreReport(3, result),
              "EEPROM restore failed: 2 of 3 written bytes did not verify.\n"
              "Byte 21: wrote 22 (write status 0x80004005), reads 20\n"
              "Byte 7A: wrote 31, read-back status 0x8007048F");
    EXPECT_EQ(regconsole::RestoreReport(3, RestoreResult{}),
              "EEPROM restored: 3 of 256 bytes written and verified.");
}

}  // namespace
