// The property channel as the driver sees it (the simulated driver's call
// log), round trips against the simulated chip, and binding to a filter.
#include <numeric>

#include "tests/common/driver_log.h"
#include "tests/common/test_support.h"

using sim::DriverSlot;
using TA = DeviceControlTestAccess;

namespace {

constexpr HRESULT kFail = static_cast<HRESULT>(0x8007001F), kNoDevice = sim::kNoDeviceAtAddress,
                  kNotReady = DEVCTL_S_NOT_READY;
constexpr DWORD kRegSelect = CPROP_REG_SELECT, kAltSelect = CPROP_ALT_REG_SELECT;
constexpr DWORD kI2c = CPROP_I2C_TRANSFER, kI2cData = CPROP_I2C_DATA, kDevice = CPROP_I2C_DEVICE;
constexpr DWORD kReady = CPROP_I2C_DEVICE_READY, kState = CPROP_I2C_DEVICE_STATE;

DWORD word;
BYTE data[512];

// A table row's operation on a DeviceControl, after its source text for traces.
using Operation = HRESULT (*)(DeviceControl&);
// clang-format off
#define OP(call) #call, [](DeviceControl& d) { return static_cast<HRESULT>(d.call); }
// clang-format on

// A driver call that returns status; kNoFault: none does. Calls count from 1.
struct Fault {
    sim::CallOf call;
    HRESULT status;
};
const Fault kNoFault = {{DriverSlot::Set, 0, 0}, 0};
Fault First(DriverSlot slot, DWORD id, HRESULT status) {
    return {{slot, id, 1}, status};
}
constexpr DriverSlot kGet = DriverSlot::Get, kSet = DriverSlot::Set;
constexpr HRESULT kUntouched = 42;  // the last result before each operation

// An operation's driver calls (DescribeDriverLog's every-call form) under the
// fault, its result and the last result after.
struct Sequence {
    const char* name;
    Operation operation;
    Fault fault;
    HRESULT result, last;
    const char* calls;
};
// clang-format off
const Sequence kSequences[] = {
    // Select, then data; any direction but 1 reads; a positive status is kept,
    // also when the read that delivered nothing is read once more.
    {OP(TransferI2c(0x00A00001, data, 2)), First(kGet, kI2cData, 3), 3, 3, "Set:I2C_TRANSFER=A00001 Get:I2C_DATA=0!3 Get:I2C_DATA=5A"},
    {OP(TransferI2c(0x01A00801, data, 1)), kNoFault, 0, 0, "Set:I2C_TRANSFER=1A00801 Set:I2C_DATA=85"},
    // After a failure the selection is reset to 0; the reset's status is dropped.
    {OP(ReadRegisters(0x08, 1, data)), First(kGet, CPROP_REG_DATA, kFail), kFail, kFail, "Set:REG_SELECT=801 Get:REG_DATA=0!8007001F Set:REG_SELECT=0"},
    {OP(WriteAltRegisters(0x1AB, 2, data)), First(kSet, kAltSelect, kFail), kFail, kFail, "Set:ALT_REG_SELECT=AB02!8007001F Set:ALT_REG_SELECT=0"},
    // A 16-bit sub-address from 0x0100 to 0x01FF makes an 8-bit sub-address
    // word of 0x80 + count bytes: refused with 87, recorded, nothing sent.
    {OP(ReadI2c16(0xA0, 0x0130, 1, data)), kNoFault, DEVCTL_S_INVALID_PARAMETER, DEVCTL_S_INVALID_PARAMETER, ""},
    {OP(WriteI2c16(0xA0, 0x01FF, 1, data)), kNoFault, DEVCTL_S_INVALID_PARAMETER, DEVCTL_S_INVALID_PARAMETER, ""},
    {OP(TryWriteI2c16(0xA0, 0x0100, 1, data)), kNoFault, TRUE, DEVCTL_S_INVALID_PARAMETER, ""},
    // A probe sends the whole address, reads the ready flag, then the state.
    {OP(ProbeI2cDevice(0x1A0, &word)), First(kGet, kState, 2), 2, 2, "Set:I2C_DEVICE=1A0 Get:I2C_DEVICE_READY=1 Get:I2C_DEVICE_STATE=0!2"},
    {OP(ProbeI2cDevice(0xA0, &word)), First(kGet, kReady, 4), kNotReady, 4, "Set:I2C_DEVICE=A0 Get:I2C_DEVICE_READY=0!4"},
    {OP(ProbeI2cDevice(0x42, &word)), kNoFault, kNoDevice, kNoDevice, "Set:I2C_DEVICE=42!NO_DEVICE"},
    // Whole-property access and the device select don't record; the Try forms do.
    {OP(GetProperty(CPROP_CHIP_ID, &word)), First(kGet, CPROP_CHIP_ID, kFail), kFail, kUntouched, "Get:CHIP_ID=0!8007001F"},
    {OP(SetProperty(CPROP_CONFIG_103E, &word)), First(kSet, CPROP_CONFIG_103E, 7), 7, kUntouched, "Set:CONFIG_103E=0!7"},
    {OP(SelectI2cDevice(0xA0)), First(kSet, kDevice, 7), 7, kUntouched, "Set:I2C_DEVICE=A0!7"},
    {OP(TrySelectI2cDevice(0xA0)), First(kSet, kDevice, 7), TRUE, 7, "Set:I2C_DEVICE=A0!7"},
    {OP(TrySetProperty(CPROP_CHIP_ID, &word)), First(kSet, CPROP_CHIP_ID, kFail), FALSE, kFail, "Set:CHIP_ID=0!8007001F"},
    // Values are recorded and read 0 after a failure (the chip holds the id).
    {OP(GetValue1019()), kNoFault, 0x1019, S_OK, "Get:VALUE_1019=1019"},
    {OP(GetValue1034()), First(kGet, CPROP_VALUE_1034, kFail), 0, kFail, "Get:VALUE_1034=0!8007001F"},
    {OP(GetValue1035()), First(kGet, CPROP_VALUE_1035, 1), 0, 1, "Get:VALUE_1035=0!S_FALSE"},
    {OP(GetValue103C()), kNoFault, 0x103C, S_OK, "Get:VALUE_103C=103C"},
    // The pass-throughs record their status.
    {OP(TransferRaw(0xFF, 1, data, 5, data)), First(DriverSlot::Transfer, 0xFF, 3), 3, 3, "Transfer:FF=85!3"},
    {OP(InvokeRaw(1, 2, 3)), First(DriverSlot::Invoke, 0, kFail), kFail, kFail, "Invoke=1!8007001F"},
    {OP(SetValue103D(0xCAFE)), kNoFault, 0, 0, "SetDirect:VALUE_103D=CAFE"},
};
// clang-format on

TEST(PropertyChannel, DriverSeesTheSequenceAndSelectWordsOfEachOperation) {
    for (const Sequence& row : kSequences) {
        SCOPED_TRACE(row.name);
        SimBound bound;
        bound.chip->SetValue(CPROP_VALUE_1019, 0x1019);
        bound.chip->SetValue(CPROP_VALUE_103C, 0x103C);
        if (row.fault.call.nth) {
            bound.driver->Faults().onCall[row.fault.call] = row.fault.status;
        }
        word = 0;
        data[0] = 0x85;
        TA::LastResult(bound.dc) = kUntouched;
        EXPECT_EQ(row.operation(bound.dc), row.result);
        EXPECT_EQ(DescribeDriverLog(bound.driver->Calls(), LogForm::EveryCall), row.calls);
        EXPECT_EQ(bound.dc.GetLastResult(), row.last);
    }
    // The select word or descriptor each operation sends first, its fields
    // cut to their widths.
    const struct {
        const char* name;
        Operation operation;
        const char* first;  // the first call
    } cases[] = {
        {OP(ReadRegisters(0x12345, 0x1FF, data)), "Set:REG_SELECT=2345FF"},
        {OP(WriteAltRegisters(0x1AB, 0x104, data)), "Set:ALT_REG_SELECT=AB04"},
        {OP(ReadI2cDirect(0x1A0, 0x103, data)), "Set:I2C_TRANSFER=A00003"},
        {OP(WriteI2c(0x1A0, 0x108, 0x101, data)), "Set:I2C_TRANSFER=1A00801"},
        {OP(ReadI2c16(0xA0, 0x51234, 5, data)), "Set:I2C_TRANSFER=12A03485"},
        {OP(WriteI2c16(0xA0, 0x1234, 0x181, data)), "Set:I2C_TRANSFER=12A03481"},
        {OP(ReadI2c16(0xA0, 0x00FF, 1, data)), "Set:I2C_TRANSFER=A0FF81"},
        {OP(WriteI2c16(0xA0, 0x0200, 1, data)), "Set:I2C_TRANSFER=2A00081"},
        {OP(ReadI2c16(0xA0, 0x1130, 1, data)), "Set:I2C_TRANSFER=11A03081"},  // not 0x01xx
        {OP(ReadI2cLong(0xA0, 0x10, 0x0123, data)), "Set:I2C_TRANSFER=1A01023"},
        {OP(WriteI2cLong(0xA0, 0x110, 0x10002, data)), "Set:I2C_TRANSFER=A01002"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        SimBound bound;
        row.operation(bound.dc);
        EXPECT_EQ(DescribeDriverLog({bound.driver->Calls().at(0)}, LogForm::EveryCall), row.first);
    }
}

// Every operation that would call the driver, on an object that holds none:
// its result, and the last result set to 6 only where documented.
TEST(PropertyChannel, UnboundOperationsReturnTheirResultAndRecordOnlyWhereDocumented) {
    // clang-format off
// Plain forms return 6 and record nothing; their Try forms record 6, TRUE.
#define PLAIN_AND_TRY(name, args) {OP(name args), 6, false}, {OP(Try##name args), TRUE, true}
#define READ_AND_WRITE(name, args) PLAIN_AND_TRY(Read##name, args), PLAIN_AND_TRY(Write##name, args)
    const struct {
        const char* name;
        Operation operation;
        HRESULT result;
        bool records;
    } cases[] = {
        PLAIN_AND_TRY(GetProperty, (CPROP_CHIP_ID, &word)), PLAIN_AND_TRY(SelectI2cDevice, (0xA0)),
        PLAIN_AND_TRY(SetProperty, (CPROP_CHIP_ID, &word)), READ_AND_WRITE(Registers, (0, 1, data)),
        READ_AND_WRITE(I2cDirect, (0xA0, 1, data)), READ_AND_WRITE(I2c, (0xA0, 8, 1, data)),
        READ_AND_WRITE(I2c16, (0xA0, 8, 1, data)), READ_AND_WRITE(I2cLong, (0xA0, 8, 1, data)),
        READ_AND_WRITE(Gpio, (data)),
        {OP(ReadAltRegisters(0, 1, data)), 6, false}, {OP(WriteAltRegisters(0, 1, data)), 6, false},
        {OP(TransferI2c(0, data, 0)), 6, false}, {OP(InvokeRaw(1, 2, 3)), 6, false},
        {OP(TransferRaw(0xFF, 1, data, 5, data)), 6, false}, {OP(SetValue103D(1)), 6, false},
        {OP(SetGpioBits(0x10)), 6, false}, {OP(GetVendorProductIds(&word, &word)), 6, false},
        {OP(ProbeI2cDevice(0xA0, &word)), 6, true},
        {OP(GetValue1019()), 0, true}, {OP(GetValue1034()), 0, true},
        {OP(GetValue1035()), 0, true}, {OP(GetValue103C()), 0, true},
    };
#undef READ_AND_WRITE
#undef PLAIN_AND_TRY
    // clang-format on
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        DeviceControl dc;
        TA::LastResult(dc) = -5;
        EXPECT_EQ(row.operation(dc), row.result);
        EXPECT_EQ(dc.GetLastResult(), row.records ? DEVCTL_S_NOT_BOUND : -5);
    }
}

// What goes in through each path reads back and lands in the chip.
TEST(SimRoundTrip, RegistersInBothSpacesAndEepromThroughEveryLayout) {
    SimBound bound;
    const BYTE written[4] = {0x11, 0x22, 0x33, 0x44};
    BYTE main[4] = {}, alt[4] = {};
    ASSERT_EQ(bound.dc.WriteRegisters(0x1230, 4, written), S_OK);
    ASSERT_EQ(bound.dc.WriteAltRegisters(0xFE, 4, written), S_OK);
    EXPECT_EQ(bound.dc.ReadRegisters(0x1230, 4, main), S_OK);
    EXPECT_EQ(bound.dc.ReadAltRegisters(0xFE, 4, alt), S_OK);
    EXPECT_TRUE(std::equal(main, main + 4, written) && std::equal(alt, alt + 4, written));
    EXPECT_EQ(bound.chip->Register(0x1233), 0x44);
    EXPECT_EQ(bound.chip->AltRegister(0x01), 0x44);  // the 256-byte alternate space wraps

    const struct {
        HRESULT (DeviceControl::*write)(DWORD, DWORD, DWORD, const void*);
        HRESULT (DeviceControl::*read)(DWORD, DWORD, DWORD, void*);
        DWORD subAddress, count;
    } layouts[] = {
        {&DeviceControl::WriteI2c, &DeviceControl::ReadI2c, 0xFC, 8},  // wraps at the end
        {&DeviceControl::WriteI2c16, &DeviceControl::ReadI2c16, 0x0230, 8},
        {&DeviceControl::WriteI2cLong, &DeviceControl::ReadI2cLong, 0x10, 0x60},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.subAddress);
        std::vector<BYTE> pattern(layout.count), back(layout.count);
        std::iota(pattern.begin(), pattern.end(), BYTE(layout.subAddress));
        ASSERT_EQ((bound.dc.*layout.write)(0xA0, layout.subAddress, layout.count, pattern.data()),
                  S_OK);
        ASSERT_EQ((bound.dc.*layout.read)(0xA0, layout.subAddress, layout.count, back.data()),
                  S_OK);
        EXPECT_EQ(back, pattern);
        EXPECT_EQ(bound.chip->Eeprom()->Bytes()[(layout.subAddress + layout.count - 1) & 0xFF],
                  pattern.back());
    }
    // A direct write carries the word address in its first byte, as on the
    // bus; a direct read goes on from the current address.
    const BYTE direct[3] = {0x30, 0xAB, 0xCD};
    BYTE read[2] = {};
    ASSERT_EQ(bound.dc.WriteI2cDirect(0xA0, 3, direct), S_OK);
    ASSERT_EQ(bound.dc.WriteI2cDirect(0xA0, 1, direct), S_OK);  // back to 0x30
    ASSERT_EQ(bound.dc.ReadI2cDirect(0xA1, 2, read), S_OK);
    EXPECT_EQ(read[0] << 8 | read[1], 0xABCD);
}

