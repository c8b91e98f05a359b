// The chip services on the simulated chip, judged by what the driver was sent:
// the AC97 codec, the remote-control receiver and its I2C alias, board
// information, the configuration word, and the order of checks when unbound.
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/com_object.h"
#include "devctl/device_lock.h"
#include "simdevice/chip/codec.h"
#include "simdevice/chip/driver.h"
#include "simdevice/chip/remote_receiver.h"
#include "tests/common/driver_log.h"
#include "tests/common/test_support.h"

namespace {

using namespace std::string_literals;
using TA = DeviceControlTestAccess;

constexpr DWORD kOlder = 0x24, kLater = 0x41;  // chip ids of the two generations
constexpr DWORD kOurRemote = 0x40, kRemoteI2c = 0x30;
constexpr HRESULT kAbsent = sim::kNoDeviceAtAddress;  // no device at an I2C address

// A row's operation on dc: o is an 8-byte output buffer, n a length.
using Op = std::function<HRESULT(DeviceControl&, void*, DWORD&)>;
#define OP(call) \
    [](DeviceControl& d, void* o, DWORD& n) -> HRESULT { return (void)o, (void)n, call; }

// A chip of the generation, with the remote-control receiver's filter address
// and I2C alias, on a board of the configuration.
sim::ChipIdentity Chip(DWORD chipId, DWORD remoteAddress = 0, DWORD remoteI2c = 0,
                       DWORD boardConfig = 2) {
    return {chipId, 0, boardConfig, remoteAddress, remoteI2c};
}
// The driver calls since binding, as DescribeDriverLog's transfers form.
std::string Trace(const SimBound& b) {
    return DescribeDriverLog(b.driver->Calls());
}

// The codec's busy bit is polled up to 2000 times; then a read requests the
// register (bit 7 set) and reads the data word, a write sets the data word and
// then the index.
TEST(Services, CodecWaitsAtMost2000PollsThenTransfers) {
    SimBound b;
    b.chip->Codec().SetRegister(0x1C, 0xBEEF);
    std::string busy;
    for (int poll = 1; poll < 2000; ++poll) {
        busy += "R43=01 ";
    }
    const struct {
        const char* what;
        bool write, busyForever;
        const char* after;  // the driver calls after the 1999 busy polls
        WORD value;         // the caller's value after (0x8000 is written, 0 read into)
    } runs[] = {
        {"read", false, false, "R43=00 W42=9C R40=BEEF", 0xBEEF},
        {"write", true, false, "R43=00 W40=8000 W42=1C", 0x8000},
        {"read of a codec busy forever", false, true, "R43=01", 0},
        {"write to a codec busy forever", true, true, "R43=01", 0x8000},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.what);
        b.driver->ClearLog();
        run.busyForever ? b.chip->Codec().HoldBusyForever() : b.chip->Codec().HoldBusy(1999);
        WORD value = run.write ? 0x8000 : 0;
        EXPECT_EQ(run.write ? b.dc.WriteAc97(0x1C, &value) : b.dc.ReadAc97(0x1C, &value),
                  run.busyForever ? DEVCTL_S_BUSY : S_OK);
        EXPECT_EQ(Trace(b), busy + run.after);
        EXPECT_EQ(value, run.value);
    }
}

// One sequence of frames from remote kOurRemote and another one. key and
// toggle: ReadRemoteKey on the older chip; code: ReadRemoteCode on both
// generations, which always takes the toggle from bit 7.
const struct {
    const char* what;
    std::optional<sim::RemoteCode> frame;
    DWORD key, toggle, code;
} kSequence[] = {
    {"new key", sim::RemoteCode{true, 0x40, 0x15}, 0x15, 0x80, 0x154081},
    {"held", sim::RemoteCode{true, 0x40, 0x15}, 254, 0x80, 0x154081},
    {"none", std::nullopt, 255, 0x80, 0x154080},
    {"new key 0xFE is no key", sim::RemoteCode{false, 0x40, 0xFE}, 255, 0x00, 0xFE4001},
    {"other remote", sim::RemoteCode{true, 0x41, 0x20}, 255, 0x00, 0x204181},
    {"new key after it", sim::RemoteCode{true, 0x40, 0x20}, 0x20, 0x80, 0x204081},
    {"new key 253", sim::RemoteCode{false, 0x40, 0xFD}, 0xFD, 0x00, 0xFD4001},
};

