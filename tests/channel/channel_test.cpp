// The property channel as the driver sees it (the simulated driver's call
// log), round trips against the simulated chip, and binding to a filter.
#include <numeric>

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

sim::DriverCall Set(DWORD id, DWORD word, HRESULT status = S_OK) {
    return {DriverSlot::Set, id, word, status};
}
sim::DriverCall Get(DWORD id, DWORD word, HRESULT status = S_OK) {
    return {DriverSlot::Get, id, word, status};
}

// The driver calls of an operation when the given call (from 1; 0: none)
// returns the given status; its result and the last result after (42 before).
// clang-format off
const std::tuple<const char*, Operation, unsigned, HRESULT, HRESULT, HRESULT,
                 std::vector<sim::DriverCall>> kSequences[] = {
    // Select, then data; any direction but 1 reads; a positive status is kept.
    {OP(TransferI2c(0x00A00001, data, 2)), 2, 3, 3, 3, {Set(kI2c, 0xA00001), Get(kI2cData, 0, 3)}},
    {OP(TransferI2c(0x01A00801, data, 1)), 0, 0, 0, 0, {Set(kI2c, 0x1A00801), Set(kI2cData, 0x85)}},
    // After a failure the selection is reset to 0; the reset's status is dropped.
    {OP(ReadRegisters(0x08, 1, data)), 2, kFail, kFail, kFail,
     {Set(kRegSelect, 0x0801), Get(CPROP_REG_DATA, 0, kFail), Set(kRegSelect, 0)}},
    {OP(WriteAltRegisters(0x1AB, 2, data)), 1, kFail, kFail, kFail,
     {Set(kAltSelect, 0xAB02, kFail), Set(kAltSelect, 0)}},
    // A probe sends the whole address, reads the ready flag, then the state.
    {OP(ProbeI2cDevice(0x1A0, &word)), 3, 2, 2, 2,
     {Set(kDevice, 0x1A0), Get(kReady, 1), Get(kState, 0, 2)}},
    {OP(ProbeI2cDevice(0xA0, &word)), 2, 4, kNotReady, 4, {Set(kDevice, 0xA0), Get(kReady, 0, 4)}},
    {OP(ProbeI2cDevice(0x42, &word)), 0, 0, kNoDevice, kNoDevice, {Set(kDevice, 0x42, kNoDevice)}},
    // Whole-property access and the device select don't record; the Try forms do.
    {OP(GetProperty(CPROP_CHIP_ID, &word)), 1, kFail, kFail, 42, {Get(CPROP_CHIP_ID, 0, kFail)}},
    {OP(SetProperty(CPROP_CONFIG_103E, &word)), 1, 7, 7, 42, {Set(CPROP_CONFIG_103E, 0, 7)}},
    {OP(SelectI2cDevice(0xA0)), 1, 7, 7, 42, {Set(kDevice, 0xA0, 7)}},
    {OP(TrySelectI2cDevice(0xA0)), 1, 7, TRUE, 7, {Set(kDevice, 0xA0, 7)}},
    {OP(TrySetProperty(CPROP_CHIP_ID, &word)), 1, kFail, FALSE, kFail,
     {Set(CPROP_CHIP_ID, 0, kFail)}},
    // Values are recorded and read 0 after a failure (the chip holds the id).
    {OP(GetValue1019()), 0, 0, 0x1019, S_OK, {Get(CPROP_VALUE_1019, 0x1019)}},
    {OP(GetValue1034()), 1, kFail, 0, kFail, {Get(CPROP_VALUE_1034, 0, kFail)}},
    {OP(GetValue1035()), 1, 1, 0, 1, {Get(CPROP_VALUE_1035, 0, 1)}},
    {OP(GetValue103C()), 0, 0, 0x103C, S_OK, {Get(CPROP_VALUE_103C, 0x103C)}},
    // The pass-throughs record their status.
    {OP(TransferRaw(0xFF, 1, data, 5, data)), 1, 3, 3, 3, {{DriverSlot::Transfer, 0xFF, 0x85, 3}}},
    {OP(InvokeRaw(1, 2, 3)), 1, kFail, kFail, kFail, {{DriverSlot::Invoke, 0, 1, kFail}}},
    {OP(SetValue103D(0xCAFE)), 0, 0, 0, 0, {{DriverSlot::SetDirect, CPROP_VALUE_103D, 0xCAFE, 0}}},
};
// clang-format on