TEST(Lifetime, BindFilterReadsTheIdentityCloseReleasesOnceTheDestructorNothing) {
    // The chip id property; the id kept (its low byte) and its generation.
    const struct {
        DWORD property, chipId, newGeneration;
    } cases[] = {{0x141, 0x41, 1}, {0x62, 0x62, 0}, {0x33, 0x33, 0}, {0x32, 0x32, 1},
                 {0x74, 0x74, 1},  {0x75, 0x75, 0}, {0x24, 0x24, 0}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.property);
        SimBound bound(sim::ChipIdentity{row.property, 0, 0x36, 0x40, 0x30});
        EXPECT_EQ(std::vector<DWORD>({TA::ChipId(bound.dc), TA::NewGeneration(bound.dc),
                                      TA::BoardConfig(bound.dc), TA::RemoteAddress(bound.dc),
                                      TA::RemoteI2cAddress(bound.dc)}),
                  std::vector<DWORD>({row.chipId, row.newGeneration, 0x36, 0x40, 0x30}));
    }
    // A filter without the interface binds nothing.
    auto* filter = new FakeCaptureFilter(nullptr);
    DeviceControl dc;
    EXPECT_EQ(dc.BindFilter(filter), nullptr);
    EXPECT_EQ(dc.GetLastResult(), E_NOINTERFACE);
    EXPECT_EQ(TA::Driver(dc), nullptr);
    EXPECT_EQ(filter->Release(), 0u);

    // Binding again lets go of the driver held before.
    {
        SimBound first, second;
        first.driver->AddRef();
        auto* secondFilter = new FakeCaptureFilter(second.driver);
        EXPECT_EQ(first.dc.BindFilter(secondFilter, TestDeviceMoniker().Get()), second.driver);
        EXPECT_EQ(first.driver->Release(), 1u);
        first.dc.Close();
        TA::Attach(first.dc, first.driver);  // what the bench's teardown expects
        secondFilter->Release();
    }

    SimBound bound;  // its destructor expects the driver to hold the bench's reference alone
    bound.driver->AddRef();
    bound.dc.Close();
    bound.dc.Close();
    EXPECT_EQ(bound.driver->Release(), 1u);
    {
        DeviceControl other;
        TA::Attach(other, bound.driver);
    }
    EXPECT_EQ(bound.driver->Release(), 1u) << "the destructor released nothing";
}

}  // namespace
