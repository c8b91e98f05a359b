// The EEPROM update as the user and the device see it, and dialog 102's
// resource template.
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <tuple>

#include "appcore/app_device.h"
#include "appcore/platform.h"
#include "appcore/update_procedure.h"
#include "app/update_dialog.h"
#include "app/resource.h"
#include "simdevice/chip/gpio.h"
#include "tests/common/driver_log.h"
#include "tests/common/resource_reader.h"
#include "tests/common/test_support.h"
#include "tests/common/updater_texts.h"

namespace {

using namespace std::string_literals;
using namespace updater_texts;
using sim::CallOf;
using sim::DriverSlot;

const HWND kDialog = reinterpret_cast<HWND>(INT_PTR{0x1020});

// A bound simulated device that AppDevice points at, and a recorder in place
// of the platform calls. Events() tells what happened, in order: the driver's
// calls in the transfers form of DescribeDriverLog ("R08=4A" reads register
// 0x08, "WA0:08=05" writes the I2C device 0xA0 at sub-address 8), "|500" a
// pause of 500 ms, "box" a message box (its text kept in texts), "end 1" the
// dialog's end.
struct UpdateBench : SimBound, Platform {
    explicit UpdateBench(std::optional<sim::EepromImage> eeprom = sim::FreshProductEeprom(),
                         DWORD chipId = 0x24)
        : SimBound(sim::ChipIdentity{chipId}, eeprom) {
        AppDevice = &dc;
        SetAppPlatform(this);
    }
    ~UpdateBench() override {
        SetAppPlatform(nullptr);
        AppDevice = nullptr;
    }
    // Takes the driver's calls since the last look, then the token.
    std::string Events(const std::string& token = "") {
        const auto& calls = driver->Calls();
        const std::string driverCalls =
            DescribeDriverLog(std::vector<sim::DriverCall>(calls.begin() + seen, calls.end()));
        seen = calls.size();
        for (const std::string& next : {driverCalls, token}) {
            events += events.empty() || next.empty() ? next : " " + next;
        }
        return events;
    }

    int ShowMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT flags) override {
        Events("box");
        texts.push_back(text);
        EXPECT_EQ(owner, kDialog);
        EXPECT_STREQ(caption, kTitle);
        EXPECT_EQ(flags, UINT{MB_OK | MB_ICONWARNING});
        return IDOK;
    }
    // An 8-bit message box shows among the events.
    int ShowMessageBoxA(HWND, LPCSTR, LPCSTR, UINT) override { return Events("8-bit box").empty(); }
    BOOL EndDialog(HWND dialog, INT_PTR result) override {
        Events((dialog == kDialog ? "end " : "end of another window ") + std::to_string(result));
        return TRUE;
    }
    void Sleep(DWORD milliseconds) override { Events("|" + std::to_string(milliseconds)); }

    std::string events;
    std::vector<std::wstring> texts;
    size_t seen = 0;
};

// Hands back a byte too many when the marker is read, as a faulty driver may:
// the byte at 0x7A is right, the word's upper part is not 0.
struct Overreading : sim::SimEeprom {
    Overreading() : SimEeprom(sim::FreshProductEeprom()) {}
    HRESULT Read(std::optional<WORD> subAddress, BYTE* data, size_t count) override {
        const HRESULT status = SimEeprom::Read(subAddress, data, count);
        data[1] = subAddress == WORD{sim::kMarkerOffset} && count == 1 ? 0x01 : data[1];
        return status;
    }
};

// What a run shows up to a step: the GPIO register rewritten unchanged (latch
// 0x4A: no input bit set), the EEPROM selected and the identifiers read from
// it (vendor 0x6C3D, product 0x7450), then per step a pause and the EEPROM
// transfer, with what the driver delivered or was given.
std::string ToMarker(const std::string& marker) {
    return "R08=4A W08=4A Set:I2C_DEVICE=A0 RA0:04=74506C3D |500 RA0:7A=" + marker;
}
std::string ToOption(const std::string& option) {
    return ToMarker("31") + " |500 RA0:08=" + option;
}
std::string FullRun(const std::string& option, const std::string& written,
                    const std::string& readBack) {
    return ToOption(option) + " |500 WA0:08=" + written + " |500 RA0:08=" + readBack;
}

