// The EEPROM update as the user and the device see it, GPIO and device
// identification beneath it, and dialog 102's resource template.
#include <cstdio>
#include <map>
#include <optional>

#include "app/app_device.h"
#include "app/platform.h"
#include "app/update_dialog.h"
#include "resources/resource.h"
#include "simdevice/chip/gpio.h"
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

// The driver calls of a run, by what they are (counted from binding).
using sim::CallOf;
using sim::DriverSlot;
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
    // clang-format off
    const Row rows[] = {
        {0x31, 0x85, {}, [](UpdateBench&) { AppDevice = nullptr; }, "", kW001, 0x85},
        // Unbound: every transfer returns 6, no success.
        {0x31, 0x85, {}, [](UpdateBench& b) { b.dc.Close(); }, "|500", kE001, 0x85},
        {0x30, 0x85, {}, nullptr, kToMarker, kW002, 0x85},
        {0xB1, 0x85, {}, nullptr, kToMarker, kW002, 0x85},
        {0x31, 0x85, {},
         [](UpdateBench& b) { b.chip->AttachI2cDevice(0xA0, std::make_unique<Overreading>()); },
         kToMarker, kW002, 0x85},
        {0x31, 0x85, {{kMarkerRead, S_FALSE}}, nullptr, kToMarker + "!", kE001, 0x85},
        {0x31, 0x85, {{kOptionRead, E_FAIL}}, nullptr, kToOption + "!", kE002, 0x85},
        {0x31, 0x7F, {}, nullptr, kToOption, kAlready, 0x7F},
        {0x31, 0x80, {}, nullptr, FullRun("00"), kCompleted, 0x00},
        {0x31, 0xFF, {}, nullptr, FullRun("7F"), kCompleted, 0x7F},
        {0x31, 0xC5, {}, nullptr, FullRun("45"), kCompleted, 0x45},
        {0x31, 0x85, {{kOptionWrite, S_FALSE}}, nullptr, kToOption + " |500 WA008=05!", kE003, 0x85},
        {0x31, 0x85, {{kReadBack, E_FAIL}}, nullptr, FullRun("05") + "!", kE004, 0x05},
        // A failed GPIO read writes nothing to the GPIO register; the update goes on.
        {0x31, 0x85, {{kGpioRead, E_FAIL}}, nullptr,
         "R08! RA004 |500 RA07A |500 RA008 |500 WA008=05 |500 RA008", kCompleted, 0x05},
        // Drivers that answer 0 and do nothing. A write that never reaches the EEPROM:
        {0x31, 0x85, {{kOptionWrite, S_OK}}, nullptr, FullRun("05"), kE005, 0x85},
        // ... a read-back that delivers nothing, after a write that did or didn't happen:
        {0x31, 0x85, {{kReadBack, S_OK}}, nullptr, FullRun("05"), kE005, 0x05},
        {0x31, 0x85, {{kOptionWrite, S_OK}, {kReadBack, S_OK}}, nullptr, FullRun("05"), kE005, 0x85},
        // ... an option-byte read that delivers nothing leaves the marker, bit 7 clear.
        {0x31, 0x85, {{kOptionRead, S_OK}}, nullptr, kToOption, kAlready, 0x85},
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

// A failure at each driver call of a run in turn, of each kind (75 runs): one
// message, telling the step that failed, and an EEPROM with at most bit 7 of
// the option byte changed by at most one write; never the completion text
// unless the EEPROM's bit 7 really is clear.
TEST(Update, AFailureAtAnyDriverCallLeavesTheEepromIntact) {
    const wchar_t* const messages[] = {kCompleted, kE001, kE002,    kE003,
                                       kE004,      kW002, kAlready, kE005};
    // The message (index above) when call 1, 2, ... 15 fails. Calls 1-7 set
    // the GPIO bits and read the identifiers, unchecked; 8-15 are descriptor
    // and data of the four EEPROM steps: marker read, option-byte read,
    // write, read-back. A descriptor's positive status, or a lying 0, leaves
    // the one before armed, so the data call goes by that one.
    const struct {
        const char* what;
        HRESULT status;
        bool fromThisCallOn;  // else at this call alone
        const char* expected;
    } faults[] = {
        {"failure", E_FAIL, false, "000000011223344"},
        {"positive status", S_FALSE, false, "000000051620304"},
        {"unplugged", DEVCTL_E_UNPLUGGED, true, "111111111223344"},
        // A lying option-byte read leaves the marker in the word: already updated.
        {"0 and nothing done", S_OK, false, "000000055660707"},
        {"0 and nothing done from here on", S_OK, true, "555555555667777"},
    };
    for (const auto& fault : faults) {
        for (unsigned call = 1; call <= 15; ++call) {
            SCOPED_TRACE(::testing::Message() << fault.what << " at call " << call);
            UpdateBench b;  // option byte 0x85
            if (fault.fromThisCallOn) {
                b.UnplugFromCall(call);
                b.driver->Faults().unpluggedStatus = fault.status;
            } else {
                b.FailCall(call, fault.status);
            }
            UpdateDialogProc(kDialog, WM_COMMAND, IDOK, 0);
            EXPECT_EQ(b.texts, std::vector<std::wstring>{messages[fault.expected[call - 1] - '0']});
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

TEST(Device, GpioInputMaskCasesAndProductIdentifiers) {
    struct Row {
        DWORD chipId;
        BYTE latch, levels;  // the GPIO register and what the board drives
        DWORD mask;          // SetBits: its argument; else the input mask held
        HRESULT (*op)(DeviceControl&, DWORD mask, BYTE* data);
        BYTE data;                      // the byte Write writes, Read's buffer before
        std::optional<CallOf> failing;  // with E_FAIL
        HRESULT result, last;           // last: the last result after (42 before)
        const char* events;
        BYTE dataAfter, latchAfter;
    };
    const CallOf inputRead = {DriverSlot::Get, CPROP_REG_DATA, 2};
    const CallOf gpioWrite = {DriverSlot::Set, CPROP_REG_DATA, 1};
    // clang-format off
    struct G {
        static HRESULT SetBits(DeviceControl& d, DWORD mask, BYTE*) { return d.SetGpioBits(mask); }
        static HRESULT Write(DeviceControl& d, DWORD, BYTE* data) { return d.WriteGpio(data); }
        static HRESULT Read(DeviceControl& d, DWORD, BYTE* data) { return d.ReadGpio(data); }
        static HRESULT TryWrite(DeviceControl& d, DWORD, BYTE* data) { return d.TryWriteGpio(data); }
        static HRESULT TryRead(DeviceControl& d, DWORD, BYTE* data) { return d.TryReadGpio(data); }
    };
    // clang-format on
    // clang-format off
    const Row rows[] = {
        {0x44, 0x21, 0xFF, 0x010, G::SetBits, 0, {}, S_OK, S_OK, "R80 W80=31", 0, 0x31},
        // A failed read writes nothing (a guessed byte would drive the outputs);
        // its status is returned and the whole mask is kept.
        {0x24, 0x5A, 0xFF, 0x1F3, G::SetBits, 0, kGpioRead, E_FAIL, E_FAIL, "R08!", 0, 0x5A},
        {0x24, 0x10, 0xFF, 0x010, G::Write, 0x0F, {}, DEVCTL_S_BUSY, 42, "", 0x0F, 0x10},
        // The mask's low byte alone counts.
        {0x44, 0x10, 0xFF, 0x310, G::Write, 0x1F, {}, S_OK, S_OK, "W80=1F", 0x1F, 0x1F},
        {0x24, 0x00, 0xFF, 0x010, G::Read, 0xEE, {}, DEVCTL_S_BUSY, S_OK, "R08", 0xEE, 0x00},
        {0x44, 0x1C, 0x14, 0x004, G::Read, 0xEE, {}, S_OK, S_OK, "R80 R84", 0x14, 0x1C},
        {0x24, 0xFF, 0x35, 0x010, G::Read, 0xEE, kGpioRead, S_OK, S_OK, "R08! R09", 0x35, 0xFF},
        // The Try forms record the status and count the refusal 5 as success.
        {0x24, 0x10, 0xFF, 0x010, G::TryWrite, 0x0F, {}, TRUE, DEVCTL_S_BUSY, "", 0x0F, 0x10},
        {0x44, 0x10, 0xFF, 0x010, G::TryWrite, 0x1F, {}, TRUE, S_OK, "W80=1F", 0x1F, 0x1F},
        {0x24, 0x10, 0xFF, 0x010, G::TryWrite, 0x1F, gpioWrite, FALSE, E_FAIL, "W08=1F!", 0x1F, 0x10},
        {0x24, 0x00, 0xFF, 0x010, G::TryRead, 0xEE, {}, TRUE, DEVCTL_S_BUSY, "R08", 0xEE, 0x00},
        {0x44, 0x1C, 0x14, 0x004, G::TryRead, 0xEE, {}, TRUE, S_OK, "R80 R84", 0x14, 0x1C},
        {0x44, 0x1C, 0x14, 0x004, G::TryRead, 0xEE, inputRead, FALSE, E_FAIL, "R80 R84!", 0xEE, 0x1C},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &row - rows << ": " << row.events);
        UpdateBench b(sim::FreshProductEeprom(), row.chipId);
        b.chip->Gpio().SetLatch(row.latch);
        b.chip->Gpio().SetExternalLevels(row.levels);
        TA::GpioInputMask(b.dc) = row.op == G::SetBits ? 0x55 : row.mask;
        TA::LastResult(b.dc) = 42;
        if (row.failing) {
            b.driver->Faults().onCall[*row.failing] = E_FAIL;
        }
        BYTE byte = row.data;
        const HRESULT result = row.op(b.dc, row.mask, &byte);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(b.dc.GetLastResult(), row.last);
        EXPECT_EQ(b.Events(), row.events);
        EXPECT_EQ(TA::GpioInputMask(b.dc), row.mask);
        EXPECT_EQ(byte, row.dataAfter);
        EXPECT_EQ(b.chip->Gpio().Latch(), row.latchAfter);
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

// SetGpioBits stores the mask before it finds no driver: a WriteGpio that
// would clear an input bit is refused by it, unbound and after binding.
TEST(Device, SetGpioBitsUnboundStoresTheMaskForLaterWrites) {
    SimBound b;
    b.dc.Close();
    EXPECT_EQ(b.dc.SetGpioBits(0x10), DEVCTL_S_NOT_BOUND);
    const BYTE clearsTheInput = 0x0F, keepsIt = 0x1F;
    EXPECT_EQ(b.dc.WriteGpio(&clearsTheInput), DEVCTL_S_BUSY);
    EXPECT_EQ(b.dc.WriteGpio(&keepsIt), DEVCTL_S_NOT_BOUND);
    TA::Attach(b.dc, b.driver);
    EXPECT_EQ(b.dc.WriteGpio(&clearsTheInput), DEVCTL_S_BUSY);
    EXPECT_EQ(b.chip->Gpio().WriteCount(), 0u);
    EXPECT_EQ(b.dc.WriteGpio(&keepsIt), S_OK);
    EXPECT_EQ(b.chip->Gpio().Latch(), keepsIt);
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
