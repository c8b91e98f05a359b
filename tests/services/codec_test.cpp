// The AC97 codec: the register protocol, the busy wait and its failures.
#include "tests/services/services_fixture.h"

using ::testing::ElementsAre;

namespace {

class CodecTest : public ServicesTest {
  protected:
    void SetUp() override { BindChip(kOlderChip); }
    sim::SimCodec& Codec() { return chip->Codec(); }
};

TEST_F(CodecTest, ReadRequestsTheRegisterThenReadsTheDataWordLowByteFirst) {
    Codec().SetRegister(0x1C, 0xBEEF);
    WORD value = 0;
    EXPECT_EQ(dc.ReadAc97(0x1C, &value), S_OK);
    EXPECT_EQ(value, 0xBEEF);
    EXPECT_THAT(Trace(), ElementsAre("R43=00", "W42=9C", "R40=BEEF"));
}

TEST_F(CodecTest, WriteSetsTheDataWordBeforeTheIndexUnchanged) {
    const WORD value = 0x8000;
    EXPECT_EQ(dc.WriteAc97(0x1C, &value), S_OK);
    EXPECT_EQ(Codec().Register(0x1C), 0x8000);
    EXPECT_THAT(Trace(), ElementsAre("R43=00", "W40=8000", "W42=1C"));
}

TEST_F(CodecTest, WaitGivesUpAfterExactly2000BusyPolls) {
    struct Case {
        unsigned busyPolls;  // ~0u: busy forever
        HRESULT expected;
        size_t polls;
    };
    const Case cases[] = {
        {0, S_OK, 1},
        {1, S_OK, 2},
        {1999, S_OK, 2000},
        {2000, DEVCTL_S_BUSY, 2000},
        {~0u, DEVCTL_S_BUSY, 2000},
    };
    for (const bool write : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << (write ? "write" : "read") << ", busy for " << c.busyPolls);
            driver->ClearLog();
            Codec().SetIdle();
            c.busyPolls == ~0u ? Codec().HoldBusyForever() : Codec().HoldBusy(c.busyPolls);
            WORD value = 0x1234;
            const HRESULT status = write ? dc.WriteAc97(0x02, &value) : dc.ReadAc97(0x02, &value);
            EXPECT_EQ(status, c.expected);
            const auto trace = Trace();
            const size_t polls = CountOf("R43=01") + CountOf("R43=00");
            EXPECT_EQ(polls, c.polls);
            EXPECT_EQ(trace.size() - polls, c.expected == S_OK ? 2u : 0u) << "codec transfer";
            EXPECT_EQ(LastResult(), S_OK);
        }
    }
}

TEST_F(CodecTest, FailingPollEndsTheWaitWith5AndWritesNothing) {
    Codec().HoldBusy(3);
    driver->Faults().atCall[driver->CallCount() + 6] = DEVCTL_E_UNPLUGGED;  // third poll's data get
    const WORD value = 0x1234;
    EXPECT_EQ(dc.WriteAc97(0x02, &value), DEVCTL_S_BUSY);
    EXPECT_THAT(Trace(), ElementsAre("R43=01", "R43=01", "R43=00!", "Sel=00000000"));
    EXPECT_EQ(LastResult(), DEVCTL_E_UNPLUGGED);
}

TEST_F(CodecTest, TransferStatuses) {
    struct Case {
        bool write;
        unsigned failingCall;  // numbered from the first call of the operation
        HRESULT injected;
        HRESULT expected;
        size_t calls;
    };
    const Case cases[] = {
        {false, 6, E_FAIL, E_FAIL, 7},  // data read fails
        {true, 4, E_FAIL, E_FAIL, 5},   // data write fails: no command
        {true, 6, S_FALSE, S_OK, 6},    // a positive status of the command write reads as 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "call " << c.failingCall);
        driver->ClearLog();
        driver->Faults().atCall = {{driver->CallCount() + c.failingCall, c.injected}};
        WORD value = 0;
        EXPECT_EQ(c.write ? dc.WriteAc97(0x02, &value) : dc.ReadAc97(0x02, &value), c.expected);
        EXPECT_EQ(driver->Calls().size(), c.calls);
        EXPECT_EQ(LastResult(), c.injected);
    }
}

}  // namespace
