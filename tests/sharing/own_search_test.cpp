// An SDK program that finds the device with its own DirectShow search, and
// velto1cli and chipctl beside it. Such a program's filter bound alone holds
// every device, so these cases run with no other test at once.
#include <gmock/gmock.h>

#include <string>

#include "tests/sharing/sharing_fixture.h"

using sharingtest::kUpdated;
using sharingtest::SharingTest;
using testsupport::RunningProcess;

namespace {

// An SDK program that finds the device with its own DirectShow search and
// holds it: velto1cli on the same device waits and tells it busy, having
// written nothing, whether the program handed BindFilter the moniker or the
// filter alone. A filter alone tells no device, so it holds every device; with
// its moniker, another device is not held: velto1cli updates it, and chipctl
// (which binds what FindCaptureDevice found) reads it.
TEST_F(SharingTest, AProgramsOwnSearchHoldsTheDeviceAgainstVelto1cli) {
    AddNamedDevices({{L"a", L"USB 7450 Device"}, {L"b", L"USB 6240 Device"}});
    const char* const busy =
        "\"USB 7450 Device\" found by name, option byte not read: busy: another program held "
        "the device longer than 10 s, status 0x800705B4; nothing was sent (exit code 20)\n";
    // clang-format off
    const struct {
        const wchar_t* holder;         // device_holder's command
        const wchar_t* holdersDevice;  // the friendly name its own search looks for
        const wchar_t* program;        // run meanwhile on device a
        const wchar_t* arguments;
        int exitCode;
        const char* output;  // what the program's output holds
        BYTE optionByte;     // device a's afterwards
    } rows[] = {
        {L"own-hold", L"\"USB 7450 Device\"", L"velto1cli.exe", L"update", 20, busy, 0x85},
        {L"own-hold-moniker", L"\"USB 7450 Device\"", L"velto1cli.exe", L"update", 20, busy, 0x85},
        {L"own-hold", L"\"USB 6240 Device\"", L"velto1cli.exe", L"update", 20, busy, 0x85},
        {L"own-hold-moniker", L"\"USB 6240 Device\"", L"chipctl.exe", L"reg read 10", 0, "0x00\n", 0x85},
        // Last: the update changes device a.
        {L"own-hold-moniker", L"\"USB 6240 Device\"", L"velto1cli.exe", L"update", 0, "0x85 -> 0x05: updated (exit code 0)", kUpdated},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.holder) + L" " + row.holdersDevice +
                                            L", " + row.program + L" " + row.arguments));
        RunningProcess holder(simtool::Beside(L"device_holder.exe"),
                              std::wstring(row.holder) + L" " + row.holdersDevice);
        ASSERT_TRUE(holder.WaitForOutput("held")) << holder.Wait().output;
        const simtool::Outcome run = simtool::Run(row.program, row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.output;
        EXPECT_THAT(run.output, testing::HasSubstr(row.output));
        EXPECT_EQ(OptionByte(L"a"), row.optionByte);
        holder.Kill();
    }
    EXPECT_EQ(Bytes(L"b"), sim::FreshProductEeprom()) << "device b was only held";
}

}  // namespace