// The driver calls of a run, by what they are (counted from binding).
const CallOf kGpioRead = {DriverSlot::Get, CPROP_REG_DATA, 1};
const CallOf kMarkerRead = {DriverSlot::Get, CPROP_I2C_DATA, 2};  // after the identifiers
const CallOf kOptionRead = {DriverSlot::Get, CPROP_I2C_DATA, 3};
const CallOf kOptionWrite = {DriverSlot::Set, CPROP_I2C_DATA, 1};
const CallOf kReadBack = {DriverSlot::Get, CPROP_I2C_DATA, 4};
using Faults = std::map<CallOf, HRESULT>;

TEST(Update, EachOutcomeShowsOneMessageAfterItsStepsAndEndsTheDialogWithOne) {
    struct Row {
        BYTE marker, option;  // EEPROM bytes 0x7A and 8 before
        Faults faults;        // status 0 here: the driver answers success and does nothing
        void (*arrange)(UpdateBench&);
        std::string events;  // before the message box
        const wchar_t* text;
        BYTE after;  // EEPROM byte 8 after
    };
    // A fault the sweep below already covers (same message, EEPROM intact) has
    // no row here; these rows add the order of steps and pauses.
    // clang-format off
    const Row rows[] = {
        {0x31, 0x85, {}, [](UpdateBench&) { AppDevice = nullptr; }, "", kW001, 0x85},
        {0x31, 0x85, {}, [](UpdateBench& b) { b.dc.Close(); }, "|500", kE001, 0x85},  // unbound: every transfer returns 6
        {0x30, 0x85, {}, nullptr, ToMarker("30"), kW002, 0x85},
        {0xB1, 0x85, {}, nullptr, ToMarker("B1"), kW002, 0x85},
        {0x31, 0x85, {}, [](UpdateBench& b) { b.chip->AttachI2cDevice(0xA0, std::make_unique<Overreading>()); }, ToMarker("31"), kW002, 0x85},
        {0x31, 0x7F, {}, nullptr, ToOption("7F"), kAlreadyUpdated, 0x7F},
        {0x31, 0xC5, {}, nullptr, FullRun("C5", "45", "45"), kCompleted, 0x45},  // bit 7 alone cleared
        // A failed GPIO read writes nothing to the GPIO register (the select is reset); the update goes on.
        {0x31, 0x85, {{kGpioRead, E_FAIL}}, nullptr, "R08=00!E_FAIL Set:REG_SELECT=0 Set:I2C_DEVICE=A0 RA0:04=74506C3D |500 RA0:7A=31 |500 RA0:08=85 |500 WA0:08=05 |500 RA0:08=05", kCompleted, 0x05},
        // A write that never reaches the EEPROM and a read-back that delivers nothing, both answering 0:
        // the read-back, read once more, finds bit 7 set.
        {0x31, 0x85, {{kOptionWrite, S_OK}, {kReadBack, S_OK}}, nullptr, FullRun("85", "05", "00") + " Get:I2C_DATA=85", kE005, 0x85},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &row - rows << ": " << row.events);
        UpdateBench b(sim::EepromWith({{sim::kMarkerOffset, row.marker}, {8, row.option}}));
        b.chip->Gpio().SetLatch(0x4A);
        b.driver->Faults().onCall = row.faults;
        if (row.arrange) {
            row.arrange(b);
        }
        EXPECT_EQ(UpdateDialogProc(kDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0), TRUE);
        EXPECT_EQ(b.Events(), row.events + (row.events.empty() ? "" : " ") + "box end 1");
        EXPECT_EQ(b.texts, std::vector<std::wstring>{row.text});
        EXPECT_EQ(b.chip->Eeprom()->Bytes(),
                  sim::EepromWith({{sim::kMarkerOffset, row.marker}, {8, row.after}}));
        EXPECT_EQ(b.chip->Eeprom()->WriteCount(), row.after != row.option ? 1u : 0u);
        EXPECT_EQ(b.chip->Gpio().Latch(), 0x4A) << "the GPIO outputs stay as they were";
    }
}

