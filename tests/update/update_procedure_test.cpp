// The update run as the user and the device see it: device operations in
// order, pauses, the one message, the dialog's result and the EEPROM after.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_device.h"
#include "simdevice/sim_chip.h"
#include "simdevice/sim_gpio.h"
#include "tests/common/test_support.h"
#include "tests/update/update_bench.h"
#include "tests/update/update_texts.h"

namespace {

using Events = std::vector<std::string>;

Events operator+(Events head, const Events& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// Driver calls of a clean run, numbered from 1 after binding: 1-4 SetGpioBits
// (select, read, select, write), 5-7 GetVendorProductIds (device select,
// descriptor, data), then descriptor and data of the marker read (8-9), the
// option-byte read (10-11), the write (12-13) and the read-back (14-15).
constexpr unsigned kMarkerDataCall = 9;
constexpr unsigned kOptionDataCall = 11;
constexpr unsigned kWriteDataCall = 13;
constexpr unsigned kReadBackDataCall = 15;

const Events kUpToMarker = {"SetGpioBits", "GetVendorProductIds", "pause 500", "ReadI2c A0:7A"};
const Events kUpToOption = kUpToMarker + Events{"pause 500", "ReadI2c A0:08"};
Events UpToWriteOf(const char* written) {
    return kUpToOption + Events{"pause 500", std::string("WriteI2c A0:08 <- ") + written};
}
Events WholeRunWriting(const char* written) {
    return UpToWriteOf(written) + Events{"pause 500", "ReadI2c A0:08"};
}

// An EEPROM behind a driver that hands back a byte too many when the marker
// is read: the byte at 0x7A is right, the word's upper part is not 0.
class OverreadingEeprom : public sim::SimEeprom {
  public:
    using SimEeprom::SimEeprom;
    HRESULT Read(std::optional<WORD> subAddress, BYTE* data, size_t count) override {
        const HRESULT status = SimEeprom::Read(subAddress, data, count);
        if (subAddress == WORD{sim::kMarkerOffset} && count == 1) {
            data[1] = 0x01;
        }
        return status;
    }
};

void NoDeviceOpened(UpdateBench&) {
    AppDevice = nullptr;
}
// The object holds no driver: every transfer returns 6, which is no success.
void DeviceNotBound(UpdateBench& b) {
    b.Device().Close();
}
template <unsigned call, HRESULT status>
void FailAt(UpdateBench& b) {
    b.FailCall(call, status);
}
void EepromNotReady(UpdateBench& b) {
    b.Eeprom().ready = false;
}
void MarkerReadLeavesUpperBits(UpdateBench& b) {
    b.Chip().AttachI2cDevice(sim::kEepromAddress,
                             std::make_unique<OverreadingEeprom>(b.Eeprom().Bytes()));
}
void GpioRegisterFails(UpdateBench& b) {
    b.Driver().Faults().onProperty[CPROP_REG_SELECT] = E_FAIL;
}
void IdentificationFails(UpdateBench& b) {
    b.Driver().Faults().onProperty[CPROP_I2C_DEVICE] = E_FAIL;
    b.Driver().Faults().onProperty[CPROP_CHIP_CONFIG] = E_FAIL;
}
// The driver reports success but the byte never reaches the EEPROM.
constexpr auto WriteLost = FailAt<kWriteDataCall, S_OK>;

struct OutcomeCase {
    const char* name;
    BYTE marker;  // EEPROM byte 0x7A before the run
    BYTE option;  // EEPROM byte 8 before the run
    void (*arrange)(UpdateBench&);
    Events operations;  // device operations and pauses before the message
    const wchar_t* message;
    BYTE optionAfter;
    unsigned eepromWrites;
};

void PrintTo(const OutcomeCase& c, std::ostream* out) {
    *out << c.name;
}

const OutcomeCase kOutcomes[] = {
    {"NoDeviceOpened", 0x31, 0x85, NoDeviceOpened, {}, kW001, 0x85, 0},
    {"DeviceNotBound", 0x31, 0x85, DeviceNotBound, {"pause 500"}, kE001, 0x85, 0},
    {"MarkerReadFails", 0x31, 0x85, FailAt<kMarkerDataCall, E_FAIL>, kUpToMarker, kE001, 0x85, 0},
    {"MarkerReadReturnsOne", 0x31, 0x85, FailAt<kMarkerDataCall, S_FALSE>, kUpToMarker, kE001, 0x85,
     0},
    {"EepromNotReady", 0x31, 0x85, EepromNotReady, kUpToMarker, kE001, 0x85, 0},
    {"Marker30", 0x30, 0x85, nullptr, kUpToMarker, kW002, 0x85, 0},
    {"MarkerB1", 0xB1, 0x85, nullptr, kUpToMarker, kW002, 0x85, 0},
    {"MarkerWordIs131", 0x31, 0x85, MarkerReadLeavesUpperBits, kUpToMarker, kW002, 0x85, 0},
    {"OptionReadFails", 0x31, 0x85, FailAt<kOptionDataCall, E_FAIL>, kUpToOption, kE002, 0x85, 0},
    {"OptionReadReturnsOne", 0x31, 0x85, FailAt<kOptionDataCall, S_FALSE>, kUpToOption, kE002, 0x85,
     0},
    {"Option7F", 0x31, 0x7F, nullptr, kUpToOption, kAlreadyUpdated, 0x7F, 0},
    {"Option80", 0x31, 0x80, nullptr, WholeRunWriting("00"), kCompleted, 0x00, 1},
    {"OptionFF", 0x31, 0xFF, nullptr, WholeRunWriting("7F"), kCompleted, 0x7F, 1},
    {"OptionC5", 0x31, 0xC5, nullptr, WholeRunWriting("45"), kCompleted, 0x45, 1},
    {"WriteFails", 0x31, 0x85, FailAt<kWriteDataCall, E_FAIL>, UpToWriteOf("05"), kE003, 0x85, 0},
    {"WriteReturnsOne", 0x31, 0x85, FailAt<kWriteDataCall, S_FALSE>, UpToWriteOf("05"), kE003, 0x85,
     0},
    {"ReadBackFails", 0x31, 0x85, FailAt<kReadBackDataCall, E_FAIL>, WholeRunWriting("05"), kE004,
     0x05, 1},
    {"ReadBackReturnsOne", 0x31, 0x85, FailAt<kReadBackDataCall, S_FALSE>, WholeRunWriting("05"),
     kE004, 0x05, 1},
    {"WriteLost", 0x31, 0x85, WriteLost, WholeRunWriting("05"), kE005, 0x85, 0},
    {"SetGpioBitsFails", 0x31, 0x85, GpioRegisterFails, WholeRunWriting("05"), kCompleted, 0x05, 1},
    {"GetVendorProductIdsFails", 0x31, 0x85, IdentificationFails, WholeRunWriting("05"), kCompleted,
     0x05, 1},
};

class UpdateOutcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(UpdateOutcome, OneMessageThenTheDialogEndsWithOne) {
    const OutcomeCase& c = GetParam();
    UpdateBench bench(
        sim::EepromWith({{sim::kMarkerOffset, c.marker}, {sim::kOptionByteOffset, c.option}}));
    if (c.arrange) {
        c.arrange(bench);
    }
    const sim::EepromImage before = bench.Eeprom().Bytes();

    EXPECT_EQ(bench.PressOk(), TRUE);

    EXPECT_EQ(bench.Events(), c.operations + Events({"MessageBoxW", "EndDialog 1"}));
    ASSERT_EQ(bench.Messages().size(), 1u);
    const ShownMessage& shown = bench.Messages()[0];
    EXPECT_EQ(shown.text, c.message);
    EXPECT_EQ(shown.caption, kUpdateTitle);
    EXPECT_EQ(shown.flags, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(shown.flags, 0x30u);
    EXPECT_EQ(shown.owner, UpdateBench::Dialog());
    EXPECT_EQ(bench.DialogResults(), std::vector<INT_PTR>{1});

    sim::EepromImage expected = before;
    expected[sim::kOptionByteOffset] = c.optionAfter;
    EXPECT_EQ(bench.Eeprom().Bytes(), expected);
    EXPECT_EQ(bench.Eeprom().WriteCount(), c.eepromWrites);
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateOutcome, ::testing::ValuesIn(kOutcomes),
                         [](const ::testing::TestParamInfo<OutcomeCase>& info) {
                             return std::string(info.param.name);
                         });

// The fault rows above aim at the data calls of the steps; this keeps their
// numbering honest.
TEST(UpdateRun, CleanRunMakesFifteenDriverCallsWithTheDataCallsWhereExpected) {
    UpdateBench bench;
    bench.PressOk();
    ASSERT_EQ(bench.CallsMade(), 15u);
    const auto& calls = bench.Driver().Calls();
    for (unsigned call : {kMarkerDataCall, kOptionDataCall, kReadBackDataCall}) {
        EXPECT_EQ(calls[call - 1].slot, sim::DriverSlot::Get) << "call " << call;
        EXPECT_EQ(calls[call - 1].id, DWORD{CPROP_I2C_DATA}) << "call " << call;
    }
    EXPECT_EQ(calls[kWriteDataCall - 1].slot, sim::DriverSlot::Set);
    EXPECT_EQ(calls[kWriteDataCall - 1].id, DWORD{CPROP_I2C_DATA});
}

TEST(UpdateRun, SecondRunFindsTheUpdateAppliedAndWritesNothing) {
    UpdateBench bench;
    bench.PressOk();
    bench.ForgetEvents();
    bench.PressOk();
    EXPECT_EQ(bench.Events(), kUpToOption + Events({"MessageBoxW", "EndDialog 1"}));
    ASSERT_EQ(bench.Messages().size(), 1u);
    EXPECT_EQ(bench.Messages()[0].text, kAlreadyUpdated);
    EXPECT_EQ(bench.Eeprom().WriteCount(), 1u);
}

TEST(UpdateRun, ClearsTheGpioInputMaskAndRewritesTheGpioRegisterUnchanged) {
    UpdateBench bench;
    bench.Chip().Gpio().SetLatch(0x5A);
    DeviceControlTestAccess::GpioInputMask(bench.Device()) = 0x10;
    bench.PressOk();
    EXPECT_EQ(DeviceControlTestAccess::GpioInputMask(bench.Device()), 0u);
    EXPECT_EQ(bench.Chip().Gpio().Latch(), 0x5A);
    EXPECT_EQ(bench.Chip().Gpio().WriteCount(), 1u);
}

// Every message but IDOK's: only IDCANCEL ends the dialog, and none touches
// the device.
struct DialogMessageCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    INT_PTR result;
    Events events;
};

const DialogMessageCase kDialogMessages[] = {
    {"InitDialog", WM_INITDIALOG, 0, TRUE, {}},
    {"Cancel", WM_COMMAND, IDCANCEL, TRUE, {"EndDialog 2"}},
    {"CancelClicked", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), TRUE, {"EndDialog 2"}},
    {"CancelFromAccelerator", WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), TRUE, {"EndDialog 2"}},
    {"OtherId", WM_COMMAND, IDABORT, FALSE, {}},
    {"IdZero", WM_COMMAND, 0, FALSE, {}},
    {"HighWordLooksLikeOk", WM_COMMAND, MAKEWPARAM(3, IDOK), FALSE, {}},
    {"HighWordLooksLikeCancel", WM_COMMAND, MAKEWPARAM(0x0102, IDCANCEL), FALSE, {}},
    {"Close", WM_CLOSE, 0, FALSE, {}},
    {"Paint", WM_PAINT, 0, FALSE, {}},
};

void PrintTo(const DialogMessageCase& c, std::ostream* out) {
    *out << c.name;
}

class UpdateDialogMessage : public ::testing::TestWithParam<DialogMessageCase> {};

TEST_P(UpdateDialogMessage, TouchesNoDevice) {
    const DialogMessageCase& c = GetParam();
    UpdateBench bench;
    EXPECT_EQ(bench.Send(c.message, c.wParam), c.result);
    EXPECT_EQ(bench.Events(), c.events);  // no pause, no message
    EXPECT_EQ(bench.CallsMade(), 0u);
    EXPECT_EQ(bench.Eeprom().Bytes(), sim::FreshProductEeprom());
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateDialogMessage, ::testing::ValuesIn(kDialogMessages),
                         [](const ::testing::TestParamInfo<DialogMessageCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(UpdateDialog, OkWithANotificationCodeStillRunsTheUpdate) {
    UpdateBench bench;
    EXPECT_EQ(bench.Send(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)), TRUE);
    ASSERT_EQ(bench.Messages().size(), 1u);
    EXPECT_EQ(bench.Messages()[0].text, kCompleted);
}

}  // namespace
