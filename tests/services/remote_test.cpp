// The remote-control receiver: key decoding in both chip generations, code
// reads into caller buffers, and the alias on the I2C reads.
#include "tests/services/services_fixture.h"

#include <cstring>
#include <iterator>
#include <optional>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

constexpr DWORD kOurRemote = 0x40;
constexpr DWORD kRemoteI2c = 0x30;

// One sequence of received frames, read one step at a time. key and toggle:
// what ReadRemoteKey reports on the older chip and the toggle it then keeps
// (the decoder filters on address kOurRemote). code: what ReadRemoteCode
// reports in both generations; it always takes the toggle from bit 7.
struct Step {
    const char* what;
    std::optional<sim::RemoteCode> frame;
    DWORD key;
    DWORD toggle;
    DWORD code;
};
const Step kSequence[] = {
    {"new key", sim::RemoteCode{true, 0x40, 0x15}, 0x15, 0x80, 0x154081},
    {"held", sim::RemoteCode{true, 0x40, 0x15}, 254, 0x80, 0x154081},
    {"none", std::nullopt, 255, 0x80, 0x154080},
    {"new key 0xFE", sim::RemoteCode{false, 0x40, 0xFE}, 255, 0x00, 0xFE4001},
    {"other remote", sim::RemoteCode{true, 0x41, 0x20}, 255, 0x00, 0x204181},
    {"new key after it", sim::RemoteCode{true, 0x40, 0x20}, 0x20, 0x80, 0x204081},
    {"new key 0xFF", sim::RemoteCode{false, 0x40, 0xFF}, 255, 0x00, 0xFF4001},
    {"new key 0", sim::RemoteCode{true, 0x40, 0x00}, 0x00, 0x80, 0x004081},
    {"new key 253", sim::RemoteCode{false, 0x40, 0xFD}, 0xFD, 0x00, 0xFD4001},
    {"none again", std::nullopt, 255, 0x00, 0xFD4000},
};

class RemoteTest : public ServicesTest {
  protected:
    void Queue(const Step& step) {
        if (step.frame) {
            chip->RemoteReceiver().Queue(*step.frame);
        }
    }
};

TEST_F(RemoteTest, KeyDecodingOnTheOlderChip) {
    BindChip(kOlderChip, kOurRemote);
    for (const Step& step : kSequence) {
        SCOPED_TRACE(step.what);
        Queue(step);
        DWORD key = 0xDEAD;
        EXPECT_EQ(dc.ReadRemoteKey(&key), S_OK);
        EXPECT_EQ(key, step.key);
        EXPECT_EQ(Toggle(), step.toggle);
    }
    EXPECT_EQ(CountOf("R44=00") + CountOf("R44=01"), std::size(kSequence));
}

TEST_F(RemoteTest, CodeReadsInBothGenerations) {
    for (const DWORD chipId : {kOlderChip, kLaterChip}) {
        SCOPED_TRACE(chipId == kOlderChip ? "older chip" : "later chip");
        BindChip(chipId, kOurRemote);
        for (const Step& step : kSequence) {
            SCOPED_TRACE(step.what);
            Queue(step);
            DWORD code = 0xDEADBEEF;
            EXPECT_EQ(dc.ReadRemoteCode(&code), S_OK);
            EXPECT_EQ(code, step.code);
            EXPECT_EQ(Toggle(), step.code & 0x80);
        }
        const size_t expected = chipId == kOlderChip ? 2 : 1;
        EXPECT_EQ(Trace().size(), expected * std::size(kSequence)) << "0x44 only on the older chip";
    }
}

TEST_F(RemoteTest, KeyWithoutAddressFilterAcceptsEveryRemote) {
    BindChip(kOlderChip, 0);
    chip->QueueRemoteCode(true, 0x41, 0x15);
    DWORD key = 0;
    EXPECT_EQ(dc.ReadRemoteKey(&key), S_OK);
    EXPECT_EQ(key, 0x15u);
}

// A failed code read reads as no key and keeps the toggle; the status is the
// one of the 0x44 read that follows.
TEST_F(RemoteTest, FailedCodeReadIsNoKey) {
    BindChip(kOlderChip);
    Toggle() = 0x80;
    chip->QueueRemoteCode(false, 0, 0x15);
    driver->Faults().atCall[driver->CallCount() + 2] = E_FAIL;
    DWORD key = 0;
    EXPECT_EQ(dc.ReadRemoteKey(&key), S_OK);
    EXPECT_EQ(key, 255u);
    EXPECT_EQ(Toggle(), 0x80u);
    EXPECT_THAT(Trace(), ElementsAre("R45=00000000!", "Sel=00000000", "R44=01"));
}

