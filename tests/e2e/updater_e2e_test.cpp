// velto1.exe end to end: the real program under Wine, the real system device
// enumerator, a simulated device registered in the test prefix with its
// EEPROM in a file, and the program's windows driven through the Win32 API.
#include <gtest/gtest.h>

#include "common/module_folder.h"
#include "simdevice/chip/chip.h"
#include "tests/bench/sim_bench.h"
#include "tests/common/run_process.h"
#include "tests/common/updater_texts.h"
#include "tests/common/simtool_fixture.h"
#include "tools/autopilot/updater_session.h"

namespace {

using automation::Answer;
using automation::SessionResult;

using namespace updater_texts;

class UpdaterEndToEnd : public simtool::WindowedDeviceTest {
  protected:
    UpdaterEndToEnd() : WindowedDeviceTest(L"velto1-e2e-eeprom.bin") {}

    // The updater's model with its EEPROM in the test's file, starting as image.
    sim::EepromImage AddDevice(const sim::EepromImage& image = sim::FreshProductEeprom()) {
        simtool::WriteFile(eeprom, image.data(), image.size());
        Add(FileDevice(L"e2e"));
        return image;
    }

    SessionResult Run(Answer answer) {
        automation::SessionOptions options;
        options.program = velto1::ModuleFolder() + L"velto1.exe";
        options.answer = answer;
        SessionResult result = automation::RunUpdaterSession(options);
        EXPECT_EQ(result.failure, "");
        EXPECT_TRUE(result.ended);
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_TRUE(result.mainWindowFound) << "the hidden main window should exist";
        EXPECT_FALSE(result.mainWindowEverVisible);
        return result;
    }

    void ExpectOneMessage(const SessionResult& result, const std::wstring& text) {
        EXPECT_EQ(result.messageCount, 1);
        EXPECT_EQ(result.messageText, text) << automation::Utf8(result.messageText);
        EXPECT_EQ(result.messageCaption, kTitle);
    }
};

TEST_F(UpdaterEndToEnd, WithoutADeviceTellsW001) {
    ExpectOneMessage(Run(Answer::Ok), kW001);
}

TEST_F(UpdaterEndToEnd, WrongMarkerTellsW002AndWritesNothing) {
    const sim::EepromImage image = AddDevice(sim::EepromWith({{sim::kMarkerOffset, 0x30}}));
    ExpectOneMessage(Run(Answer::Ok), kW002);
    EXPECT_EQ(Bytes(), image);
}

TEST_F(UpdaterEndToEnd, FreshDeviceIsUpdatedOnceThenReportedAsUpdated) {
    AddDevice();
    const SessionResult first = Run(Answer::Ok);
    ExpectOneMessage(first, kCompleted);
    // Four pauses of half a second stand between OK and the message.
    EXPECT_GE(first.secondsToMessage, 1.9);

    // Bit 7 of the option byte cleared, every other byte as it was.
    const sim::EepromImage expected = sim::EepromWith({{sim::kOptionByteOffset, 0x05}});
    EXPECT_EQ(Bytes(), expected);

    ExpectOneMessage(Run(Answer::Ok), kAlreadyUpdated);
    EXPECT_EQ(Bytes(), expected);
}

// An EEPROM whose file may not be written refuses the write, and only the
// write: the driver reports the failure of the option byte's write.
TEST_F(UpdaterEndToEnd, FailedWriteTellsE003Only) {
    const sim::EepromImage fresh = AddDevice();
    ASSERT_TRUE(SetFileAttributesW(eeprom.c_str(), FILE_ATTRIBUTE_READONLY));
    ExpectOneMessage(Run(Answer::Ok), kE003);
    EXPECT_EQ(Bytes(), fresh);
}

// Another program holds the device, stopped inside a driver call: the opening
// gives up after its wait, and OK tells the busy outcome's E001, not W001.
TEST_F(UpdaterEndToEnd, ADeviceHeldInsideADriverCallTellsE001AndWritesNothing) {
    const sim::EepromImage fresh = AddDevice();
    testsupport::RunningProcess holder(velto1::ModuleFolder() + L"device_holder.exe",
                                       L"stall \"USB 7450 Device\" e2e");
    ASSERT_TRUE(holder.WaitForOutput("stalled")) << holder.Wait().output;
    ExpectOneMessage(Run(Answer::Ok), kE001);
    EXPECT_EQ(Bytes(), fresh);
}

// Cancel and Escape leave the device alone. The dialog reads correctly on a
// system whose ANSI code page is not Japanese: every text arrives at the
// window unconverted.
TEST_F(UpdaterEndToEnd, CancelAndEscapeLeaveTheDeviceAloneAndTextsSurviveAWesternCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "the test prefix should run with the Western code page";
    const sim::EepromImage fresh = AddDevice();
    const SessionResult result = Run(Answer::Cancel);
    EXPECT_EQ(result.messageCount, 0);
    EXPECT_EQ(Run(Answer::Escape).messageCount, 0);
    EXPECT_EQ(Bytes(), fresh);

    EXPECT_EQ(result.dialogTitle, kTitle);
    const struct {
        int id;
        const wchar_t* className;
        const wchar_t* text;
    } expected[] = {
        {IDOK, L"Button", L"OK"},     {IDCANCEL, L"Button", L"Cancel"},
        {-1, L"Static", kIntroLine},  {-1, L"Static", L"KLS-R30H"},
        {-1, L"Static", L"KLS-R30W"}, {-1, L"Static", kQuestionLine},
    };
    ASSERT_EQ(result.dialogControls.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const automation::Control& control = result.dialogControls[i];
        EXPECT_EQ(control.id, expected[i].id) << i;
        EXPECT_EQ(_wcsicmp(control.className.c_str(), expected[i].className), 0) << i;
        EXPECT_EQ(control.text, expected[i].text) << i << ": " << automation::Utf8(control.text);
    }
    // On screen the W model sits above the H model.
    EXPECT_LT(result.dialogControls[4].rect.top, result.dialogControls[3].rect.top);
}

}  // namespace
