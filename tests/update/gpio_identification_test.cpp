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

// A bound chip of the given code with its GPIO port and input mask set up.
struct GpioBench : DeviceBench {
    GpioBench(DWORD chipId, BYTE latch, DWORD inputMask, BYTE levels = 0xFF)
        : DeviceBench(IdentityOf(chipId)) {
        Chip().Gpio().SetLatch(latch);
        Chip().Gpio().SetExternalLevels(levels);
        DeviceControlTestAccess::GpioInputMask(Device()) = inputMask;
    }
    static sim::ChipIdentity IdentityOf(DWORD chipId) {
        sim::ChipIdentity identity;
        identity.chipId = chipId;
        return identity;
    }
    Traffic RegisterTraffic() { return ::RegisterTraffic(Driver().Calls()); }
    DWORD InputMask() { return DeviceControlTestAccess::GpioInputMask(Device()); }
};

TEST(Gpio, SetGpioBitsRewritesTheRegisterWithTheMaskOrredIn) {
    struct {
        DWORD chip;
        BYTE latch;
        DWORD mask;
        Traffic traffic;
    } const cases[] = {
        {kOlderChip, 0x5A, 0, {"R08=5A", "W08=5A"}},
        {kLaterChip, 0x21, 0x10, {"R80=21", "W80=31"}},
        {kOlderChip, 0x0F, 0x1F0, {"R08=0F", "W08=FF"}},  // only the low byte is ORed in
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.traffic.back());
        GpioBench bench(c.chip, c.latch, 0x55);
        EXPECT_EQ(bench.Device().SetGpioBits(c.mask), S_OK);
        EXPECT_EQ(bench.RegisterTraffic(), c.traffic);
        EXPECT_EQ(bench.InputMask(), c.mask);  // the whole mask is kept
    }
}

TEST(Gpio, WriteGpioRefusesAByteThatClearsAnInputBit) {
    struct {
        DWORD chip;
        DWORD mask;
        BYTE value;
        HRESULT status;
        Traffic traffic;
    } const cases[] = {
        {kOlderChip, 0x10, 0x0F, DEVCTL_S_BUSY, {}},
        {kOlderChip, 0x10, 0x1F, S_OK, {"W08=1F"}},
        {kLaterChip, 0x00, 0xA5, S_OK, {"W80=A5"}},
        {kOlderChip, 0x300, 0x00, S_OK, {"W08=00"}},  // mask bits above the low byte don't count
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        GpioBench bench(c.chip, 0x10, c.mask);
        EXPECT_EQ(bench.Device().WriteGpio(&c.value), c.status);
        EXPECT_EQ(bench.RegisterTraffic(), c.traffic);
    }
}

TEST(Gpio, ReadGpioReadsTheInputsOnlyWhileTheyAreReleased) {
    struct {
        DWORD chip;
        BYTE latch;
        BYTE levels;
        DWORD mask;
        HRESULT status;
        Traffic traffic;
        BYTE data;
    } const cases[] = {
        {kOlderChip, 0x00, 0xFF, 0x10, DEVCTL_S_BUSY, {"R08=00"}, 0xEE},
        {kOlderChip, 0xF0, 0x35, 0x10, S_OK, {"R08=F0", "R09=30"}, 0x30},
        {kLaterChip, 0x1C, 0x14, 0x04, S_OK, {"R80=1C", "R84=14"}, 0x14},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.traffic.back());
        GpioBench bench(c.chip, c.latch, c.mask, c.levels);
        BYTE data = 0xEE;
        EXPECT_EQ(bench.Device().ReadGpio(&data), c.status);
        EXPECT_EQ(bench.RegisterTraffic(), c.traffic);
        EXPECT_EQ(data, c.data);
    }
}

TEST(Gpio, AFailedGpioRegisterReadDoesNotStopTheOperation) {
    GpioBench setBits(kOlderChip, 0x5A, 0);
    setBits.FailCall(2, E_FAIL);  // the data get of the register read
    EXPECT_EQ(setBits.Device().SetGpioBits(0x03), S_OK);
    // The byte the read was to fill still held the mask's low byte.
    EXPECT_EQ(setBits.RegisterTraffic(), (Traffic{"R08!", "W08=03"}));

    GpioBench read(kOlderChip, 0xFF, 0x10, 0x35);
    read.FailCall(2, E_FAIL);
    BYTE data = 0;
    EXPECT_EQ(read.Device().ReadGpio(&data), S_OK);
    EXPECT_EQ(read.RegisterTraffic(), (Traffic{"R08!", "R09=35"}));
}

