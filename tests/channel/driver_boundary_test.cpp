// The driver boundary: whatever selection the driver holds when it moves
// data (its own, one our select did not replace, another program's), no
// byte outside the caller's buffer is written or read. Every buffer handed
// over sits between guard bytes; and the transfer words that tools let a
// user choose are refused when a driver could read them as another transfer.
#include <string>
#include <vector>

#include "devctl/i2c_layout.h"
#include "tests/common/guarded_buffer.h"
#include "tests/common/test_support.h"

using sim::DriverSlot;
using testsupport::GuardedBuffer;

namespace {

// The largest selection of each data property a driver can hold: 255
// register bytes from index 0, and a long I2C transfer of 0xFF7F bytes at the
// EEPROM's sub-address 1 (the largest count a word reads as).
constexpr DWORD kLargestRegisterSelect = 0x000000FF;
const struct Selection {
    DWORD selectId, dataId, largest;
} kSelections[] = {
    {CPROP_REG_SELECT, CPROP_REG_DATA, kLargestRegisterSelect},
    {CPROP_ALT_REG_SELECT, CPROP_ALT_REG_DATA, 0x000000FF},
    {CPROP_I2C_TRANSFER, CPROP_I2C_DATA, 0xFFA0017F},
};
constexpr unsigned kCallsCovered = 16;  // more data calls than any operation makes

enum class DriverAnswer {
    Honest,
    // The driver holds another program's largest selection, and every
    // select of ours answers 0 without taking effect.
    SelectIgnored,
    // Just before each data Get or Set, another program selects the largest.
    SelectionChangedBeforeData,
};

void Prepare(SimBound& bound, DriverAnswer answer) {
    for (const Selection& s : kSelections) {
        for (unsigned nth = 1; nth <= kCallsCovered; ++nth) {
            if (answer == DriverAnswer::SelectIgnored) {
                bound.driver->Faults().onCall[{DriverSlot::Set, s.selectId, nth}] = S_OK;
            } else if (answer == DriverAnswer::SelectionChangedBeforeData) {
                bound.driver->Faults().foreignSelectionBefore[{DriverSlot::Get, s.dataId, nth}] =
                    s.largest;
                bound.driver->Faults().foreignSelectionBefore[{DriverSlot::Set, s.dataId, nth}] =
                    s.largest;
            }
        }
        if (answer == DriverAnswer::SelectIgnored) {
            bound.chip->Set(s.selectId, &s.largest);
        }
    }
}

// An operation on a caller's buffer of the size the library asks of a caller.
using Operation = HRESULT (*)(DeviceControl&, BYTE*);
// clang-format off
#define OP(call) #call, [](DeviceControl& d, BYTE* buffer) { (void)buffer; return static_cast<HRESULT>(d.call); }
// clang-format on
#define AS(type) reinterpret_cast<type>(buffer)

struct BufferCase {
    const char* name;
    Operation operation;
    size_t callerBytes;  // reads: at least the count and 4; writes: the count; typed: its size
};

// clang-format off
const BufferCase kBufferCases[] = {
    {OP(ReadRegisters(0x100, 1, buffer)), 4},
    {OP(ReadRegisters(0x100, 6, buffer)), 6},
    {OP(WriteRegisters(0x100, 1, buffer)), 1},
    {OP(ReadAltRegisters(0x10, 2, buffer)), 4},
    {OP(WriteAltRegisters(0x10, 3, buffer)), 3},
    {OP(ReadI2cDirect(0xA0, 1, buffer)), 4},
    {OP(WriteI2cDirect(0xA0, 2, buffer)), 2},
    {OP(ReadI2c(0xA0, 0x7A, 1, buffer)), 4},
    {OP(ReadI2c(0xA0, 0x10, 0x20, buffer)), 0x20},
    {OP(WriteI2c(0xA0, 0x08, 1, buffer)), 1},
    {OP(ReadI2c16(0xA0, 0x0230, 3, buffer)), 4},
    {OP(ReadI2c16(0xA0, 0x0230, 0x83, buffer)), 4},  // the count cut to the layout's 7 bits
    {OP(WriteI2c16(0xA0, 0x0230, 2, buffer)), 2},
    {OP(ReadI2cLong(0xA0, 0x10, 0x30, buffer)), 0x30},
    {OP(WriteI2cLong(0xA0, 0x10, 5, buffer)), 5},
    {OP(TransferI2c(0x01A00802, buffer, 0)), 4},
    // The remote-control alias: the key and the acknowledge read beside it.
    {OP(ReadI2cDirect(0x30, 4, buffer)), 4},
    {OP(ReadI2c(0x30, 0, 1, buffer)), 4},
    {OP(SetGpioBits(0x0F)), 0},
    {OP(ReadGpio(AS(BYTE*))), 1},
    {OP(WriteGpio(AS(BYTE*))), 1},
    {OP(GetVendorProductIds(AS(DWORD*), AS(DWORD*) + 1)), 8},
    {OP(ReadAc97(0x02, AS(WORD*))), 2},
    {OP(WriteAc97(0x02, AS(WORD*))), 2},
    {OP(ReadRemoteCode(AS(DWORD*))), 4},
    {OP(ReadRemoteKey(AS(DWORD*))), 4},
    {OP(ReadRemoteCode5(buffer)), 5},
    {OP(ReadRegister04(AS(BYTE*))), 1},
    {OP(WriteRegister04(AS(BYTE*))), 1},
    {OP(SetRegister0D()), 0},
    {OP(ClearRegister0CBit5()), 0},
};
// clang-format on

TEST(DriverBoundary, NoDriverAnswerReachesPastTheCallersBuffer) {
    const struct {
        const char* name;
        DriverAnswer answer;
    } answers[] = {
        {"honest driver", DriverAnswer::Honest},
        {"select answers 0 without effect", DriverAnswer::SelectIgnored},
        {"another program selects before the data call", DriverAnswer::SelectionChangedBeforeData},
    };
    sim::ChipIdentity identity;
    identity.remoteI2cAddress = 0x30;
    for (const auto& answer : answers) {
        for (const BufferCase& row : kBufferCases) {
            SCOPED_TRACE(std::string(answer.name) + ": " + row.name);
            SimBound bound(identity);
            Prepare(bound, answer.answer);
            GuardedBuffer buffer(row.callerBytes);
            row.operation(bound.dc, buffer.Data());
            EXPECT_TRUE(buffer.IntactGuards());
        }
    }
}

// A null buffer reaches the driver as null, as it always did: the driver
// refuses it, and nothing is copied to or from it.
TEST(DriverBoundary, ANullBufferReachesTheDriverAsNull) {
    SimBound bound;
    EXPECT_EQ(bound.dc.ReadRegisters(0x100, 1, nullptr), E_POINTER);
    EXPECT_EQ(bound.dc.WriteI2c(0xA0, 0x08, 1, nullptr), E_POINTER);
    EXPECT_EQ(bound.dc.ReadI2cLong(0xA0, 0x10, 0x20, nullptr), E_POINTER);
}

// A write under a larger selection hands the driver our bytes and zeros after
// them, never the caller's memory beyond the count.
TEST(DriverBoundary, AWriteUnderALargerSelectionSendsZerosPastTheCount) {
    SimBound bound;
    Prepare(bound, DriverAnswer::SelectionChangedBeforeData);
    GuardedBuffer value(1);
    value.Data()[0] = 0x77;
    ASSERT_EQ(bound.dc.WriteRegisters(0x100, 1, value.Data()), S_OK);
    EXPECT_EQ(bound.chip->Register(0), 0x77);
    for (WORD index = 1; index < kLargestRegisterSelect; ++index) {
        ASSERT_EQ(bound.chip->Register(index), 0) << "register " << index;
    }
}

// A read hands back the counted bytes and, up to 4, the whole 32-bit word;
// past that the caller's bytes stay as they were.
TEST(DriverBoundary, AReadHandsBackTheCountedBytesOrTheWholeWord) {
    const struct {
        const char* what;
        DriverAnswer answer;
        DWORD count;             // read from register 0x100
        std::vector<BYTE> seen;  // the caller's buffer (of this size) after
    } rows[] = {
        // clang-format off
        // The foreign selection reads from register 0: the driver delivered 255 bytes.
        {"6 bytes under a foreign selection", DriverAnswer::SelectionChangedBeforeData, 6, {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6}},
        {"1 byte under a foreign selection: the whole word", DriverAnswer::SelectionChangedBeforeData, 1, {0xA1, 0xA2, 0xA3, 0xA4}},
        // The simulated driver moves only the count.
        {"1 byte from an honest driver", DriverAnswer::Honest, 1, {0xB1, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SimBound bound;
        for (WORD index = 0; index < 8; ++index) {
            bound.chip->SetRegister(index, static_cast<BYTE>(0xA1 + index));
            bound.chip->SetRegister(static_cast<WORD>(0x100 + index),
                                    static_cast<BYTE>(0xB1 + index));
        }
        Prepare(bound, row.answer);
        GuardedBuffer buffer(row.seen.size());
        ASSERT_EQ(bound.dc.ReadRegisters(0x100, row.count, buffer.Data()), S_OK);
        EXPECT_EQ(std::vector<BYTE>(buffer.Data(), buffer.Data() + row.seen.size()), row.seen);
        EXPECT_TRUE(buffer.IntactGuards());
    }
}

// Which words the tools may send: those every driver reads as the transfer
// asked for, whatever order it checks the layouts in.
TEST(I2cLayoutWords, AmbiguousWordsAreNamedWithTheOtherTransfer) {
    const struct {
        I2cLayout layout;
        DWORD subAddress;
        DWORD count;
        const char* refusal;  // empty: the word is unambiguous
    } rows[] = {
        // clang-format off
        {I2cLayout::Direct, 0, 0x7F, ""},
        {I2cLayout::Direct, 0, 0x80, "direct transfer of 0x80 bytes on 0xA0 would send the word 0x00A00080, which is also a 16-bit sub-address transfer of 0x0 bytes at 0x0000; nothing was sent"},
        {I2cLayout::SubAddress8, 0xFF, 0x7F, ""},
        {I2cLayout::SubAddress8, 0x10, 0x80, "8-bit sub-address transfer of 0x80 bytes at 0x10 on 0xA0 would send the word 0x01A01080, which is also a 16-bit sub-address transfer of 0x0 bytes at 0x0110; nothing was sent"},
        {I2cLayout::SubAddress16, 0x0130, 1, "16-bit sub-address transfer of 0x1 byte at 0x0130 on 0xA0 would send the word 0x01A03081, which is also an 8-bit sub-address transfer of 0x81 bytes at 0x30; nothing was sent"},
        {I2cLayout::SubAddress16, 0x0000, 2, "16-bit sub-address transfer of 0x2 bytes at 0x0000 on 0xA0 would send the word 0x00A00082, which is also a direct transfer of 0x82 bytes; nothing was sent"},
        {I2cLayout::SubAddress16, 0x00FF, 0x7F, ""},
        {I2cLayout::SubAddress16, 0x0200, 1, ""},
        {I2cLayout::SubAddress16, 0x1234, 0x80, "16-bit sub-address transfer of 0x80 bytes at 0x1234 on 0xA0 would send the word 0x12A03480, which is also a 16-bit sub-address transfer of 0x0 bytes at 0x1234; nothing was sent"},
        {I2cLayout::Long, 0x10, 0x7F, ""},
        {I2cLayout::Long, 0x10, 0x0200, ""},
        {I2cLayout::Long, 0x10, 0x80, "long transfer of 0x80 bytes at 0x10 on 0xA0 would send the word 0x00A01080, which is also a 16-bit sub-address transfer of 0x0 bytes at 0x0010; nothing was sent"},
        {I2cLayout::Long, 0x10, 0x0123, "long transfer of 0x123 bytes at 0x10 on 0xA0 would send the word 0x01A01023, which is also an 8-bit sub-address transfer of 0x23 bytes at 0x10; nothing was sent"},
        {I2cLayout::Long, 0x00, 0x10, "long transfer of 0x10 bytes at 0x00 on 0xA0 would send the word 0x00A00010, which is also a direct transfer of 0x10 bytes; nothing was sent"},
        // clang-format on
    };
    for (const auto& row : rows) {
        const I2cTransferMeaning transfer = {row.layout, 0xA0, row.subAddress, row.count};
        char text[256];
        DescribeAmbiguousI2cWord(transfer, text, sizeof text);
        EXPECT_EQ(std::string(text), row.refusal);
        EXPECT_EQ(IsI2cWordUnambiguous(transfer, nullptr), row.refusal[0] == '\0') << row.refusal;
    }
}

// A refused word reaches no driver, and the library's own words are those the
// layout table gives.
TEST(I2cLayoutWords, TransferByLayoutSendsOnlyUnambiguousWords) {
    SimBound bound;
    GuardedBuffer buffer(4);
    EXPECT_EQ(TransferI2cByLayout(bound.dc, {I2cLayout::Long, 0xA0, 0, 0x10}, buffer.Data(), FALSE),
              DEVCTL_S_INVALID_PARAMETER);
    EXPECT_TRUE(bound.driver->Calls().empty());
    EXPECT_EQ(TransferI2cByLayout(bound.dc, {I2cLayout::SubAddress16, 0xA0, 0x0208, 1},
                                  buffer.Data(), FALSE),
              S_OK);
    ASSERT_FALSE(bound.driver->Calls().empty());
    EXPECT_EQ(bound.driver->Calls()[0].word, 0x02A00881u);
    EXPECT_EQ(buffer[0], bound.chip->Eeprom()->Bytes()[0x08]);
    EXPECT_TRUE(buffer.IntactGuards());
}

}  // namespace