TEST_F(RemoteTest, GetRemoteCodeLengths) {
    struct Case {
        DWORD chipId;
        DWORD capacity;
        HRESULT expected;
        DWORD length;
        const char* read;  // the driver call that read the code
    };
    const Case cases[] = {
        {kOlderChip, 2, DEVCTL_S_BUFFER_SMALL, 2, nullptr},
        {kOlderChip, 3, S_OK, 3, "R45=44334281"},
        {kOlderChip, 8, S_OK, 3, "R45=44334281"},
        {kLaterChip, 2, DEVCTL_S_BUFFER_SMALL, 2, nullptr},
        {kLaterChip, 3, S_OK, 3, "R51=44334281"},
        {kLaterChip, 4, S_OK, 3, "R51=44334281"},
        {kLaterChip, 5, S_OK, 5, "T:FF,51"},
        {kLaterChip, 8, S_OK, 5, "T:FF,51"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "chip " << c.chipId << ", capacity " << c.capacity);
        BindChip(c.chipId);
        chip->RemoteReceiver().Queue({true, 0x42, 0x33, 0x44, 0x55});
        BYTE buffer[8];
        std::memset(buffer, 0xCC, sizeof buffer);
        DWORD length = c.capacity;
        EXPECT_EQ(dc.GetRemoteCode(buffer, &length), c.expected);
        EXPECT_EQ(length, c.length);
        const BYTE frame[] = {0x81, 0x42, 0x33, 0x44, 0x55};
        const size_t delivered = c.expected == S_OK ? c.length : 0;
        for (size_t i = 0; i < sizeof buffer; ++i) {
            EXPECT_EQ(buffer[i], i < delivered ? frame[i] : 0xCC) << "byte " << i;
        }
        if (c.read) {
            EXPECT_EQ(Trace().front(), c.read);
        } else {
            EXPECT_TRUE(driver->Calls().empty());
        }
    }
}

// The alias answers an I2C read at the receiver's address with the key.
TEST_F(RemoteTest, AliasOnI2cReads) {
    enum Op { Direct, Sub8, Sub16, Long, Write8 };
    struct Case {
        const char* what;
        DWORD remoteI2cAddress;
        Op op;
        DWORD address, subAddress, count;
        std::vector<BYTE> expected;  // buffer afterwards when the alias answers
    };
    const Case cases[] = {
        {"direct, 4 bytes", kRemoteI2c, Direct, kRemoteI2c, 0, 4, {0x15, 0, 0, 0, 0xCC}},
        {"direct, 1 byte", kRemoteI2c, Direct, kRemoteI2c, 0, 1, {0x15, 0xCC, 0xCC, 0xCC}},
        {"sub-address 0, 2 bytes", kRemoteI2c, Sub8, kRemoteI2c, 0, 2, {0x15, 0, 0xCC}},
        {"sub-address 1", kRemoteI2c, Sub8, kRemoteI2c, 1, 1, {}},
        {"write", kRemoteI2c, Write8, kRemoteI2c, 0, 1, {}},
        {"16-bit sub-address", kRemoteI2c, Sub16, kRemoteI2c, 0, 1, {}},
        {"long", kRemoteI2c, Long, kRemoteI2c, 0, 1, {}},
        {"address beyond 8 bits", kRemoteI2c, Direct, 0x100 | kRemoteI2c, 0, 1, {}},
        {"no receiver address", 0, Direct, 0, 0, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BindChip(kOlderChip, 0, c.remoteI2cAddress);
        Toggle() = 0;
        chip->QueueRemoteCode(true, 0, 0x15);
        BYTE buffer[8];
        std::memset(buffer, 0xCC, sizeof buffer);
        HRESULT status = S_OK;
        switch (c.op) {
            case Direct:
                status = dc.ReadI2cDirect(c.address, c.count, buffer);
                break;
            case Sub8:
                status = dc.ReadI2c(c.address, c.subAddress, c.count, buffer);
                break;
            case Sub16:
                status = dc.ReadI2c16(c.address, c.subAddress, c.count, buffer);
                break;
            case Long:
                status = dc.ReadI2cLong(c.address, c.subAddress, c.count, buffer);
                break;
            case Write8:
                status = dc.WriteI2c(c.address, c.subAddress, c.count, buffer);
                break;
        }
        const auto trace = Trace();
        ASSERT_FALSE(trace.empty());
        if (c.expected.empty()) {
            EXPECT_EQ(trace.front().rfind("I2C:", 0), 0u) << trace.front();
            EXPECT_EQ(chip->RemoteReceiver().Waiting(), 1u);
        } else {
            EXPECT_EQ(status, S_OK);
            EXPECT_THAT(trace, ElementsAre("R45=00150081", "R44=01"));
            EXPECT_THAT(std::vector<BYTE>(buffer, buffer + c.expected.size()),
                        ElementsAreArray(c.expected));
        }
    }
}

// The later chip has no key decoder, nor the alias that leads to it.
TEST_F(RemoteTest, KeyIsNotSupportedOnTheLaterChip) {
    BindChip(kLaterChip, 0, kRemoteI2c);
    chip->QueueRemoteCode(true, 0, 0x15);
    DWORD key = 0xDEAD;
    EXPECT_EQ(dc.ReadRemoteKey(&key), DEVCTL_S_NOT_SUPPORTED);
    EXPECT_EQ(dc.ReadI2c(kRemoteI2c, 0, 4, &key), DEVCTL_S_NOT_SUPPORTED);
    EXPECT_EQ(dc.TryReadI2cDirect(kRemoteI2c, 4, &key), TRUE);
    EXPECT_EQ(LastResult(), DEVCTL_S_NOT_SUPPORTED);
    EXPECT_EQ(key, 0xDEADu);
    EXPECT_TRUE(driver->Calls().empty());
}

}  // namespace