TEST(PropertyChannel, DriverSeesTheSequenceAndSelectWordsOfEachOperation) {
    for (const auto& [name, operation, call, status, result, last, calls] : kSequences) {
        SCOPED_TRACE(name);
        SimBound bound;
        bound.chip->SetValue(CPROP_VALUE_1019, 0x1019);
        bound.chip->SetValue(CPROP_VALUE_103C, 0x103C);
        bound.FailCall(call, status);
        word = 0;
        data[0] = 0x85;
        TA::LastResult(bound.dc) = 42;
        EXPECT_EQ(operation(bound.dc), result);
        EXPECT_EQ(bound.driver->Calls(), calls);
        EXPECT_EQ(bound.dc.GetLastResult(), last);
    }
    // The select word or descriptor each operation sends first, its fields
    // cut to their widths.
    // clang-format off
    const std::tuple<const char*, Operation, DWORD, DWORD> cases[] = {
        {OP(ReadRegisters(0x12345, 0x1FF, data)), kRegSelect, 0x002345FF},
        {OP(WriteAltRegisters(0x1AB, 0x104, data)), kAltSelect, 0x0000AB04},
        {OP(ReadI2cDirect(0x1A0, 0x103, data)), kI2c, 0x00A00003},
        {OP(WriteI2c(0x1A0, 0x108, 0x101, data)), kI2c, 0x01A00801},
        {OP(ReadI2c16(0xA0, 0x51234, 5, data)), kI2c, 0x12A03485},
        {OP(WriteI2c16(0xA0, 0x1234, 0x181, data)), kI2c, 0x12A03481},
        {OP(ReadI2cLong(0xA0, 0x10, 0x0123, data)), kI2c, 0x01A01023},
        {OP(WriteI2cLong(0xA0, 0x110, 0x10002, data)), kI2c, 0x00A01002},
    };
    // clang-format on
    for (const auto& [name, operation, id, select] : cases) {
        SCOPED_TRACE(name);
        SimBound bound;
        operation(bound.dc);
        EXPECT_EQ(bound.driver->Calls().at(0), Set(id, select));
    }
}

// Every operation that would call the driver, on an object that holds none:
// its result, and the last result set to 6 only where documented.
TEST(PropertyChannel, UnboundOperationsReturnTheirResultAndRecordOnlyWhereDocumented) {
    // clang-format off
// Plain forms return 6 and record nothing; their Try forms record 6, TRUE.
#define PLAIN_AND_TRY(name, args) {OP(name args), 6, false}, {OP(Try##name args), TRUE, true}
#define READ_AND_WRITE(name, args) PLAIN_AND_TRY(Read##name, args), PLAIN_AND_TRY(Write##name, args)
    const std::tuple<const char*, Operation, HRESULT, bool> cases[] = {
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
    for (const auto& [name, operation, result, records] : cases) {
        SCOPED_TRACE(name);
        DeviceControl dc;
        TA::LastResult(dc) = -5;
        EXPECT_EQ(operation(dc), result);
        EXPECT_EQ(dc.GetLastResult(), records ? DEVCTL_S_NOT_BOUND : -5);
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

    const std::tuple<HRESULT (DeviceControl::*)(DWORD, DWORD, DWORD, const void*),
                     HRESULT (DeviceControl::*)(DWORD, DWORD, DWORD, void*), DWORD, DWORD>
        layouts[] = {
            {&DeviceControl::WriteI2c, &DeviceControl::ReadI2c, 0xFC, 8},  // wraps at the end
            {&DeviceControl::WriteI2c16, &DeviceControl::ReadI2c16, 0x0230, 8},
            {&DeviceControl::WriteI2cLong, &DeviceControl::ReadI2cLong, 0x10, 0x60},
        };
    for (const auto& [write, read, subAddress, count] : layouts) {
        SCOPED_TRACE(subAddress);
        std::vector<BYTE> pattern(count), back(count);
        std::iota(pattern.begin(), pattern.end(), BYTE(subAddress));
        ASSERT_EQ((bound.dc.*write)(0xA0, subAddress, count, pattern.data()), S_OK);
        ASSERT_EQ((bound.dc.*read)(0xA0, subAddress, count, back.data()), S_OK);
        EXPECT_EQ(back, pattern);
        EXPECT_EQ(bound.chip->Eeprom()->Bytes()[(subAddress + count - 1) & 0xFF], pattern.back());
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
    const DWORD cases[][3] = {{0x141, 0x41, 1}, {0x62, 0x62, 0}, {0x33, 0x33, 0}, {0x32, 0x32, 1},
                              {0x74, 0x74, 1},  {0x75, 0x75, 0}, {0x24, 0x24, 0}};
    for (const auto& [chipIdProperty, chipId, newGeneration] : cases) {
        SCOPED_TRACE(chipIdProperty);
        SimBound bound(sim::ChipIdentity{chipIdProperty, 0, 0x36, 0x40, 0x30});
        EXPECT_EQ(std::vector<DWORD>({TA::ChipId(bound.dc), TA::NewGeneration(bound.dc),
                                      TA::BoardConfig(bound.dc), TA::RemoteAddress(bound.dc),
                                      TA::RemoteI2cAddress(bound.dc)}),
                  std::vector<DWORD>({chipId, newGeneration, 0x36, 0x40, 0x30}));
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
        EXPECT_EQ(first.dc.BindFilter(secondFilter), second.driver);
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
