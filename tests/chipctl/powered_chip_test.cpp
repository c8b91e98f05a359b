// The simulated chip stays powered while its device is plugged in, as silicon
// does: what one chipctl run leaves in the chip (registers, selections, GPIO
// latch, codec, remote-control receiver) is what the next run finds, though
// no program holds the device in between. simdevctl add (again) and remove
// with add power it on afresh, and a state file that holds no whole state is
// a chip powered on afresh, never trusted.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/common/simtool_fixture.h"

using simtool::Chipctl;
using simtool::Outcome;
using simtool::Simdevctl;

namespace {

class PoweredChipTest : public simtool::FileDeviceTest {
  protected:
    PoweredChipTest() : FileDeviceTest(L"velto1-powered-chip-test.bin") {}

    std::wstring StateFile() const { return eeprom + sim::kChipStateSuffix; }
    // A run that must succeed, each in a process of its own.
    static void RunEach(const std::vector<const wchar_t*>& commands) {
        for (const wchar_t* command : commands) {
            const Outcome run = Chipctl(command);
            EXPECT_EQ(run.exitCode, 0)
                << testing::PrintToString(std::wstring(command)) << " " << run.output;
        }
    }
    static std::string Read(const wchar_t* command) {
        const Outcome run = Chipctl(command);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return run.output;
    }
};

TEST_F(PoweredChipTest, WhatOneRunLeavesTheNextRunFinds) {
    // clang-format off
    const struct {
        const wchar_t* device;  // simdevctl add options
        std::vector<const wchar_t*> runs;
        const wchar_t* read;
        const char* output;  // what the read prints; on a chip powered on afresh it differs
    } rows[] = {
        {L"", {L"reg write --no-verify 0x0300 0x5A"}, L"reg read 0x0300", "0x5A\n"},
        {L"", {L"reg write --no-verify 0x1234 0xBEEF 2"}, L"reg read 0x1234 2", "0xBEEF\n"},
        {L"", {L"reg write --no-verify --alt 0x12 0xA5"}, L"reg read --alt 0x12", "0xA5\n"},
        // The GPIO latch (0x08 on the older chip): the input register shows it.
        {L"", {L"reg write --no-verify 0x08 0x5A"}, L"reg read 0x09", "0x5A\n"},
        {L"--chip-id 0x141", {L"reg write --no-verify 0x80 0x3C"}, L"reg read 0x84", "0x3C\n"},
        // The codec's data word in one run, the command that stores it in another.
        {L"", {L"reg write --no-verify 0x40 0x1234 2", L"reg write --no-verify 0x42 0x1C"}, L"codec read 1C", "0x1234\n"},
        // Keys taken off the receiver stay taken.
        {L"--remote-code 1:0:0x15 --remote-code 0:0:0x16 --remote-code 1:0:0x17", {L"remote", L"remote"}, L"remote", "0x17\n"},
        // The codec's busy bit counts its polls across runs: busy for two.
        {L"--codec-busy 2", {L"reg read 0x43", L"reg read 0x43"}, L"reg read 0x43", "0x00\n"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.read)));
        AddWithTool(row.device);
        RunEach(row.runs);
        EXPECT_EQ(Read(row.read), row.output);
    }
}

// Unplugged and plugged in again, the chip is at power-on: registers zero,
// the GPIO pins released, the remote-control frames as added; also for a
// program still bound to it while the device is added again.
TEST_F(PoweredChipTest, AddingAgainOrRemovingPowersTheChipOnAfresh) {
    const struct {
        const wchar_t* how;
        std::vector<const wchar_t*> simdevctl;
        bool otherProgramBound;
    } rows[] = {
        {L"added again", {L"add"}, false},
        {L"removed and added", {L"remove cam", L"add"}, false},
        {L"removed with every device and added", {L"remove --all", L"add"}, false},
        {L"added again while another program is bound", {L"add"}, true},
    };
    const std::wstring device = L"--remote-code 1:0:0x15 --remote-code 0:0:0x16";
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.how)));
        AddWithTool(device);
        RunEach(
            {L"reg write --no-verify 0x0300 0x5A", L"reg write --no-verify 0x08 0x00", L"remote"});
        ASSERT_EQ(Read(L"reg read 0x0300"), "0x5A\n");
        std::unique_ptr<testsupport::RunningProcess> bound;  // ended with its row
        if (row.otherProgramBound) {
            bound = std::make_unique<testsupport::RunningProcess>(
                simtool::Beside(L"device_holder.exe"), L"bind \"USB 7450 Device\"");
            ASSERT_TRUE(bound->WaitForOutput("bound")) << bound->Wait().output;
        }
        for (const wchar_t* command : row.simdevctl) {
            if (std::wstring(command) == L"add") {
                AddWithTool(device);
            } else {
                const Outcome run = Simdevctl(command);
                ASSERT_EQ(run.exitCode, 0) << run.output;
                EXPECT_EQ(GetFileAttributesW(StateFile().c_str()), INVALID_FILE_ATTRIBUTES)
                    << "removed, the device keeps no state file";
            }
        }
        EXPECT_EQ(Read(L"reg read 0x0300"), "0x00\n");
        EXPECT_EQ(Read(L"reg read 0x09"), "0xFF\n");
        EXPECT_EQ(Read(L"remote"), "0x15\n");
    }
}

// A state file that holds no whole state (cut short, emptied, overwritten,
// grown, its slots garbage under a header as add wrote it) is a chip powered
// on afresh: the register written before reads zero, and the chip works,
// its file again as long as add makes it.
TEST_F(PoweredChipTest, AStateFileThatHoldsNoWholeStateIsAChipPoweredOnAfresh) {
    // clang-format off
    const struct {
        const char* what;
        void (*damage)(std::string& bytes);  // the whole state file as read
    } rows[] = {
        {"cut in half", [](std::string& b) { b.resize(b.size() / 2); }},
        {"emptied", [](std::string& b) { b.clear(); }},
        {"overwritten with 0x77 bytes", [](std::string& b) { b.assign(b.size(), '\x77'); }},
        {"grown to 4 MB of 0x77 bytes", [](std::string& b) { b.assign(4 << 20, '\x77'); }},
        {"all but its first 64 bytes overwritten", [](std::string& b) { b.replace(64, b.size() - 64, b.size() - 64, '\x77'); }},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        AddWithTool();
        RunEach({L"reg write --no-verify 0x0300 0x5A"});
        ASSERT_EQ(Read(L"reg read 0x0300"), "0x5A\n");
        std::string bytes = simtool::FileText(StateFile());
        const size_t size = bytes.size();
        ASSERT_GT(size, 64u);
        row.damage(bytes);
        simtool::WriteFile(StateFile(), bytes.data(), bytes.size());

        EXPECT_EQ(Read(L"reg read 0x0300"), "0x00\n");
        EXPECT_EQ(Read(L"reg read 0x09"), "0xFF\n");
        RunEach({L"reg write --no-verify 0x0300 0x33"});
        EXPECT_EQ(Read(L"reg read 0x0300"), "0x33\n");
        EXPECT_EQ(simtool::FileText(StateFile()).size(), size);
    }
}

}  // namespace
