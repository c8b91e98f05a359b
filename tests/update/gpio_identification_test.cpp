// GPIO and device identification, as the update uses them: what the driver
// was sent and the GPIO register holds, what is returned and recorded.
#include <optional>
#include <vector>

#include "simdevice/chip/gpio.h"
#include "tests/common/driver_log.h"
#include "tests/common/test_support.h"

namespace {

using TA = DeviceControlTestAccess;
using sim::CallOf;
using sim::DriverSlot;

const CallOf kGpioRead = {DriverSlot::Get, CPROP_REG_DATA, 1};
const CallOf kInputRead = {DriverSlot::Get, CPROP_REG_DATA, 2};  // the later chip's second read
const CallOf kGpioWrite = {DriverSlot::Set, CPROP_REG_DATA, 1};
const std::optional<CallOf> kNoFault;
constexpr HRESULT kUntouched = 42;  // the last result before each operation

// The chip, its GPIO register and the levels the board drives on its pins.
struct Chip {
    DWORD chipId;
    BYTE latch, levels;
    static Chip Older(BYTE latch, BYTE levels = 0xFF) { return {0x24, latch, levels}; }
    static Chip Later(BYTE latch, BYTE levels = 0xFF) { return {0x44, latch, levels}; }
};

// A GPIO operation, the input mask it runs with (SetBits: its argument, else
// the mask held) and its byte: what a write writes, a read's buffer before.
struct Gpio {
    using D = DeviceControl;
    HRESULT (*run)(D&, DWORD mask, BYTE* byte);
    DWORD mask;
    BYTE byte;
    static HRESULT Bits(D& d, DWORD mask, BYTE*) { return d.SetGpioBits(mask); }
    template <auto call>
    static HRESULT On(D& d, DWORD, BYTE* byte) {
        return (d.*call)(byte);
    }
    static Gpio SetBits(DWORD mask) { return {Bits, mask, 0}; }
    static Gpio Write(BYTE byte, DWORD mask) { return {On<&D::WriteGpio>, mask, byte}; }
    static Gpio TryWrite(BYTE byte, DWORD mask) { return {On<&D::TryWriteGpio>, mask, byte}; }
    static Gpio Read(DWORD mask) { return {On<&D::ReadGpio>, mask, 0xEE}; }
    static Gpio TryRead(DWORD mask) { return {On<&D::TryReadGpio>, mask, 0xEE}; }
};

struct GpioRow {
    Chip chip;
    Gpio op;
    std::optional<CallOf> failing;  // answers E_FAIL
    HRESULT result, last;           // last: the last result after
    const char* calls;
    BYTE after;  // a write's GPIO register after it, a read's byte
};

// Each row's results, driver calls and input mask after; a write leaves its
// byte as it was, a read the GPIO register.
void ExpectGpio(const std::vector<GpioRow>& rows, bool write) {
    for (const GpioRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &row - rows.data() << ": " << row.calls);
        SimBound b(sim::ChipIdentity{row.chip.chipId});
        b.chip->Gpio().SetLatch(row.chip.latch);
        b.chip->Gpio().SetExternalLevels(row.chip.levels);
        TA::GpioInputMask(b.dc) = row.op.run == Gpio::Bits ? 0x55 : row.op.mask;
        TA::LastResult(b.dc) = kUntouched;
        if (row.failing) {
            b.driver->Faults().onCall[*row.failing] = E_FAIL;
        }
        BYTE byte = row.op.byte;
        EXPECT_EQ(row.op.run(b.dc, row.op.mask, &byte), row.result);
        EXPECT_EQ(b.dc.GetLastResult(), row.last);
        EXPECT_EQ(DescribeDriverLog(b.driver->Calls()), row.calls);
        EXPECT_EQ(TA::GpioInputMask(b.dc), row.op.mask);
        EXPECT_EQ(byte, write ? row.op.byte : row.after);
        EXPECT_EQ(b.chip->Gpio().Latch(), write ? row.after : row.chip.latch);
    }
}

// Writes keep the input bits of the mask; reads tell the input levels.
TEST(Device, GpioInputMaskCases) {
    // clang-format off
    ExpectGpio({
        {Chip::Later(0x21), Gpio::SetBits(0x010), kNoFault, S_OK, S_OK, "R80=21 W80=31", 0x31},
        // A failed read writes nothing (a guessed byte would drive the outputs);
        // its status is returned and the whole mask is kept.
        {Chip::Older(0x5A), Gpio::SetBits(0x1F3), kGpioRead, E_FAIL, E_FAIL, "R08=00!E_FAIL Set:REG_SELECT=0", 0x5A},
        {Chip::Older(0x10), Gpio::Write(0x0F, 0x010), kNoFault, DEVCTL_S_BUSY, kUntouched, "", 0x10},
        // The mask's low byte alone counts.
        {Chip::Later(0x10), Gpio::Write(0x1F, 0x310), kNoFault, S_OK, S_OK, "W80=1F", 0x1F},
        // The Try forms record the status and count the refusal 5 as success.
        {Chip::Older(0x10), Gpio::TryWrite(0x0F, 0x010), kNoFault, TRUE, DEVCTL_S_BUSY, "", 0x10},
        {Chip::Later(0x10), Gpio::TryWrite(0x1F, 0x010), kNoFault, TRUE, S_OK, "W80=1F", 0x1F},
        {Chip::Older(0x10), Gpio::TryWrite(0x1F, 0x010), kGpioWrite, FALSE, E_FAIL, "W08=1F!E_FAIL Set:REG_SELECT=0", 0x10},
    }, true);
    ExpectGpio({
        {Chip::Older(0x00), Gpio::Read(0x010), kNoFault, DEVCTL_S_BUSY, S_OK, "R08=00", 0xEE},
        {Chip::Later(0x1C, 0x14), Gpio::Read(0x004), kNoFault, S_OK, S_OK, "R80=1C R84=14", 0x14},
        {Chip::Older(0xFF, 0x35), Gpio::Read(0x010), kGpioRead, S_OK, S_OK, "R08=00!E_FAIL Set:REG_SELECT=0 R09=35", 0x35},
        {Chip::Older(0x00), Gpio::TryRead(0x010), kNoFault, TRUE, DEVCTL_S_BUSY, "R08=00", 0xEE},
        {Chip::Later(0x1C, 0x14), Gpio::TryRead(0x004), kNoFault, TRUE, S_OK, "R80=1C R84=14", 0x14},
        {Chip::Later(0x1C, 0x14), Gpio::TryRead(0x004), kInputRead, FALSE, E_FAIL, "R80=1C R84=00!E_FAIL Set:REG_SELECT=0", 0xEE},
    }, false);
    // clang-format on
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