// A device another program holds past the wait: the dialog's E001, and not
// one call reached the driver.
TEST(Update, ADeviceHeldTooLongElsewhereShowsE001AndSendsNothing) {
    UpdateBench b;
    b.dc.SetDeviceWaitTime(100);
    const LockHeldElsewhere other;
    EXPECT_EQ(UpdateDialogProc(kDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0), TRUE);
    EXPECT_EQ(b.Events(), "box end 1");
    EXPECT_EQ(b.texts, std::vector<std::wstring>{kE001});
    EXPECT_EQ(RunUpdateProcedure(&b.dc, UpdateMode::CheckOnly).outcome, UpdateOutcome::DeviceBusy);
    EXPECT_EQ(b.dc.GetLastResult(), DEVCTL_E_DEVICE_BUSY);
}

// Cancel, with or without a notification code, ends the dialog with 2; other
// command ids (a notification code is none) return 0; neither touches the device.
TEST(Update, CancelEndsTheDialogWithTwoAndOtherCommandsReturnZero) {
    UpdateBench b;
    EXPECT_EQ(UpdateDialogProc(kDialog, WM_COMMAND, IDCANCEL, 0), TRUE);
    EXPECT_EQ(UpdateDialogProc(kDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0), TRUE);
    EXPECT_EQ(UpdateDialogProc(kDialog, WM_COMMAND, IDABORT, 0), FALSE);
    EXPECT_EQ(UpdateDialogProc(kDialog, WM_COMMAND, MAKEWPARAM(3, IDOK), 0), FALSE);
    EXPECT_EQ(b.Events(), "end 2 end 2");
    EXPECT_TRUE(b.driver->Calls().empty()) << "no select either";
}

// One fault at a driver call of a run, of each kind: its status at that call
// alone, or from it on (unplugged, then answering the status). A descriptor's
// positive status, or a lying 0, leaves the one before armed: the data call
// then brings the bytes of the transfer before, which the library takes for
// that selection still in force and selects again. A data call that delivers
// nothing is read once more; delivering nothing from there on, the step fails.
const struct FaultKind {
    const char* what;
    HRESULT status;
    bool onward;
} kFaultKinds[] = {
    {"failure", E_FAIL, false},
    {"positive status", S_FALSE, false},
    {"unplugged", DEVCTL_E_UNPLUGGED, true},
    {"0 and nothing done", S_OK, false},
    {"0 and nothing done from here on", S_OK, true},
};
void Arm(UpdateBench& b, const FaultKind& kind, unsigned call) {  // call: from 1
    if (kind.onward) {
        b.UnplugFromCall(call);
        b.driver->Faults().unpluggedStatus = kind.status;
    } else {
        b.driver->Faults().atCall[b.base + call] = kind.status;
    }
}

