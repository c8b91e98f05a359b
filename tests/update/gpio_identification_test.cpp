// GPIO and device identification, as the update uses them: what the driver
// was sent and the GPIO register holds, what is returned and recorded.
#include <optional>

#include "simdevice/chip/gpio.h"
#include "tests/common/driver_log.h"
#include "tests/common/test_support.h"

namespace {

using TA = DeviceControlTestAccess;
using sim::CallOf;
using sim::DriverSlot;

const CallOf kGpioRead = {DriverSlot::Get, CPROP_REG_DATA, 1};

TEST(Device, GpioInputMaskCases) {
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
    const Row rows[] = {
        {0x44, 0x21, 0xFF, 0x010, G::SetBits, 0, {}, S_OK, S_OK, "R80=21 W80=31", 0, 0x31},
        // A failed read writes nothing (a guessed byte would drive the outputs);
        // its status is returned and the whole mask is kept.
        {0x24, 0x5A, 0xFF, 0x1F3, G::SetBits, 0, kGpioRead, E_FAIL, E_FAIL, "R08=00!E_FAIL Set:REG_SELECT=0", 0, 0x5A},
        {0x24, 0x10, 0xFF, 0x010, G::Write, 0x0F, {}, DEVCTL_S_BUSY, 42, "", 0x0F, 0x10},
        // The mask's low byte alone counts.
        {0x44, 0x10, 0xFF, 0x310, G::Write, 0x1F, {}, S_OK, S_OK, "W80=1F", 0x1F, 0x1F},
        {0x24, 0x00, 0xFF, 0x010, G::Read, 0xEE, {}, DEVCTL_S_BUSY, S_OK, "R08=00", 0xEE, 0x00},
        {0x44, 0x1C, 0x14, 0x004, G::Read, 0xEE, {}, S_OK, S_OK, "R80=1C R84=14", 0x14, 0x1C},
        {0x24, 0xFF, 0x35, 0x010, G::Read, 0xEE, kGpioRead, S_OK, S_OK, "R08=00!E_FAIL Set:REG_SELECT=0 R09=35", 0x35, 0xFF},
        // The Try forms record the status and count the refusal 5 as success.
        {0x24, 0x10, 0xFF, 0x010, G::TryWrite, 0x0F, {}, TRUE, DEVCTL_S_BUSY, "", 0x0F, 0x10},
        {0x44, 0x10, 0xFF, 0x010, G::TryWrite, 0x1F, {}, TRUE, S_OK, "W80=1F", 0x1F, 0x1F},
        {0x24, 0x10, 0xFF, 0x010, G::TryWrite, 0x1F, gpioWrite, FALSE, E_FAIL, "W08=1F!E_FAIL Set:REG_SELECT=0", 0x1F, 0x10},
        {0x24, 0x00, 0xFF, 0x010, G::TryRead, 0xEE, {}, TRUE, DEVCTL_S_BUSY, "R08=00", 0xEE, 0x00},
        {0x44, 0x1C, 0x14, 0x004, G::TryRead, 0xEE, {}, TRUE, S_OK, "R80=1C R84=14", 0x14, 0x1C},
        {0x44, 0x1C, 0x14, 0x004, G::TryRead, 0xEE, inputRead, FALSE, E_FAIL, "R80=1C R84=00!E_FAIL Set:REG_SELECT=0", 0xEE, 0x1C},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &row - rows << ": " << row.events);
        SimBound b(sim::ChipIdentity{row.chipId});
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
        EXPECT_EQ(DescribeDriverLog(b.driver->Calls()), row.events);
        EXPECT_EQ(TA::GpioInputMask(b.dc), row.mask);
        EXPECT_EQ(byte, row.dataAfter);
        EXPECT_EQ(b.chip->Gpio().Latch(), row.latchAfter);
    }
}

// Identifiers come from EEPROM bytes 4-7 when an EEPROM answers, else by the
// chip code (read afresh) and its alternate bit; no output is written after a
// failed read.
TEST(Device, ProductIdentifiers) {
    struct Identifiers {
        bool eeprom;
        DWORD chipId, chipConfig;
        DWORD failingProperty;  // with E_FAIL; 0: none
        DWORD vendor, product;  // 1 and 2 before
    };
    // clang-format off
    const Identifiers identifiers[] = {
        {true, 0x44, 0x40, 0, 0x6C3D, 0x7450},
        {true, 0x44, 0x40, CPROP_I2C_DATA, 1, 2},
        {false, 0x44, 0x40, 0, 0x6C3D, 0x7584},
        {false, 0x05, 0x40, 0, 0x6C3D, 0x5171},  // any other code
        {false, 0x7744, 0xFFFFFFBF, 0, 0x6C3D, 0x8027},  // the low byte; bit 6 alone counts
        {false, 0x44, 0x40, CPROP_CHIP_CONFIG, 1, 2},
        {false, 0x44, 0x40, CPROP_CHIP_ID, 1, 2},
    };
    // clang-format on
    for (const Identifiers& row : identifiers) {
        SCOPED_TRACE(::testing::Message() << "row " << &row - identifiers);
        SimBound b({}, row.eeprom ? std::optional(sim::FreshProductEeprom()) : std::nullopt);
        b.chip->Identity() = sim::ChipIdentity{row.chipId, row.chipConfig};
        if (row.failingProperty) {
            b.driver->Faults().onProperty[row.failingProperty] = E_FAIL;
        }
        DWORD ids[2] = {1, 2};
        const HRESULT expected = row.failingProperty ? E_FAIL : S_OK;
        EXPECT_EQ(b.dc.GetVendorProductIds(&ids[0], &ids[1]), expected);
        EXPECT_EQ(b.dc.GetLastResult(), expected);
        EXPECT_EQ(ids[0] << 16 | ids[1], row.vendor << 16 | row.product);
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

}  // namespace
