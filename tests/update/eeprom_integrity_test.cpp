// A failure at any driver call of an update run must leave the EEPROM as it
// was, or with only bit 7 of the option byte cleared, and the user must see
// exactly one message. A later run then finishes the job.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "simdevice/sim_chip.h"
#include "tests/update/update_bench.h"
#include "tests/update/update_texts.h"

namespace {

struct FaultKind {
    const char* name;
    void (*inject)(UpdateBench&, unsigned call);
};

const FaultKind kFaultKinds[] = {
    {"NegativeStatus", [](UpdateBench& b, unsigned call) { b.FailCall(call, E_FAIL); }},
    {"PositiveStatus", [](UpdateBench& b, unsigned call) { b.FailCall(call, S_FALSE); }},
    {"Unplugged", [](UpdateBench& b, unsigned call) { b.UnplugFromCall(call); }},
};

void PrintTo(const FaultKind& kind, std::ostream* out) {
    *out << kind.name;
}

// Option bytes of devices the update is for and has not yet been applied to.
constexpr BYTE kOptionBytes[] = {0x85, 0x80, 0xFF};

bool IsUpdateMessage(const std::wstring& text) {
    return std::find(std::begin(kAllUpdateMessages), std::end(kAllUpdateMessages), text) !=
           std::end(kAllUpdateMessages);
}

unsigned CallsOfCleanRun(const sim::EepromImage& image) {
    UpdateBench bench(image);
    bench.PressOk();
    return bench.CallsMade();
}

class EepromUnderFaults : public ::testing::TestWithParam<FaultKind> {};

TEST_P(EepromUnderFaults, OnlyBit7OfTheOptionByteEverChanges) {
    unsigned runs = 0;
    for (BYTE option : kOptionBytes) {
        const sim::EepromImage image = sim::EepromWith({{sim::kOptionByteOffset, option}});
        const unsigned calls = CallsOfCleanRun(image);
        ASSERT_EQ(calls, 15u);
        for (unsigned call = 1; call <= calls; ++call) {
            SCOPED_TRACE("option byte " + std::to_string(option) + ", fault at driver call " +
                         std::to_string(call));
            UpdateBench bench(image);
            GetParam().inject(bench, call);
            bench.PressOk();
            ++runs;

            ASSERT_EQ(bench.Messages().size(), 1u);
            EXPECT_TRUE(IsUpdateMessage(bench.Messages()[0].text));
            EXPECT_EQ(bench.DialogResults(), std::vector<INT_PTR>{1});
            const sim::EepromImage& after = bench.Eeprom().Bytes();
            for (size_t offset = 0; offset < after.size(); ++offset) {
                const BYTE changed = after[offset] ^ image[offset];
                const BYTE allowed = offset == sim::kOptionByteOffset ? 0x80 : 0x00;
                EXPECT_EQ(changed & ~allowed, 0) << "EEPROM byte " << offset;
            }
            EXPECT_LE(bench.Eeprom().WriteCount(), 1u);

            // With the fault gone, a later run clears the bit or finds it clear.
            bench.Driver().Faults() = sim::FaultPlan{};
            bench.ForgetEvents();
            bench.PressOk();
            ASSERT_EQ(bench.Messages().size(), 1u);
            const std::wstring& second = bench.Messages()[0].text;
            EXPECT_TRUE(second == kCompleted || second == kAlreadyUpdated);
            EXPECT_EQ(bench.Eeprom().Bytes()[sim::kOptionByteOffset], option & 0x7F);
        }
    }
    std::printf("%s: %u faulted runs\n", GetParam().name, runs);
    EXPECT_EQ(runs, 45u);
}

INSTANTIATE_TEST_SUITE_P(EveryDriverCall, EepromUnderFaults, ::testing::ValuesIn(kFaultKinds),
                         [](const ::testing::TestParamInfo<FaultKind>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