TEST(Services, RemoteDecodesOneSequenceInBothGenerations) {
    for (const auto& [chipId, key] :
         {std::pair{kOlder, true}, std::pair{kOlder, false}, std::pair{kLater, false}}) {
        SimBound b(Chip(chipId, kOurRemote));
        for (const auto& step : kSequence) {
            SCOPED_TRACE(::testing::Message() << chipId << " key " << key << ": " << step.what);
            if (step.frame) {
                b.chip->RemoteReceiver().Queue(*step.frame);
            }
            DWORD read = 0xDEADBEEF;
            EXPECT_EQ(key ? b.dc.ReadRemoteKey(&read) : b.dc.ReadRemoteCode(&read), S_OK);
            EXPECT_EQ(read, key ? step.key : step.code);
            EXPECT_EQ(TA::RemoteToggle(b.dc), key ? step.toggle : step.code & 0x80);
        }
    }
}

// Code reads into caller buffers: GetRemoteCode by capacity and generation,
// and the alias that answers an I2C read at the receiver's address
// (sub-address 0) with the key, into min(count, 4) bytes. The frame comes
// from a remote the alias takes because no address filter is set.
TEST(Services, CodeReadsIntoCallerBuffers) {
    struct Row {
        DWORD chipId, remoteI2c;  // the chip, and the receiver's I2C address
        Op op;
        HRESULT result;
        DWORD length;       // n afterwards
        const char* trace;  // how the trace begins
        std::string written;
    };
    // clang-format off
    const Row rows[] = {
        {kOlder, 0, OP((n = 2, d.GetRemoteCode(o, &n))), 87, 2, "", ""},
        {kOlder, 0, OP((n = 8, d.GetRemoteCode(o, &n))), 0, 3, "R45=44154281 R44", "\x81\x42\x15"},
        {kLater, 0, OP((n = 4, d.GetRemoteCode(o, &n))), 0, 3, "R51=44154281", "\x81\x42\x15"},
        {kLater, 0, OP((n = 5, d.GetRemoteCode(o, &n))), 0, 5, "Transfer:FF=51", "\x81\x42\x15\x44\x55"},
        {kOlder, kRemoteI2c, OP(d.ReadI2cDirect(kRemoteI2c, 6, o)), 0, 0, "R45", "\x15\0\0\0"s},
        {kOlder, kRemoteI2c, OP(d.ReadI2c(kRemoteI2c, 0, 2, o)), 0, 0, "R45", "\x15\0"s},
        {kOlder, kRemoteI2c, OP(d.ReadI2c(kRemoteI2c, 1, 1, o)), kAbsent, 0, "R30:01=00!NO_DEVICE", ""},
        {kOlder, kRemoteI2c, OP(d.WriteI2c(kRemoteI2c, 0, 1, o)), kAbsent, 0, "W30:00=CC!NO_DEVICE", ""},
        {kOlder, 0, OP(d.ReadI2cDirect(0, 1, o)), kAbsent, 0, "R00=00!NO_DEVICE", ""},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &row - rows);
        SimBound b(Chip(row.chipId, 0, row.remoteI2c));
        TA::RemoteToggle(b.dc) = 0;  // the frame is a new key press
        b.chip->RemoteReceiver().Queue({true, 0x42, 0x15, 0x44, 0x55});
        std::string buffer(8, '\xCC');
        DWORD length = 0;
        EXPECT_EQ(row.op(b.dc, &buffer[0], length), row.result);
        EXPECT_EQ(length, row.length);
        EXPECT_EQ(buffer, (row.written + std::string(8, '\xCC')).substr(0, 8))
            << "the rest untouched";
        EXPECT_EQ(Trace(b).rfind(row.trace, 0), 0u) << Trace(b);
    }
}

