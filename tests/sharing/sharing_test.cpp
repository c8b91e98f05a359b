// Programs that meet on one device: real processes on one simulated device,
// whose chip every process shares. The driver alone lets two programs'
// sequences interleave (the control); the library's device lock keeps them
// apart, lets the next program in after a holder died, and tells a program
// that waited too long that the device is busy, having sent nothing.
#include <gmock/gmock.h>
#include <wrl/client.h>

#include <map>
#include <vector>

#include "devctl/custom_property.h"
#include "devctl/device_control.h"
#include "tests/sharing/sharing_fixture.h"

using clitest::Outcome;
using clitest::Velto1cli;
using sharingtest::kName;
using sharingtest::kUpdated;
using sharingtest::SharingTest;
using testsupport::RunningProcess;

namespace {

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The control: without the library's lock, a select of another program
// between ours and our data redirects the data, so the shared chip can show
// the hazard at all.
TEST_F(SharingTest, TwoProgramsOnTheDriverAloneInterleave) {
    AddDevices({L"a"});
    DeviceControl device;
    ASSERT_NE(device.Bind(kName), nullptr);
    const DWORD selectRegister30 = 0x3001;  // one byte at register 0x30
    ASSERT_EQ(device.SetProperty(CPROP_REG_SELECT, &selectRegister30), S_OK);
    RunningProcess other = Holder(L"raw-select");  // selects register 0x31
    ASSERT_EQ(other.Wait().exitCode, 0u);
    const DWORD value = 0x5A;
    ASSERT_EQ(device.SetProperty(CPROP_REG_DATA, &value), S_OK);

    DWORD at30 = 0;
    DWORD at31 = 0;
    ASSERT_EQ(device.ReadRegisters(0x30, 1, &at30), S_OK);
    ASSERT_EQ(device.ReadRegisters(0x31, 1, &at31), S_OK);
    EXPECT_EQ(at30, 0u);
    EXPECT_EQ(at31, value) << "the data went where the other program's select points";
    device.Close();
}

// The chip stays powered while the device is plugged in: a selection that a
// program made without the lock and left, ending, is the one the next
// program's data moves by, though no program was bound in between.
TEST_F(SharingTest, ASelectionOutlivesTheProgramThatMadeIt) {
    Add(Settings(L"a", L"USB 7450 Device"));
    ASSERT_EQ(simtool::Chipctl(L"reg write --no-verify 31 5A").exitCode, 0);
    RunningProcess other = Holder(L"raw-select");  // selects register 0x31, one byte
    ASSERT_EQ(other.Wait().exitCode, 0u);

    DeviceControl device;
    ASSERT_NE(device.Bind(kName), nullptr);
    DWORD value = 0;
    ASSERT_EQ(device.GetProperty(CPROP_REG_DATA, &value), S_OK);
    EXPECT_EQ(value, 0x5Au) << "the data came from where the ended program's select points";
    device.Close();
}

// A program killed inside a driver call that had changed the chip leaves the
// chip as the last whole call left it.
TEST_F(SharingTest, AProgramKilledInsideACallLeavesTheLastWholeCall) {
    AddDevices({L"a"});
    ASSERT_EQ(simtool::Chipctl(L"reg write 30 11").exitCode, 0);
    RunningProcess holder = Holder(L"half-call", L"a");
    ASSERT_TRUE(holder.WaitForOutput("stalled")) << holder.Wait().output;  // wrote 0x99 to 0x30
    holder.Kill();
    const simtool::Outcome read = simtool::Chipctl(L"reg read 30");
    EXPECT_EQ(read.exitCode, 0) << read.output;
    EXPECT_EQ(read.output, "0x11\n");
}

// A program that holds the device keeps every sequence of another out: after
// the wait each fails busy, recorded, and sends nothing. Once the holder dies
// with the lock (mid-sequence), the next sequence proceeds.
TEST_F(SharingTest, AHeldDeviceIsBusyUntilItsHolderDies) {
    AddDevices({L"a"});
    DeviceControl device;
    ASSERT_NE(device.Bind(kName), nullptr);  // before the holder: a bind waits for it too
    device.SetDeviceWaitTime(200);
    RunningProcess holder = Holder(L"select");
    ASSERT_TRUE(holder.WaitForOutput("selected")) << holder.Wait().output;

    const DWORD value = 0x77;
    DWORD read = 0;
    EXPECT_EQ(device.WriteRegisters(0x40, 1, &value), DEVCTL_E_DEVICE_BUSY);
    EXPECT_EQ(device.GetLastResult(), DEVCTL_E_DEVICE_BUSY);
    EXPECT_EQ(device.ReadI2c(0xA0, 0x08, 1, &read), DEVCTL_E_DEVICE_BUSY);
    EXPECT_FALSE(device.TryReadRegisters(0x40, 1, &read));
    EXPECT_EQ(device.HoldDevice(), DEVCTL_E_DEVICE_BUSY);

    holder.Kill();
    ASSERT_EQ(device.ReadRegisters(0x40, 1, &read), S_OK);
    EXPECT_EQ(read, 0u) << "the busy write sent nothing";
    ASSERT_EQ(device.WriteRegisters(0x30, 1, &value), S_OK);
    ASSERT_EQ(device.ReadRegisters(0x30, 1, &read), S_OK);
    EXPECT_EQ(read, value);
    device.Close();

    const Outcome run = Velto1cli(L"update");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(OptionByte(L"a"), kUpdated);
}

// A program that never lets go: velto1cli waits the documented 10 s, then
// tells the device busy with its own code, having written nothing.
TEST_F(SharingTest, Velto1cliTellsADeviceHeldTooLongAndWritesNothing) {
    AddDevices({L"a"});
    RunningProcess holder = Holder(L"hold");
    ASSERT_TRUE(holder.WaitForOutput("held")) << holder.Wait().output;
    const Outcome run = Velto1cli(L"update");
    EXPECT_EQ(run.exitCode, 20) << run.output;
    EXPECT_EQ(run.output,
              "\"USB 7450 Device\" found by name, option byte not read: busy: another program "
              "held the device longer than 10 s, status 0x800705B4; nothing was sent (exit code "
              "20)\n");
    EXPECT_EQ(Bytes(L"a"), sim::FreshProductEeprom());
    EXPECT_EQ(OptionByteWrites()[L"a"], 0u);
}

// A holder stopped inside a driver call: the device is busy, not unbindable.
// Each program finds the device at once and gives up within the wait, having
// written nothing.
TEST_F(SharingTest, ADeviceHeldInsideADriverCallIsBusyWithinTheWait) {
    AddDevices({L"a"});
    RunningProcess holder = Holder(L"stall", L"a");
    ASSERT_TRUE(holder.WaitForOutput("stalled")) << holder.Wait().output;
    // The wait of 10 s, and the start and end of a program under Wine (slow under qemu).
    constexpr ULONGLONG kBoundMs = 25000;
    // clang-format off
    const struct {
        const wchar_t* program;
        const wchar_t* arguments;
        int exitCode;
        const char* output;
    } rows[] = {
        {L"velto1cli.exe", L"update", 20, "\"USB 7450 Device\" found by name, option byte not read: busy: another program held the device longer than 10 s, status 0x800705B4; nothing was sent (exit code 20)\n"},
        {L"chipctl.exe", L"find", 1, "chipctl: \"USB 7450 Device\" is busy: another program held the device longer than 10 s, status 0x800705B4\n"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.program) + L" " + row.arguments));
        const ULONGLONG start = GetTickCount64();
        const simtool::Outcome run = simtool::Run(row.program, row.arguments);
        EXPECT_LT(GetTickCount64() - start, kBoundMs);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.output;
        EXPECT_THAT(run.output, testing::HasSubstr(row.output));
    }
    EXPECT_EQ(Bytes(L"a"), sim::FreshProductEeprom());
}