// A failure at each driver call of a run in turn, of each kind (75 runs): one
// message, telling the step that failed, and an EEPROM with at most bit 7 of
// the option byte changed by at most one write; never the completion text
// unless the EEPROM's bit 7 really is clear.
TEST(Update, AFailureAtAnyDriverCallLeavesTheEepromIntact) {
    struct Step {
        const char* what;
        CallOf call;
        const wchar_t* told[std::size(kFaultKinds)];  // what the user is told, by kind
    };
    const auto set = DriverSlot::Set, get = DriverSlot::Get;
    const wchar_t* const done = kCompleted;
    // Every call of a run, in order. The GPIO bits and the identifiers go
    // unchecked; then descriptor and data of the four EEPROM steps.
    // clang-format off
    const Step steps[] = {
        {"GPIO read select", {set, CPROP_REG_SELECT, 1}, {done, done, kE001, done, kE001}},
        {"GPIO read", kGpioRead, {done, done, kE001, done, kE001}},
        {"GPIO write select", {set, CPROP_REG_SELECT, 2}, {done, done, kE001, done, kE001}},
        {"GPIO write", {set, CPROP_REG_DATA, 1}, {done, done, kE001, done, kE001}},
        {"EEPROM select", {set, CPROP_I2C_DEVICE, 1}, {done, done, kE001, done, kE001}},
        {"identifiers descriptor", {set, CPROP_I2C_TRANSFER, 1}, {done, done, kE001, done, kE001}},
        {"identifiers read", {get, CPROP_I2C_DATA, 1}, {done, done, kE001, done, kE001}},
        {"marker descriptor", {set, CPROP_I2C_TRANSFER, 2}, {kE001, done, kE001, done, kE001}},
        {"marker read", kMarkerRead, {kE001, kE001, kE001, done, kE001}},
        {"option descriptor", {set, CPROP_I2C_TRANSFER, 3}, {kE002, done, kE002, done, kE002}},
        {"option read", kOptionRead, {kE002, kE002, kE002, done, kE002}},
        {"write descriptor", {set, CPROP_I2C_TRANSFER, 4}, {kE003, done, kE003, done, kE004}},
        {"option write", kOptionWrite, {kE003, kE003, kE003, kE005, kE004}},
        {"read-back descriptor", {set, CPROP_I2C_TRANSFER, 5}, {kE004, done, kE004, done, kE004}},
        {"read-back", kReadBack, {kE004, kE004, kE004, done, kE004}},
    };
    // clang-format on
    // The steps are the calls of a clean run, in order: a call added to the
    // run fails here rather than shifting the rows.
    UpdateBench clean;
    UpdateDialogProc(kDialog, WM_COMMAND, IDOK, 0);
    std::map<std::pair<DriverSlot, DWORD>, unsigned> counts;
    ASSERT_EQ(clean.driver->Calls().size(), std::size(steps)) << clean.Events();
    for (const Step& step : steps) {
        const sim::DriverCall& made = clean.driver->Calls()[&step - steps];
        EXPECT_EQ(std::tie(made.slot, made.id, ++counts[{made.slot, made.id}]),
                  std::tie(step.call.slot, step.call.id, step.call.nth))
            << step.what;
    }
    for (const FaultKind& kind : kFaultKinds) {
        for (const Step& step : steps) {
            SCOPED_TRACE(::testing::Message() << kind.what << " at the " << step.what);
            UpdateBench b;  // option byte 0x85
            Arm(b, kind, static_cast<unsigned>(&step - steps) + 1);
            UpdateDialogProc(kDialog, WM_COMMAND, IDOK, 0);
            EXPECT_EQ(b.texts, std::vector<std::wstring>{step.told[&kind - kFaultKinds]});
            const sim::EepromImage& eeprom = b.chip->Eeprom()->Bytes();
            if (b.texts == std::vector<std::wstring>{kCompleted}) {
                EXPECT_EQ(eeprom[8] & 0x80, 0) << "completion told, bit 7 still set";
            }
            sim::EepromImage after = eeprom;
            after[8] |= 0x80;
            EXPECT_EQ(after, sim::FreshProductEeprom());
            EXPECT_LE(b.chip->Eeprom()->WriteCount(), 1u);
        }
    }
}

// Whatever one fault at any call of an update or a check does, or every data
// Get a byte short, no verdict comes from bytes the driver did not deliver:
// success only with 0x05 in the EEPROM and the one write, never W002 for the
// supported marker, never "already updated" for a device that is not, and no
// GPIO write of a value other than the one the register held.
TEST(Update, NoFaultAtAnyCallGivesAVerdictTheDeviceDoesNotBear) {
    for (const UpdateMode mode : {UpdateMode::Apply, UpdateMode::CheckOnly}) {
        const auto expectNoFalseVerdict = [mode](const std::string& fault,
                                                 const std::function<void(UpdateBench&)>& arm) {
            SCOPED_TRACE((mode == UpdateMode::Apply ? "update, " : "check, ") + fault);
            UpdateBench b;  // marker 0x31, option byte 0x85
            b.chip->Gpio().SetLatch(0x4A);
            arm(b);
            const UpdateResult result = RunUpdateProcedure(&b.dc, mode);
            const BYTE option = b.chip->Eeprom()->Bytes()[8];
            const unsigned writes = b.chip->Eeprom()->WriteCount();
            EXPECT_NE(result.outcome, UpdateOutcome::NotSupportedProduct);
            if (result.outcome == UpdateOutcome::Completed) {
                EXPECT_EQ(option, 0x05);
                EXPECT_EQ(writes, 1u);
            }
            EXPECT_NE(result.outcome, UpdateOutcome::AlreadyUpdated) << "the device holds 0x85";
            EXPECT_TRUE(option == 0x85 || option == 0x05) << int{option};
            EXPECT_LE(writes, mode == UpdateMode::Apply ? 1u : 0u);
            for (const sim::DriverCall& made : b.driver->Calls()) {
                if (made.slot == DriverSlot::Set && made.id == CPROP_REG_DATA) {
                    EXPECT_EQ(made.word, 0x4Au) << "a GPIO write of a value not read";
                }
            }
            EXPECT_EQ(b.chip->Gpio().Latch(), 0x4A);
        };
        UpdateBench clean;
        RunUpdateProcedure(&clean.dc, mode);
        for (const FaultKind& kind : kFaultKinds) {
            for (unsigned call = 1; call <= clean.driver->Calls().size(); ++call) {
                expectNoFalseVerdict(kind.what + " at call "s + std::to_string(call),
                                     [&](UpdateBench& b) { Arm(b, kind, call); });
            }
        }
        expectNoFalseVerdict("every data Get a byte short",
                             [](UpdateBench& b) { b.driver->Faults().shortReadBy = 1; });
    }
}