// The single-register operations on both generations (the registers are the
// same): what they read and write, what they return and record.
TEST(Services, SingleRegisterOperations) {
    const sim::CallOf read = {sim::DriverSlot::Get, CPROP_REG_DATA, 1};
    const sim::CallOf write = {sim::DriverSlot::Set, CPROP_REG_DATA, 1};
    struct Row {
        DWORD chipId;
        WORD index;
        BYTE before;                         // the register before
        Op op;                               // o holds 0xCC before
        std::optional<sim::CallOf> failing;  // with E_FAIL
        HRESULT result, last;                // last: the last result after (42 before)
        const char* trace;
        BYTE after, output;  // the register after, o's first byte after
    };
    // clang-format off
    const Row rows[] = {
        // Bit 5 set: cleared and written back, 1.
        {kOlder, 0x0C, 0x20, OP(d.ClearRegister0CBit5()), {}, TRUE, S_OK, "R0C=20 W0C=00", 0x00, 0xCC},
        {kLater, 0x0C, 0xFF, OP(d.ClearRegister0CBit5()), {}, TRUE, S_OK, "R0C=FF W0C=DF", 0xDF, 0xCC},
        // Bit 5 clear, or the read failed: nothing written, 0.
        {kOlder, 0x0C, 0xDF, OP(d.ClearRegister0CBit5()), {}, FALSE, S_OK, "R0C=DF", 0xDF, 0xCC},
        {kOlder, 0x0C, 0x20, OP(d.ClearRegister0CBit5()), read, FALSE, E_FAIL, "R0C=00!E_FAIL Set:REG_SELECT=0", 0x20, 0xCC},
        // The write was issued: 1, its failure in the last result.
        {kOlder, 0x0C, 0x20, OP(d.ClearRegister0CBit5()), write, TRUE, E_FAIL, "R0C=20 W0C=00!E_FAIL Set:REG_SELECT=0", 0x20, 0xCC},
        {kOlder, 0x0D, 0x00, OP(d.SetRegister0D()), {}, S_OK, S_OK, "W0D=88", 0x88, 0xCC},
        {kLater, 0x0D, 0x00, OP(d.SetRegister0D()), write, E_FAIL, E_FAIL, "W0D=88!E_FAIL Set:REG_SELECT=0", 0x00, 0xCC},
        {kOlder, 0x04, 0x5A, OP(d.ReadRegister04(static_cast<BYTE*>(o))), {}, S_OK, S_OK, "R04=5A", 0x5A, 0x5A},
        {kLater, 0x04, 0x5A, OP(d.ReadRegister04(static_cast<BYTE*>(o))), read, E_FAIL, E_FAIL, "R04=00!E_FAIL Set:REG_SELECT=0", 0x5A, 0xCC},
        {kOlder, 0x04, 0x00, OP(d.WriteRegister04(static_cast<BYTE*>(o))), {}, S_OK, S_OK, "W04=CC", 0xCC, 0xCC},
        {kLater, 0x04, 0x00, OP(d.WriteRegister04(static_cast<BYTE*>(o))), write, E_FAIL, E_FAIL, "W04=CC!E_FAIL Set:REG_SELECT=0", 0x00, 0xCC},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &row - rows << ": " << row.trace);
        SimBound b(Chip(row.chipId));
        b.chip->SetRegister(row.index, row.before);
        if (row.failing) {
            b.driver->Faults().onCall[*row.failing] = E_FAIL;
        }
        TA::LastResult(b.dc) = 42;
        std::vector<BYTE> output(8, 0xCC);
        DWORD length = 0;
        EXPECT_EQ(row.op(b.dc, output.data(), length), row.result);
        EXPECT_EQ(TA::LastResult(b.dc), row.last);
        EXPECT_EQ(Trace(b), row.trace);
        EXPECT_EQ(b.chip->Register(row.index), row.after);
        EXPECT_EQ(output[0], row.output);
    }
}

TEST(Services, GetBoardInfo) {
    for (const DWORD type : {6u, 5u}) {
        SimBound b(Chip(kOlder, 0, 0, type));
        DWORD info[2] = {};
        EXPECT_EQ(b.dc.GetBoardInfo(&info[0], &info[1]), S_OK);
        EXPECT_EQ(std::vector<DWORD>(info, info + 2),
                  std::vector<DWORD>({type, type == 6 ? 5u : 3u}));
    }
}

TEST(Services, ConfigWordPacking) {
    const struct {
        DWORD mode, value, firstFlag, secondFlag;
        HRESULT result;
        DWORD word;  // the word sent (0: none)
    } cases[] = {
        {2, 15, 1, 0, S_OK, 0x0200001F},           {1, 5, 0, 1, S_OK, 0x01000025},
        {0x102, 0x10A, 2, 0x80, S_OK, 0x0200003A},  // low bytes; a non-zero flag is set
        {2, 16, 1, 0, DEVCTL_S_OUT_OF_RANGE, 0},    // four bits hold 0 to 15
        {0, 0, 0, 0, DEVCTL_S_OUT_OF_RANGE, 0},    {3, 0, 0, 0, DEVCTL_S_OUT_OF_RANGE, 0},
    };
    SimBound b;
    for (const auto& row : cases) {
        SCOPED_TRACE(::testing::Message() << row.mode << ", " << row.value);
        b.chip->SetValue(CPROP_CONFIG_103E, 0);
        EXPECT_EQ(b.dc.SetConfig103E(row.mode, row.value, row.firstFlag, row.secondFlag),
                  row.result);
        EXPECT_EQ(b.chip->Value(CPROP_CONFIG_103E), row.word);
    }
    EXPECT_EQ(b.driver->Calls().size(), 3u) << "one call for each word sent";
    for (const auto& [word, fields] : {std::pair{0x0200001Fu, std::vector<DWORD>{2, 15, 1, 0}},
                                       std::pair{0xFFFFFFE5u, std::vector<DWORD>{0xFF, 5, 0, 1}}}) {
        b.chip->SetValue(CPROP_CONFIG_103E, word);
        BYTE mode = 0xEE, value = 0xEE;
        DWORD firstFlag = 0xEE, secondFlag = 0xEE;
        EXPECT_EQ(b.dc.GetConfig103E(&mode, &value, &firstFlag, &secondFlag), S_OK);
        EXPECT_EQ(std::vector<DWORD>({mode, value, firstFlag, secondFlag}), fields) << word;
    }
}