// Several updaters at once on several devices: each device is written once,
// one updater reports it updated and the others find it already updated.
TEST_F(SharingTest, UpdatersAtOnceWriteEachDeviceOnce) {
    AddDevices({L"a", L"b"});
    std::vector<std::unique_ptr<RunningProcess>> updaters;
    for (int i = 0; i < 3; ++i) {
        updaters.push_back(
            std::make_unique<RunningProcess>(simtool::Beside(L"velto1cli.exe"), L"update --all"));
    }
    std::string output;
    for (auto& updater : updaters) {
        const testsupport::ProcessRun run = updater->Wait();
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        output += run.output;
    }
    EXPECT_EQ(Count(output, "0x85 -> 0x05: updated (exit code 0)"), 2u) << output;
    EXPECT_EQ(Count(output, "option byte 0x05: already updated (exit code 0)"), 4u) << output;
    const std::map<std::wstring, DWORD> once = {{L"a", 1}, {L"b", 1}};
    EXPECT_EQ(OptionByteWrites(), once);
    for (const wchar_t* id : {L"a", L"b"}) {
        EXPECT_EQ(Bytes(id), sim::EepromWith({{sim::kOptionByteOffset, kUpdated}}));
    }
}

// An update racing another tool's register reads and EEPROM writes: every
// EEPROM byte ends as the two programs meant it.
TEST_F(SharingTest, AnUpdateRacingChipctlLeavesEveryByteRight) {
    AddDevices({L"a"});
    RunningProcess update(simtool::Beside(L"velto1cli.exe"), L"update");
    ASSERT_TRUE(update.Started());
    for (int rounds = 0; rounds < 3 || (!update.Ended() && rounds < 100); ++rounds) {
        EXPECT_EQ(simtool::Chipctl(L"reg read 10").exitCode, 0);
        EXPECT_EQ(simtool::Chipctl(L"i2c write --sub 20 A0 5A").exitCode, 0);
    }
    const testsupport::ProcessRun run = update.Wait();
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(Bytes(L"a"), sim::EepromWith({{sim::kOptionByteOffset, kUpdated}, {0x20, 0x5A}}));
}

}  // namespace
