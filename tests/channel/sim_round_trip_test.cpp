// DeviceControl against the simulated chip: data written through every path
// reads back, the driver log shows the sequences, and binding reads the chip
// identity.
#include <gtest/gtest.h>

#include <wrl/client.h>

#include <array>
#include <numeric>

#include "simdevice/sim_driver.h"
#include "tests/common/test_support.h"

using Microsoft::WRL::ComPtr;
using sim::DriverCall;
using sim::DriverSlot;
using TA = DeviceControlTestAccess;

namespace {

class SimBound : public ::testing::Test {
  protected:
    explicit SimBound(const sim::ChipIdentity& identity = {})
        : chip(std::make_shared<sim::SimChip>(identity)) {
        *driver.ReleaseAndGetAddressOf() = sim::CreateSimDriver(chip);
        TA::Attach(dc, driver.Get());
    }
    ~SimBound() override { dc.Close(); }

    std::shared_ptr<sim::SimChip> chip;
    ComPtr<sim::SimDriver> driver;
    DeviceControl dc;
};

TEST_F(SimBound, RegistersRoundTripInBothSpaces) {
    const BYTE written[4] = {0x11, 0x22, 0x33, 0x44};
    ASSERT_EQ(dc.WriteRegisters(0x1230, 4, written), S_OK);
    ASSERT_EQ(dc.WriteAltRegisters(0xFE, 4, written), S_OK);
    BYTE main[4] = {}, alt[4] = {};
    EXPECT_EQ(dc.ReadRegisters(0x1230, 4, main), S_OK);
    EXPECT_EQ(dc.ReadAltRegisters(0xFE, 4, alt), S_OK);
    EXPECT_EQ(0, memcmp(main, written, 4));
    EXPECT_EQ(0, memcmp(alt, written, 4));
    EXPECT_EQ(chip->Register(0x1233), 0x44);
    // The alternate space is 256 bytes; a run past its end wraps to 0.
    EXPECT_EQ(chip->AltRegister(0x01), 0x44);
    EXPECT_EQ(chip->Register(0x0001), 0x00);
}

// One EEPROM round trip per descriptor layout: write through it, then read
// back both through it and through the plain 8-bit sub-address read.
struct EepromLayout {
    const char* name;
    HRESULT (DeviceControl::*write)(DWORD, DWORD, DWORD, const void*);
    HRESULT (DeviceControl::*read)(DWORD, DWORD, DWORD, void*);
    DWORD subAddress;
    DWORD count;
};

void PrintTo(const EepromLayout& layout, std::ostream* out) {
    *out << layout.name;
}

class EepromRoundTrip : public SimBound, public ::testing::WithParamInterface<EepromLayout> {};

TEST_P(EepromRoundTrip, WritesAndReadsBack) {
    const EepromLayout& layout = GetParam();
    std::array<BYTE, 300> pattern{};
    std::iota(pattern.begin(), pattern.end(), BYTE{0x40});
    ASSERT_EQ((dc.*layout.write)(0xA0, layout.subAddress, layout.count, pattern.data()), S_OK);

    std::array<BYTE, 300> back{};
    ASSERT_EQ((dc.*layout.read)(0xA0, layout.subAddress, layout.count, back.data()), S_OK);
    EXPECT_TRUE(std::equal(pattern.begin(), pattern.begin() + layout.count, back.begin()));
    const BYTE start = static_cast<BYTE>(layout.subAddress);
    for (DWORD i = 0; i < layout.count; ++i) {
        ASSERT_EQ(chip->Eeprom()->Bytes()[static_cast<BYTE>(start + i)], pattern[i]) << i;
    }
    EXPECT_EQ(chip->Eeprom()->WriteCount(), 1u);
}

const EepromLayout kEepromLayouts[] = {
    {"SubAddress", &DeviceControl::WriteI2c, &DeviceControl::ReadI2c, 0x20, 16},
    {"SubAddress16", &DeviceControl::WriteI2c16, &DeviceControl::ReadI2c16, 0x0130, 8},
    {"Long", &DeviceControl::WriteI2cLong, &DeviceControl::ReadI2cLong, 0x10, 0x60},
    {"SubAddressWrapsAtTheEnd", &DeviceControl::WriteI2c, &DeviceControl::ReadI2c, 0xFC, 8},
};

INSTANTIATE_TEST_SUITE_P(Layouts, EepromRoundTrip, ::testing::ValuesIn(kEepromLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimBound, DirectTransfersUseTheCurrentAddress) {
    // A direct write carries the word address in its first byte, as on the bus.
    const BYTE write[3] = {0x30, 0xAB, 0xCD};
    ASSERT_EQ(dc.WriteI2cDirect(0xA0, 3, write), S_OK);
    BYTE pointerOnly = 0x30;
    ASSERT_EQ(dc.WriteI2cDirect(0xA0, 1, &pointerOnly), S_OK);
    BYTE read[2] = {};
    ASSERT_EQ(dc.ReadI2cDirect(0xA1, 2, read), S_OK);
    EXPECT_EQ(read[0], 0xAB);
    EXPECT_EQ(read[1], 0xCD);
    EXPECT_EQ(chip->Eeprom()->WriteCount(), 1u);
}

TEST_F(SimBound, UpdaterReadLeavesTheUpperBytesOfTheWordAlone) {
    DWORD word = 0xAABBCC00;
    ASSERT_EQ(dc.ReadI2c(0xA0, 0x7A, 1, &word), S_OK);
    EXPECT_EQ(word, 0xAABBCC31u);
    EXPECT_EQ(driver->Calls().back(), (DriverCall{DriverSlot::Get, CPROP_I2C_DATA, 0x31, S_OK}));
}

TEST_F(SimBound, AbsentDeviceFailsAndTheDescriptorIsReset) {
    BYTE data = 0;
    const HRESULT status = dc.ReadI2c(0x42, 0, 1, &data);
    EXPECT_EQ(status, sim::kNoDeviceAtAddress);
    EXPECT_EQ(dc.GetLastResult(), status);
    const std::vector<DriverCall> expected = {
        {DriverSlot::Set, CPROP_I2C_TRANSFER, 0x01420001, S_OK},
        {DriverSlot::Get, CPROP_I2C_DATA, 0, sim::kNoDeviceAtAddress},
        {DriverSlot::Set, CPROP_I2C_TRANSFER, 0, S_OK},
    };
    EXPECT_EQ(driver->Calls(), expected);
}

TEST_F(SimBound, ProbeTellsPresentReadyAndAbsentDevices) {
    chip->Eeprom()->state = 0x5A;
    DWORD state = 0;
    EXPECT_EQ(dc.ProbeI2cDevice(0xA0, &state), S_OK);
    EXPECT_EQ(state, 0x5Au);

    chip->Eeprom()->ready = false;
    EXPECT_EQ(dc.ProbeI2cDevice(0xA0, &state), DEVCTL_S_NOT_READY);
    EXPECT_EQ(state, 0u);

    EXPECT_EQ(dc.ProbeI2cDevice(0x42, &state), sim::kNoDeviceAtAddress);
    EXPECT_FALSE(dc.TrySelectI2cDevice(0x42));
    EXPECT_TRUE(dc.TrySelectI2cDevice(0xA0));
}

TEST_F(SimBound, InjectedFaultsReachTheCaller) {
    const unsigned next = driver->CallCount() + 1;
    driver->Faults().atCall[next + 1] = 1;  // the data step reports a positive status
    DWORD word = 0;
    EXPECT_EQ(dc.ReadI2c(0xA0, 0x08, 1, &word), 1);
    EXPECT_EQ(word, 0u) << "a failed call does nothing";

    driver->Faults().onProperty[CPROP_VALUE_1019] = E_ACCESSDENIED;
    EXPECT_EQ(dc.GetValue1019(), 0u);
    EXPECT_EQ(dc.GetLastResult(), E_ACCESSDENIED);

    driver->Faults().unplugFromCall = driver->CallCount() + 1;
    EXPECT_EQ(dc.ReadRegisters(0, 1, &word), DEVCTL_E_UNPLUGGED);
    EXPECT_EQ(dc.InvokeRaw(1, 2, 3), DEVCTL_E_UNPLUGGED);
}

TEST_F(SimBound, PassThroughsReachTheChip) {
    chip->SetRegister(0x51, 0x81);
    chip->SetRegister(0x52, 0x40);
    BYTE request = 0x51;
    BYTE reply[2] = {};
    EXPECT_EQ(dc.TransferRaw(0xFF, 1, &request, 2, reply), S_OK);
    EXPECT_EQ(reply[0], 0x81);
    EXPECT_EQ(reply[1], 0x40);
    EXPECT_EQ(dc.SetValue103D(0xCAFE), S_OK);
    EXPECT_EQ(chip->Value(CPROP_VALUE_103D), 0xCAFEu);
    EXPECT_EQ(dc.InvokeRaw(7, 8, 9), S_OK);
    ASSERT_EQ(chip->Invocations().size(), 1u);
    EXPECT_EQ(chip->Invocations()[0].third, 9u);
}

// Binding to a filter the caller holds.
struct IdentityCase {
    DWORD chipIdProperty;
    DWORD chipId;
    DWORD newGeneration;
};

void PrintTo(const IdentityCase& c, std::ostream* out) {
    *out << "chip id " << std::hex << c.chipIdProperty;
}

class BindFilterIdentity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(BindFilterIdentity, ReadsTheIdentityAndClassifiesTheChip) {
    sim::ChipIdentity identity;
    identity.chipId = GetParam().chipIdProperty;
    identity.boardConfig = 0x36;
    identity.remoteAddress = 0x40;
    identity.remoteI2cAddress = 0x30;
    auto chip = std::make_shared<sim::SimChip>(identity);
    ComPtr<sim::SimDriver> driver;
    *driver.ReleaseAndGetAddressOf() = sim::CreateSimDriver(chip);
    auto* filter = new FakeCaptureFilter(driver.Get());

    DeviceControl dc;
    TA::LastResult(dc) = -1;
    EXPECT_EQ(dc.BindFilter(filter), static_cast<ICustomProperty*>(driver.Get()));
    EXPECT_EQ(dc.GetLastResult(), S_OK);
    EXPECT_EQ(TA::ChipId(dc), GetParam().chipId);
    EXPECT_EQ(TA::NewGeneration(dc), GetParam().newGeneration);
    EXPECT_EQ(TA::BoardConfig(dc), 0x36u);
    EXPECT_EQ(TA::RemoteAddress(dc), 0x40u);
    EXPECT_EQ(TA::RemoteI2cAddress(dc), 0x30u);
    const std::vector<DWORD> readOrder = {CPROP_BOARD_CONFIG, CPROP_REMOTE_ADDRESS,
                                          CPROP_REMOTE_I2C_ADDRESS, CPROP_CHIP_ID};
    ASSERT_EQ(driver->Calls().size(), readOrder.size());
    for (size_t i = 0; i < readOrder.size(); ++i) {
        EXPECT_EQ(driver->Calls()[i].slot, DriverSlot::Get);
        EXPECT_EQ(driver->Calls()[i].id, readOrder[i]);
    }
    // The filter stays the caller's; the object holds one driver reference.
    EXPECT_EQ(filter->RefCount(), 1u);
    EXPECT_EQ(driver->RefCount(), 3u);  // ours, the filter's, the object's
    dc.Close();
    EXPECT_EQ(driver->RefCount(), 2u);
    filter->Release();
}

INSTANTIATE_TEST_SUITE_P(ChipCodes, BindFilterIdentity,
                         ::testing::Values(IdentityCase{0x141, 0x41, 1},
                                           IdentityCase{0x62, 0x62, 0}, IdentityCase{0x33, 0x33, 0},
                                           IdentityCase{0x32, 0x32, 1}, IdentityCase{0x74, 0x74, 1},
                                           IdentityCase{0x75, 0x75, 0},
                                           IdentityCase{0x24, 0x24, 0}));

TEST(BindFilter, FilterWithoutTheInterfaceBindsNothing) {
    auto* filter = new FakeCaptureFilter(nullptr);
    DeviceControl dc;
    EXPECT_EQ(dc.BindFilter(filter), nullptr);
    EXPECT_EQ(dc.GetLastResult(), E_NOINTERFACE);
    EXPECT_EQ(TA::Driver(dc), nullptr);
    EXPECT_EQ(dc.BindFilter(nullptr), nullptr);
    EXPECT_EQ(filter->Release(), 0u);
}

TEST(BindFilter, FailedIdentityReadsStillBind) {
    auto chip = std::make_shared<sim::SimChip>();
    ComPtr<sim::SimDriver> driver;
    *driver.ReleaseAndGetAddressOf() = sim::CreateSimDriver(chip);
    driver->Faults().onProperty[CPROP_BOARD_CONFIG] = E_FAIL;
    auto* filter = new FakeCaptureFilter(driver.Get());
    DeviceControl dc;
    EXPECT_NE(dc.BindFilter(filter), nullptr);
    EXPECT_EQ(dc.GetLastResult(), S_OK);
    EXPECT_EQ(TA::ChipId(dc), 0x24u);
    dc.Close();
    filter->Release();
}

}  // namespace
