// The EEPROM update as the user and the device see it, GPIO and device
// identification beneath it, and dialog 102's resource template.
#include <cstdio>

#include "app/app_device.h"
#include "app/platform.h"
#include "app/update_dialog.h"
#include "resources/resource.h"
#include "simdevice/sim_gpio.h"
#include "tests/common/resource_reader.h"
#include "tests/common/test_support.h"

namespace {

using TA = DeviceControlTestAccess;

// The texts the user sees, as escapes so that they don't depend on how the
// compiler reads the source.
#define DEVICE L"\u30C7\u30D0\u30A4\u30B9"
#define UPDATE L"\u30A2\u30C3\u30D7\u30C7\u30FC\u30C8"
#define NOT_FOUND DEVICE L"\u304C\u898B\u3064\u304B\u308A\u307E\u305B\u3093\u3002"
#define WRITE_FAILED                                                                              \
    L"\u4E0D\u660E\u306A\u30A8\u30E9\u30FC\u306B\u3088\u308A\u66F8\u8FBC\u307F\u306B\u5931\u6557" \
    L"\u3057\u307E\u3057\u305F\u3002"
const wchar_t kTitle[] = L"\u30E9\u30D4\u30B3(\u6620\u50CF\u7248)" UPDATE;
const wchar_t kW001[] = L"W001:" NOT_FOUND, kW002[] = L"W002:" NOT_FOUND;
const wchar_t kE001[] = L"E001:" WRITE_FAILED, kE002[] = L"E002:" WRITE_FAILED,
              kE003[] = L"E003:" WRITE_FAILED, kE004[] = L"E004:" WRITE_FAILED,
              kE005[] = L"E005:" WRITE_FAILED;
const wchar_t kCompleted[] = UPDATE L"\u304C\u5B8C\u4E86\u3057\u307E\u3057\u305F\u3002";
const wchar_t kAlready[] = DEVICE L"\u306F\u65E2\u306B" UPDATE L"\u6E08\u307F\u3067\u3059\u3002";

const HWND kDialog = reinterpret_cast<HWND>(INT_PTR{0x1020});

// A bound simulated device that AppDevice points at, and a recorder in place
// of the platform calls. Events() tells what happened, in order: one token
// per data transfer of the driver ("R08" reads register 0x08, "W08=4A" writes
// 0x4A there, "RA07A" and "WA008=05" the same for the I2C device 0xA0 at a
// sub-address; "!" marks a status other than 0), "|500" a pause of 500 ms,
// "box" a message box (its text kept in texts), "end 1" the dialog's end.
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
    // Takes the driver's data transfers since the last look, then the token.
    std::string Events(const std::string& token = "") {
        for (const auto& calls = driver->Calls(); seen < calls.size(); ++seen) {
            const sim::DriverCall& c = calls[seen];
            if (c.id == CPROP_REG_DATA || c.id == CPROP_I2C_DATA) {
                const bool get = c.slot == sim::DriverSlot::Get;
                // The call before selects: the register index, or the I2C
                // device and sub-address.
                const unsigned select = calls[seen - 1].word >> 8 & 0xFFFF;
                char text[24];
                std::snprintf(text, sizeof text, "%c%0*X=%02X", get ? 'R' : 'W',
                              c.id == CPROP_REG_DATA ? 2 : 4, select, unsigned(c.word));
                const std::string transfer = text;
                events += " " + transfer.substr(0, get ? transfer.find('=') : transfer.size()) +
                          (c.status != S_OK ? "!" : "");
            }
        }
        events += token.empty() ? "" : " " + token;
        return events.substr(events.empty() ? 0 : 1);
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
// 0x4A: no input bit set), the identifiers read from the EEPROM, then per step
// a pause and the EEPROM transfer.
const std::string kToMarker = "R08 W08=4A RA004 |500 RA07A", kToOption = kToMarker + " |500 RA008";
std::string FullRun(const char* written) {
    return kToOption + " |500 WA008=" + written + " |500 RA008";
}

TEST(Update, EachOutcomeShowsOneMessageAfterItsStepsAndEndsTheDialogWithOne) {
    // EEPROM bytes 0x7A and 8 before; the driver call (from 1 after binding)
    // that fails, its status; events before the message box, its text; byte 8
    // after.
    // clang-format off
    const std::tuple<BYTE, BYTE, unsigned, HRESULT, void (*)(UpdateBench&), std::string,
                     const wchar_t*, BYTE> cases[] = {
        {0x31, 0x85, 0, S_OK, [](UpdateBench&) { AppDevice = nullptr; }, "", kW001, 0x85},
        // Unbound: every transfer returns 6, no success.
        {0x31, 0x85, 0, S_OK, [](UpdateBench& b) { b.dc.Close(); }, "|500", kE001, 0x85},
        {0x30, 0x85, 0, S_OK, nullptr, kToMarker, kW002, 0x85},
        {0xB1, 0x85, 0, S_OK, nullptr, kToMarker, kW002, 0x85},
        {0x31, 0x85, 0, S_OK,
         [](UpdateBench& b) { b.chip->AttachI2cDevice(0xA0, std::make_unique<Overreading>()); },
         kToMarker, kW002, 0x85},
        {0x31, 0x85, 9, S_FALSE, nullptr, kToMarker + "!", kE001, 0x85},
        {0x31, 0x85, 11, E_FAIL, nullptr, kToOption + "!", kE002, 0x85},
        {0x31, 0x7F, 0, S_OK, nullptr, kToOption, kAlready, 0x7F},
        {0x31, 0x80, 0, S_OK, nullptr, FullRun("00"), kCompleted, 0x00},
        {0x31, 0xFF, 0, S_OK, nullptr, FullRun("7F"), kCompleted, 0x7F},
        {0x31, 0xC5, 0, S_OK, nullptr, FullRun("45"), kCompleted, 0x45},
        {0x31, 0x85, 13, S_FALSE, nullptr, kToOption + " |500 WA008=05!", kE003, 0x85},
        {0x31, 0x85, 15, E_FAIL, nullptr, FullRun("05") + "!", kE004, 0x05},
        // The driver reports success but the byte never reaches the EEPROM.
        {0x31, 0x85, 13, S_OK, nullptr, FullRun("05"), kE005, 0x85},
    };
    // clang-format on
    for (const auto& [marker, option, call, status, arrange, events, text, after] : cases) {
        SCOPED_TRACE(events);
        UpdateBench b(sim::EepromWith({{sim::kMarkerOffset, marker}, {8, option}}));
        b.chip->Gpio().SetLatch(0x4A);
        b.FailCall(call, status);
        if (arrange) {
            arrange(b);
        }
        EXPECT_EQ(UpdateDialogProc(kDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0), TRUE);
        EXPECT_EQ(b.Events(), events + (events.empty() ? "" : " ") + "box end 1");
        EXPECT_EQ(b.texts, std::vector<std::wstring>{text});
        EXPECT_EQ(b.chip->Eeprom()->Bytes(),
                  sim::EepromWith({{sim::kMarkerOffset, marker}, {8, after}}));
        EXPECT_EQ(b.chip->Eeprom()->WriteCount(), after != option ? 1u : 0u);
    }
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

// A failure at each driver call of a run in turn, of each kind (45 runs): one
// message, telling the step that failed, and an EEPROM with at most bit 7 of
// the option byte changed by at most one write.
TEST(Update, AFailureAtAnyDriverCallLeavesTheEepromIntact) {
    const wchar_t* const messages[] = {kCompleted, kE001, kE002, kE003, kE004, kW002, kAlready};
    // The message (index above) when call 1, 2, ... 15 fails. Calls 1-7 set
    // the GPIO bits and read the identifiers, unchecked; 8-15 are descriptor
    // and data of the four EEPROM steps. A descriptor's positive status leaves
    // the one before armed. Unplugged: this call and all after fail.
    const std::tuple<HRESULT, const char*> faults[] = {{E_FAIL, "000000011223344"},
                                                       {S_FALSE, "000000051620304"},
                                                       {DEVCTL_E_UNPLUGGED, "111111111223344"}};
    for (const auto& [status, expected] : faults) {
        for (unsigned call = 1; call <= 15; ++call) {
            SCOPED_TRACE(::testing::Message() << "status " << status << " at call " << call);
            UpdateBench b;  // option byte 0x85
            status == DEVCTL_E_UNPLUGGED ? b.UnplugFromCall(call) : b.FailCall(call, status);
            UpdateDialogProc(kDialog, WM_COMMAND, IDOK, 0);
            EXPECT_EQ(b.texts, std::vector<std::wstring>{messages[expected[call - 1] - '0']});
            sim::EepromImage after = b.chip->Eeprom()->Bytes();
            after[8] |= 0x80;
            EXPECT_EQ(after, sim::FreshProductEeprom());
            EXPECT_LE(b.chip->Eeprom()->WriteCount(), 1u);
        }
    }
}

TEST(Device, GpioInputMaskCasesAndProductIdentifiers) {
    // Chip id, latch, external levels, input mask; SetGpioBits(mask),
    // WriteGpio(data) or ReadGpio(data); the call that fails; result, events,
    // data after.
    // clang-format off
    const std::tuple<DWORD, BYTE, BYTE, DWORD, char, BYTE, unsigned, HRESULT, const char*, BYTE>
        gpio[] = {
        {0x44, 0x21, 0xFF, 0x010, 'S', 0, 0, S_OK, "R80 W80=31", 0},
        // After a failed read the mask's low byte is written; the whole mask is kept.
        {0x24, 0x5A, 0xFF, 0x1F3, 'S', 0, 2, S_OK, "R08! W08=F3", 0},
        {0x24, 0x10, 0xFF, 0x010, 'W', 0x0F, 0, DEVCTL_S_BUSY, "", 0x0F},
        {0x44, 0x10, 0xFF, 0x310, 'W', 0x1F, 0, S_OK, "W80=1F", 0x1F},  // the low byte counts
        {0x24, 0x00, 0xFF, 0x010, 'R', 0xEE, 0, DEVCTL_S_BUSY, "R08", 0xEE},
        {0x44, 0x1C, 0x14, 0x004, 'R', 0xEE, 0, S_OK, "R80 R84", 0x14},
        {0x24, 0xFF, 0x35, 0x010, 'R', 0xEE, 2, S_OK, "R08! R09", 0x35},
    };
    // clang-format on
    for (const auto& [chipId, latch, levels, mask, op, data, call, result, events, after] : gpio) {
        SCOPED_TRACE(events);
        UpdateBench b(sim::FreshProductEeprom(), chipId);
        b.chip->Gpio().SetLatch(latch);
        b.chip->Gpio().SetExternalLevels(levels);
        TA::GpioInputMask(b.dc) = op == 'S' ? 0x55 : mask;
        b.FailCall(call, E_FAIL);
        BYTE byte = data;
        EXPECT_EQ(op == 'S'   ? b.dc.SetGpioBits(mask)
                  : op == 'W' ? b.dc.WriteGpio(&byte)
                              : b.dc.ReadGpio(&byte),
                  result);
        EXPECT_EQ(b.Events(), events);
        EXPECT_EQ(TA::GpioInputMask(b.dc), mask);
        EXPECT_EQ(byte, after);
    }

    // Identifiers come from EEPROM bytes 4-7 when an EEPROM answers, else by
    // the chip code (read afresh) and its alternate bit; no output is written
    // after a failed read.
    // EEPROM present, chip id, chip configuration, failing property, vendor, product.
    // clang-format off
    const std::tuple<bool, DWORD, DWORD, DWORD, DWORD, DWORD> identifiers[] = {
        {true, 0x44, 0x40, 0, 0x6C3D, 0x7450}, {true, 0x44, 0x40, CPROP_I2C_DATA, 1, 2},
        {false, 0x44, 0x00, 0, 0x6C3D, 0x8027}, {false, 0x44, 0x40, 0, 0x6C3D, 0x7584},
        {false, 0x05, 0x40, 0, 0x6C3D, 0x5171},  // any other code
        {false, 0x7744, 0xFFFFFFBF, 0, 0x6C3D, 0x8027},  // the low byte; bit 6 alone counts
        {false, 0x44, 0x40, CPROP_CHIP_CONFIG, 1, 2}, {false, 0x44, 0x40, CPROP_CHIP_ID, 1, 2},
    };
    // clang-format on
    for (const auto& [eeprom, chipId, chipConfig, failingProperty, vendor, product] : identifiers) {
        SCOPED_TRACE(product);
        UpdateBench b(eeprom ? std::optional(sim::FreshProductEeprom()) : std::nullopt);
        b.chip->Identity() = sim::ChipIdentity{chipId, chipConfig};
        b.driver->Faults().onProperty[failingProperty] = E_FAIL;  // property 0: none
        DWORD ids[2] = {1, 2};
        EXPECT_EQ(b.dc.GetVendorProductIds(&ids[0], &ids[1]), failingProperty ? E_FAIL : S_OK);
        EXPECT_EQ(b.dc.GetLastResult(), failingProperty ? E_FAIL : S_OK);
        EXPECT_EQ(ids[0] << 16 | ids[1], vendor << 16 | product);
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
    const std::tuple<std::vector<DWORD>, const wchar_t*> controls[] = {
        {{0, 0, 0x50010001, 96, 72, 48, 16, IDOK}, L"OK"},
        {{0, 0, 0x50010000, 152, 72, 48, 16, IDCANCEL}, L"Cancel"},
        {{0, 0, 0x50020000, 8, 8, 200, 8, 0xFFFFFFFF},
         L"\u672C\u30D7\u30ED\u30B0\u30E9\u30E0\u306F\u3001\u4EE5\u4E0B\u306E\u88FD\u54C1"
         L"\u306E" UPDATE L"\u3092\u884C\u3044\u307E\u3059\u3002"},
        {{0, 0, 0x50020000, 8, 40, 200, 8, 0xFFFFFFFF}, L"KLS-R30H"},
        {{0, 0, 0x50020000, 8, 24, 200, 8, 0xFFFFFFFF}, L"KLS-R30W"},
        {{0, 0, 0x50020000, 8, 56, 200, 8, 0xFFFFFFFF},
         UPDATE L"\u3092\u5B9F\u884C\u3057\u307E\u3059\u304B\uFF1F"},
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
