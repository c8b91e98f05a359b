// GPIO with its input mask, and the vendor and product identifiers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simdevice/sim_gpio.h"
#include "tests/common/test_support.h"
#include "tests/update/update_bench.h"

namespace {

using Traffic = std::vector<std::string>;

constexpr DWORD kOlderChip = 0x24;
constexpr DWORD kLaterChip = 0x44;

enum class GpioOperation { SetBits, Read, Write };

struct GpioCase {
    const char* name;
    DWORD chipId;
    BYTE latch;       // GPIO register before
    BYTE levels;      // what the board drives onto the pins
    DWORD inputMask;  // gpioInputMask before
    GpioOperation operation;
    DWORD argument;  // SetGpioBits' mask, WriteGpio's byte
    HRESULT status;
    Traffic traffic;
    BYTE latchAfter;
    DWORD inputMaskAfter;
    int dataRead;  // ReadGpio's output, -1 when untouched
};

void PrintTo(const GpioCase& c, std::ostream* out) {
    *out << c.name;
}

const GpioCase kGpioCases[] = {
    {"SetNothingOnOlderChip",
     kOlderChip,
     0x5A,
     0xFF,
     0x10,
     GpioOperation::SetBits,
     0,
     S_OK,
     {"R08=5A", "W08=5A"},
     0x5A,
     0,
     -1},
    {"SetBit4OnLaterChip",
     kLaterChip,
     0x21,
     0xFF,
     0,
     GpioOperation::SetBits,
     0x10,
     S_OK,
     {"R80=21", "W80=31"},
     0x31,
     0x10,
     -1},
    {"SetKeepsTheWholeMaskButUsesItsLowByte",
     kOlderChip,
     0x0F,
     0xFF,
     0,
     GpioOperation::SetBits,
     0x1F0,
     S_OK,
     {"R08=0F", "W08=FF"},
     0xFF,
     0x1F0,
     -1},
    {"WriteThatWouldClearAnInput",
     kOlderChip,
     0x10,
     0xFF,
     0x10,
     GpioOperation::Write,
     0x0F,
     DEVCTL_S_BUSY,
     {},
     0x10,
     0x10,
     -1},
    {"WriteKeepingTheInput",
     kOlderChip,
     0x10,
     0xFF,
     0x10,
     GpioOperation::Write,
     0x1F,
     S_OK,
     {"W08=1F"},
     0x1F,
     0x10,
     -1},
    {"WriteOnLaterChip",
     kLaterChip,
     0x00,
     0xFF,
     0,
     GpioOperation::Write,
     0xA5,
     S_OK,
     {"W80=A5"},
     0xA5,
     0,
     -1},
    {"WriteWithOnlyUpperMaskBits",
     kOlderChip,
     0x00,
     0xFF,
     0x300,
     GpioOperation::Write,
     0x00,
     S_OK,
     {"W08=00"},
     0x00,
     0x300,
     -1},
    {"ReadWhileTheInputIsDrivenLow",
     kOlderChip,
     0x00,
     0xFF,
     0x10,
     GpioOperation::Read,
     0,
     DEVCTL_S_BUSY,
     {"R08=00"},
     0x00,
     0x10,
     -1},
    {"ReadOnOlderChip",
     kOlderChip,
     0xF0,
     0x35,
     0x10,
     GpioOperation::Read,
     0,
     S_OK,
     {"R08=F0", "R09=30"},
     0xF0,
     0x10,
     0x30},
    {"ReadOnLaterChip",
     kLaterChip,
     0x1C,
     0x14,
     0x04,
     GpioOperation::Read,
     0,
     S_OK,
     {"R80=1C", "R84=14"},
     0x1C,
     0x04,
     0x14},
};

class Gpio : public ::testing::TestWithParam<GpioCase> {};

TEST_P(Gpio, HonoursTheInputMask) {
    const GpioCase& c = GetParam();
    sim::ChipIdentity identity;
    identity.chipId = c.chipId;
    DeviceBench bench(identity);
    bench.Chip().Gpio().SetLatch(c.latch);
    bench.Chip().Gpio().SetExternalLevels(c.levels);
    DeviceControlTestAccess::GpioInputMask(bench.Device()) = c.inputMask;

    BYTE data = 0xEE;
    HRESULT status = E_UNEXPECTED;
    switch (c.operation) {
        case GpioOperation::SetBits:
            status = bench.Device().SetGpioBits(c.argument);
            break;
        case GpioOperation::Read:
            status = bench.Device().ReadGpio(&data);
            break;
        case GpioOperation::Write:
            data = static_cast<BYTE>(c.argument);
            status = bench.Device().WriteGpio(&data);
            break;
    }

    EXPECT_EQ(status, c.status);
    EXPECT_EQ(RegisterTraffic(bench.Driver().Calls()), c.traffic);
    EXPECT_EQ(bench.Chip().Gpio().Latch(), c.latchAfter);
    EXPECT_EQ(DeviceControlTestAccess::GpioInputMask(bench.Device()), c.inputMaskAfter);
    if (c.operation == GpioOperation::Read) {
        EXPECT_EQ(data, c.dataRead < 0 ? 0xEE : c.dataRead);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Gpio, ::testing::ValuesIn(kGpioCases),
                         [](const ::testing::TestParamInfo<GpioCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(GpioFailures, SetGpioBitsGoesOnAfterAFailedReadAndReturnsTheWriteStatus) {
    DeviceBench bench;
    bench.Chip().Gpio().SetLatch(0x5A);
    bench.FailCall(2, E_FAIL);  // the data get of the GPIO register read
    EXPECT_EQ(bench.Device().SetGpioBits(0x03), S_OK);
    // The byte the read was to fill still holds the mask's low byte.
    EXPECT_EQ(RegisterTraffic(bench.Driver().Calls()), (Traffic{"R08!", "W08=03"}));
    EXPECT_EQ(bench.Device().GetLastResult(), S_OK);
}

TEST(GpioFailures, ReadGpioGoesOnToTheInputRegisterAfterAFailedGpioRead) {
    DeviceBench bench;
    bench.Chip().Gpio().SetExternalLevels(0x35);
    DeviceControlTestAccess::GpioInputMask(bench.Device()) = 0x10;
    bench.FailCall(2, E_FAIL);
    BYTE data = 0xEE;
    EXPECT_EQ(bench.Device().ReadGpio(&data), S_OK);
    EXPECT_EQ(RegisterTraffic(bench.Driver().Calls()), (Traffic{"R08!", "R09=35"}));
    EXPECT_EQ(data, 0x35);
}

TEST(GpioFailures, UnboundOperationsReturnSixAndRecordNothing) {
    DeviceControl device;
    DeviceControlTestAccess::LastResult(device) = 0x1234;
    BYTE data = 0x10;
    EXPECT_EQ(device.SetGpioBits(0x10), DEVCTL_S_NOT_BOUND);
    EXPECT_EQ(DeviceControlTestAccess::GpioInputMask(device), 0x10u);  // stored before
    EXPECT_EQ(device.ReadGpio(&data), DEVCTL_S_NOT_BOUND);
    EXPECT_EQ(data, 0x10);
    EXPECT_EQ(device.WriteGpio(&data), DEVCTL_S_NOT_BOUND);
    const BYTE clearsInput = 0x00;
    EXPECT_EQ(device.WriteGpio(&clearsInput), DEVCTL_S_BUSY);
    EXPECT_EQ(device.GetLastResult(), 0x1234);
}

TEST(GpioFailures, TryFormsRecordTheStatusAndCountRefusalAsSuccess) {
    DeviceBench bench;
    DeviceControlTestAccess::GpioInputMask(bench.Device()) = 0x10;
    const BYTE clearsInput = 0x00;
    EXPECT_EQ(bench.Device().TryWriteGpio(&clearsInput), TRUE);
    EXPECT_EQ(bench.Device().GetLastResult(), DEVCTL_S_BUSY);

    bench.UnplugFromCall(1);
    BYTE data = 0;
    EXPECT_EQ(bench.Device().TryReadGpio(&data), FALSE);
    EXPECT_EQ(bench.Device().GetLastResult(), DEVCTL_E_UNPLUGGED);
    const BYTE keepsInput = 0x10;
    EXPECT_EQ(bench.Device().TryWriteGpio(&keepsInput), FALSE);
    EXPECT_EQ(bench.Device().GetLastResult(), DEVCTL_E_UNPLUGGED);
}

struct IdentityCase {
    const char* name;
    DWORD chipId;
    DWORD chipConfig;
    DWORD vendor;
    DWORD product;
};

void PrintTo(const IdentityCase& c, std::ostream* out) {
    *out << c.name;
}

// Devices without EEPROM: the chip code and the alternate bit decide.
const IdentityCase kChipIdentities[] = {
    {"Chip11", 0x11, 0x00, 0x6C3D, 0x4350},
    {"Chip12Alternate", 0x12, 0x40, 0x6C3D, 0x5931},
    {"Chip23AlternateSameProduct", 0x23, 0x40, 0x6C3D, 0x7160},
    {"Chip24Alternate", 0x24, 0x40, 0x6C3D, 0x7451},
    {"Chip44", 0x44, 0x00, 0x6C3D, 0x8027},
    {"Chip44Alternate", 0x44, 0x40, 0x6C3D, 0x7584},
    {"Chip74", 0x74, 0x40, 0x6C3D, 0x3138},
    {"UnlistedChip05", 0x05, 0x00, 0x6C3D, 0x5170},
    {"UnlistedChip05Alternate", 0x05, 0x40, 0x6C3D, 0x5171},
    {"OnlyTheLowByteIsTheChipCode", 0x7744, 0xFFFFFFBF, 0x6C3D, 0x8027},
};

class IdentifiersFromChip : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(IdentifiersFromChip, FollowTheProductTable) {
    const IdentityCase& c = GetParam();
    DeviceBench bench({}, std::nullopt);
    // The code is read afresh, not taken from what binding stored.
    bench.Chip().Identity().chipId = c.chipId;
    bench.Chip().Identity().chipConfig = c.chipConfig;
    DWORD vendor = 0;
    DWORD product = 0;
    EXPECT_EQ(bench.Device().GetVendorProductIds(&vendor, &product), S_OK);
    EXPECT_EQ(vendor, c.vendor);
    EXPECT_EQ(product, c.product);
}

INSTANTIATE_TEST_SUITE_P(Table, IdentifiersFromChip, ::testing::ValuesIn(kChipIdentities),
                         [](const ::testing::TestParamInfo<IdentityCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(Identifiers, ComeFromEepromBytes4To7WhenAnEepromAnswers) {
    DeviceBench bench({}, sim::EepromWith({{4, 0x34}, {5, 0x12}, {6, 0x78}, {7, 0x56}}));
    DWORD vendor = 0;
    DWORD product = 0;
    EXPECT_EQ(bench.Device().GetVendorProductIds(&vendor, &product), S_OK);
    EXPECT_EQ(vendor, 0x1234u);
    EXPECT_EQ(product, 0x5678u);
    const auto& calls = bench.Driver().Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], (sim::DriverCall{sim::DriverSlot::Set, CPROP_I2C_DEVICE, 0xA0, S_OK}));
    EXPECT_EQ(calls[1],
              (sim::DriverCall{sim::DriverSlot::Set, CPROP_I2C_TRANSFER, 0x01A00404, S_OK}));
}

// Each failing read leaves both outputs alone and returns its status.
struct IdentityFailure {
    const char* name;
    bool eeprom;
    DWORD failingProperty;
};

TEST(Identifiers, AFailedReadWritesNeitherOutput) {
    const IdentityFailure failures[] = {
        {"EEPROM read", true, CPROP_I2C_DATA},
        {"chip configuration", false, CPROP_CHIP_CONFIG},
        {"chip id", false, CPROP_CHIP_ID},
    };
    for (const IdentityFailure& failure : failures) {
        SCOPED_TRACE(failure.name);
        DeviceBench bench({},
                          failure.eeprom ? std::optional(sim::FreshProductEeprom()) : std::nullopt);
        bench.Driver().Faults().onProperty[failure.failingProperty] = E_FAIL;
        DWORD vendor = 0xDEAD;
        DWORD product = 0xBEEF;
        EXPECT_EQ(bench.Device().GetVendorProductIds(&vendor, &product), E_FAIL);
        EXPECT_EQ(bench.Device().GetLastResult(), E_FAIL);
        EXPECT_EQ(vendor, 0xDEADu);
        EXPECT_EQ(product, 0xBEEFu);
    }
}

TEST(Identifiers, UnboundReturnsSixAndTouchesNothing) {
    DeviceControl device;
    DeviceControlTestAccess::LastResult(device) = 0x1234;
    DWORD vendor = 0xDEAD;
    DWORD product = 0xBEEF;
    EXPECT_EQ(device.GetVendorProductIds(&vendor, &product), DEVCTL_S_NOT_BOUND);
    EXPECT_EQ(vendor, 0xDEADu);
    EXPECT_EQ(product, 0xBEEFu);
    EXPECT_EQ(device.GetLastResult(), 0x1234);
}

}  // namespace