// After Close the object keeps its generation and receiver address. Checks
// before the first driver call still apply; from there on nothing is called,
// recorded or written.
TEST(Services, NotBoundOrderOfChecks) {
    const struct {
        DWORD chipId;
        Op op;
        HRESULT result;
        DWORD length;  // n afterwards
    } cases[] = {
        {kOlder, OP(d.ReadAc97(2, static_cast<WORD*>(o))), 6, 0},
        {kLater, OP(d.ReadRemoteCode(static_cast<DWORD*>(o))), 6, 0},
        {kLater, OP(d.ReadRemoteKey(static_cast<DWORD*>(o))), 50, 0},
        {kLater, OP(d.ReadRemoteCode5(o)), 6, 0},
        {kOlder, OP((n = 2, d.GetRemoteCode(o, &n))), 87, 2},
        {kOlder, OP((n = 8, d.GetRemoteCode(o, &n))), 6, 8},
        {kLater, OP((n = 8, d.GetRemoteCode(o, &n))), 6, 5},  // length set before the read
        {kOlder, OP(d.ClearRegister0CBit5()), FALSE, 0},
        {kOlder, OP(d.SetRegister0D()), 6, 0},
        {kLater, OP(d.ReadRegister04(static_cast<BYTE*>(o))), 6, 0},
        {kOlder, OP(d.WriteRegister04(static_cast<BYTE*>(o))), 6, 0},
        {kOlder, OP(d.SetConfig103E(1, 5, 0, 1)), 6, 0},
        {kOlder, OP(d.SetConfig103E(1, 16, 0, 1)), 13, 0},
        {kOlder, OP(d.ReadI2c(kRemoteI2c, 0, 4, o)), 6, 0},
        {kLater, OP(d.ReadI2cDirect(kRemoteI2c, 4, o)), 50, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(&row - cases);
        SimBound b(Chip(row.chipId, 0, kRemoteI2c));
        b.dc.Close();
        TA::LastResult(b.dc) = 0x77;
        TA::RemoteToggle(b.dc) = 0x80;
        std::vector<BYTE> outputs(8, 0xCC);
        DWORD length = 0;
        EXPECT_EQ(row.op(b.dc, outputs.data(), length), row.result);
        EXPECT_EQ(Trace(b), "");
        EXPECT_EQ(TA::LastResult(b.dc), 0x77);
        EXPECT_EQ(TA::RemoteToggle(b.dc), 0x80u);
        EXPECT_EQ(outputs, std::vector<BYTE>(8, 0xCC));
        EXPECT_EQ(length, row.length);
    }
}

// A driver in front of the simulated one that notes, at each call, how many
// times over the calling thread holds the device lock (it lets go until it
// can't, then takes the lock back as often).
class LockDepthProbe : public velto1::ComObject<ICustomProperty> {
  public:
    explicit LockDepthProbe(ICustomProperty* driver)
        : driver_(driver), lock_(OpenTestDeviceLock()) {}

    // For each call: whether the device was held beyond the call's own
    // select + data sequence, which holds it once; any other call, at all.
    std::vector<bool> heldBeyondSequence;

    HRESULT STDMETHODCALLTYPE ReservedSlot3() override { return driver_->ReservedSlot3(); }
    HRESULT STDMETHODCALLTYPE Set(DWORD id, const void* data) override {
        return Noted(id)->Set(id, data);
    }
    HRESULT STDMETHODCALLTYPE Get(DWORD id, void* data) override {
        return Noted(id)->Get(id, data);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DWORD first, DWORD second, DWORD third) override {
        return Noted(0)->Invoke(first, second, third);
    }
    HRESULT STDMETHODCALLTYPE Transfer(DWORD target, DWORD writeLength, const void* writeData,
                                       DWORD readLength, void* readData) override {
        return Noted(0)->Transfer(target, writeLength, writeData, readLength, readData);
    }
    HRESULT STDMETHODCALLTYPE SetDirect(DWORD id, DWORD value) override {
        return Noted(id)->SetDirect(id, value);
    }

  private:
    // Notes the call and hands back the driver it goes on to.
    ICustomProperty* Noted(DWORD id) {
        unsigned depth = 0;
        while (ReleaseMutex(lock_.Get())) {
            ++depth;
        }
        for (unsigned i = 0; i < depth; ++i) {
            WaitForSingleObject(lock_.Get(), INFINITE);
        }
        const bool inSequence = id == CPROP_REG_SELECT || id == CPROP_REG_DATA ||
                                id == CPROP_ALT_REG_SELECT || id == CPROP_ALT_REG_DATA ||
                                id == CPROP_I2C_TRANSFER || id == CPROP_I2C_DATA;
        heldBeyondSequence.push_back(depth > (inSequence ? 1u : 0u));
        return driver_.Get();
    }

    Microsoft::WRL::ComPtr<ICustomProperty> driver_;
    velto1::UniqueHandle lock_;
};

// An operation holds the device from its first call to its last: another
// program's sequence can't land between a read and the write made of it, a
// command and its answer, or a key and its acknowledge, nor into a Transfer,
// which to the driver is a selection and its data (the register window's
// index and the read from it).
TEST(ServicesHold, AnOperationHoldsTheDeviceFromItsFirstCallToItsLast) {
    const struct {
        const char* what;
        std::function<void(DeviceControl&)> arrange;
        Op op;
        DWORD chipId = kOlder;
    } cases[] = {
        {"GPIO bits", {}, OP(d.SetGpioBits(0x01))},
        {"GPIO read", {}, OP(d.ReadGpio(static_cast<BYTE*>(o)))},
        {"ids", {}, OP(d.GetVendorProductIds(static_cast<DWORD*>(o), static_cast<DWORD*>(o) + 1))},
        {"codec read", {}, OP(d.ReadAc97(2, static_cast<WORD*>(o)))},
        {"codec write", {}, OP(d.WriteAc97(2, static_cast<WORD*>(o)))},
        {"remote code", {}, OP(d.ReadRemoteCode(static_cast<DWORD*>(o)))},
        {"remote key", {}, OP(d.ReadRemoteKey(static_cast<DWORD*>(o)))},
        {"remote code, buffer form", {}, OP((n = 4, d.GetRemoteCode(o, &n)))},
        // clang-format off
        {"register 0x0C bit 5", [](DeviceControl& d) { const BYTE bit5 = 0x20; ASSERT_EQ(d.WriteRegisters(0x0C, 1, &bit5), S_OK); }, OP(d.ClearRegister0CBit5())},
        {"remote code of the later generation, 5 bytes", {}, OP((n = 5, d.GetRemoteCode(o, &n))), kLater},
        // clang-format on
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        Microsoft::WRL::ComPtr<sim::SimDriver> driver;
        driver.Attach(sim::CreateSimDriver(std::make_shared<sim::SimChip>(Chip(row.chipId))));
        Microsoft::WRL::ComPtr<LockDepthProbe> probe;
        probe.Attach(new LockDepthProbe(driver.Get()));
        Microsoft::WRL::ComPtr<FakeCaptureFilter> filter;
        filter.Attach(new FakeCaptureFilter(probe.Get()));
        DeviceControl dc;
        ASSERT_NE(dc.BindFilter(filter.Get(), TestDeviceMoniker().Get()), nullptr);
        if (row.arrange) {
            row.arrange(dc);
        }
        probe->heldBeyondSequence.clear();
        BYTE outputs[8] = {};
        DWORD length = 0;
        row.op(dc, outputs, length);
        EXPECT_FALSE(probe->heldBeyondSequence.empty()) << "no call made";
        EXPECT_EQ(probe->heldBeyondSequence,
                  std::vector<bool>(probe->heldBeyondSequence.size(), true));
        // Held elsewhere past the wait: the device busy, and nothing sent.
        const LockHeldElsewhere other;
        dc.SetDeviceWaitTime(1);
        probe->heldBeyondSequence.clear();
        row.op(dc, outputs, length);
        EXPECT_EQ(dc.GetLastResult(), DEVCTL_E_DEVICE_BUSY);
        EXPECT_EQ(probe->heldBeyondSequence.size(), 0u) << "calls sent to a busy device";
        EXPECT_EQ(dc.GetDeviceWaitTime(), 1u) << "the wait as the caller set it";
        dc.Close();
    }
}

}  // namespace