TEST(Gpio, TryFormsRecordTheStatusAndCountTheRefusalAsSuccess) {
    GpioBench bench(kOlderChip, 0xFF, 0x10);
    const BYTE clearsInput = 0x00;
    EXPECT_EQ(bench.Device().TryWriteGpio(&clearsInput), TRUE);
    EXPECT_EQ(bench.Device().GetLastResult(), DEVCTL_S_BUSY);
    bench.UnplugFromCall(1);
    BYTE data = 0;
    EXPECT_EQ(bench.Device().TryReadGpio(&data), FALSE);
    EXPECT_EQ(bench.Device().GetLastResult(), DEVCTL_E_UNPLUGGED);
}

TEST(Gpio, UnboundOperationsReturnSixAndRecordNothing) {
    DeviceControl device;
    DeviceControlTestAccess::LastResult(device) = 0x1234;
    BYTE data = 0x10;
    EXPECT_EQ(device.SetGpioBits(0x10), DEVCTL_S_NOT_BOUND);
    EXPECT_EQ(DeviceControlTestAccess::GpioInputMask(device), 0x10u);  // stored before
    EXPECT_EQ(device.ReadGpio(&data), DEVCTL_S_NOT_BOUND);
    EXPECT_EQ(device.WriteGpio(&data), DEVCTL_S_NOT_BOUND);
    EXPECT_EQ(data, 0x10);
    EXPECT_EQ(device.GetLastResult(), 0x1234);
}

TEST(Identifiers, WithoutEepromFollowTheChipCodeAndTheAlternateBit) {
    struct {
        DWORD chipId;
        DWORD chipConfig;
        DWORD product;
    } const cases[] = {
        {0x11, 0x00, 0x4350},         {0x12, 0x40, 0x5931}, {0x23, 0x40, 0x7160},
        {0x24, 0x40, 0x7451},         {0x44, 0x00, 0x8027}, {0x44, 0x40, 0x7584},
        {0x74, 0x40, 0x3138},         {0x05, 0x00, 0x5170}, {0x05, 0x40, 0x5171},
        {0x7744, 0xFFFFFFBF, 0x8027},  // the chip code is the low byte; only bit 6 counts
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.product);
        DeviceBench bench({}, std::nullopt);
        // The code is read afresh, not taken from what binding stored.
        bench.Chip().Identity().chipId = c.chipId;
        bench.Chip().Identity().chipConfig = c.chipConfig;
        DWORD vendor = 0;
        DWORD product = 0;
        EXPECT_EQ(bench.Device().GetVendorProductIds(&vendor, &product), S_OK);
        EXPECT_EQ(vendor, 0x6C3Du);
        EXPECT_EQ(product, c.product);
    }
}

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

TEST(Identifiers, AFailedReadWritesNeitherOutput) {
    struct {
        bool eeprom;
        DWORD failingProperty;
    } const cases[] = {{true, CPROP_I2C_DATA}, {false, CPROP_CHIP_CONFIG}, {false, CPROP_CHIP_ID}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failingProperty);
        DeviceBench bench({}, c.eeprom ? std::optional(sim::FreshProductEeprom()) : std::nullopt);
        bench.Driver().Faults().onProperty[c.failingProperty] = E_FAIL;
        DWORD vendor = 0xDEAD;
        DWORD product = 0xBEEF;
        EXPECT_EQ(bench.Device().GetVendorProductIds(&vendor, &product), E_FAIL);
        EXPECT_EQ(bench.Device().GetLastResult(), E_FAIL);
        EXPECT_EQ(vendor, 0xDEADu);
        EXPECT_EQ(product, 0xBEEFu);
    }
    DeviceControl unbound;
    DWORD vendor = 0xDEAD;
    EXPECT_EQ(unbound.GetVendorProductIds(&vendor, &vendor), DEVCTL_S_NOT_BOUND);
    EXPECT_EQ(vendor, 0xDEADu);
    EXPECT_EQ(unbound.GetLastResult(), S_OK);
}

}  // namespace