// Dialog 102 as the program carries it, in Japanese: the extended template
// read field by field, its texts compared unit for unit.
TEST(UpdateDialogResource, HoldsEveryFieldAsDesigned) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found =
        FindResourceExW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */, MAKEINTRESOURCEW(IDD_UPDATE),
                        MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    TemplateReader in(static_cast<const BYTE*>(LockResource(LoadResource(module, found))),
                      SizeofResource(module, found));
    const auto word = [&in] { return DWORD{in.Read<WORD>()}; };  // coordinates too: all positive
    const auto dword = [&in] { return in.Read<DWORD>(); };

    // Version 1, extended; help id; WS_EX_APPWINDOW; popup, visible, caption,
    // modal frame, font, centred; six controls at 0,0 of 216 by 93; no menu,
    // the standard class; the title; 8 point, weight 0, not italic, character
    // set 1, the face.
    EXPECT_EQ(std::vector<DWORD>({word(), word(), dword(), dword(), dword(), word(), word(), word(),
                                  word(), word()}),
              std::vector<DWORD>({1, 0xFFFF, 0, 0x00040000, 0x90C008C0, 6, 0, 0, 216, 93}));
    EXPECT_EQ(std::vector<std::wstring>({in.NameOrOrdinal(), in.NameOrOrdinal(), in.String()}),
              std::vector<std::wstring>({L"", L"", kTitle}));
    EXPECT_EQ(std::vector<DWORD>({word(), word(), in.Read<BYTE>(), in.Read<BYTE>()}),
              std::vector<DWORD>({8, 0, 0, 1}));
    EXPECT_EQ(in.String(), L"MS Sans Serif");

    // Help id, extended style, style, x, y, cx, cy, id; the text. In template
    // order: on screen the two model lines appear the other way round.
    struct Control {
        std::vector<DWORD> fields;
        const wchar_t* text;
    };
    const Control controls[] = {
        {{0, 0, 0x50010001, 96, 72, 48, 16, IDOK}, L"OK"},
        {{0, 0, 0x50010000, 152, 72, 48, 16, IDCANCEL}, L"Cancel"},
        {{0, 0, 0x50020000, 8, 8, 200, 8, 0xFFFFFFFF}, kIntroLine},
        {{0, 0, 0x50020000, 8, 40, 200, 8, 0xFFFFFFFF}, L"KLS-R30H"},
        {{0, 0, 0x50020000, 8, 24, 200, 8, 0xFFFFFFFF}, L"KLS-R30W"},
        {{0, 0, 0x50020000, 8, 56, 200, 8, 0xFFFFFFFF}, kQuestionLine},
    };
    for (const auto& [fields, text] : controls) {
        in.AlignToDword();
        EXPECT_EQ(std::vector<DWORD>(
                      {dword(), dword(), dword(), word(), word(), word(), word(), dword()}),
                  fields);
        // A button (0x80) for the two ids, a static text (0x82) for the rest.
        EXPECT_EQ(in.NameOrOrdinal(), fields[7] == 0xFFFFFFFF ? L"#130" : L"#128");
        EXPECT_EQ(in.String(), text);
        EXPECT_EQ(word(), 0u) << "creation data";
    }
}

}  // namespace
