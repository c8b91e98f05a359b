// The outcome table that the updater's dialog, velto1cli and the log read:
// every row complete, so that a new outcome without a text or a code fails.
#include <gtest/gtest.h>

#include <cwchar>
#include <set>
#include <string>

#include "appcore/outcome_table.h"

namespace {

bool IsSuccess(UpdateOutcome outcome) {
    return outcome == UpdateOutcome::Completed || outcome == UpdateOutcome::AlreadyUpdated;
}

TEST(OutcomeTableTest, EveryOutcomeHasItsMessageTextCodeAndExitCode) {
    // Codes a deployment tool reads as its own (restart, try again), and velto1cli's other two.
    const std::set<int> taken = {1, 2, 3, 1618, 1641, 3010};
    std::set<std::string> codes;
    int previousExitCode = 0;
    for (const OutcomeDescription& row : kOutcomeTable) {
        ASSERT_NE(row.text, nullptr);
        SCOPED_TRACE(row.text);
        ASSERT_NE(row.message, nullptr);
        EXPECT_GT(std::wcslen(row.message), 0u);
        EXPECT_GT(std::string(row.text).size(), 0u);
        EXPECT_EQ(&DescribeOutcome(row.outcome), &row);
        EXPECT_EQ(row.exitCode == 0, IsSuccess(row.outcome));
        EXPECT_EQ(taken.count(row.exitCode), 0u);
        EXPECT_LT(row.exitCode, 256) << "a code every deployment tool reads whole";
        EXPECT_GE(row.exitCode, previousExitCode) << "the codes rise with the outcome's weight";
        previousExitCode = row.exitCode;
        if (!row.code) {
            continue;
        }
        // The code opens the message the updater shows.
        const std::string code = row.code;
        ASSERT_EQ(code.size(), 4u);
        EXPECT_TRUE(code[0] == 'W' || code[0] == 'E');
        const std::wstring message = row.message;
        EXPECT_EQ(message.substr(0, 5), std::wstring(code.begin(), code.end()) + L":");
        EXPECT_GT(row.exitCode, 10) << "a warning or an error is never success nor a check's 10";
        codes.insert(code);
    }
    EXPECT_EQ(codes.size(), 7u) << "W001, W002, E001 to E005";
}

TEST(OutcomeTableTest, TheTextCarriesTheStatusOrTheMarkerItsRowAsksFor) {
    UpdateResult result = {
        UpdateOutcome::DeviceNotBound, E_NOINTERFACE, false, 0, false, 0, false, 0};
    EXPECT_EQ(OutcomeText(result),
              "W001 device not opened: its driver interface could not be bound, status 0x80004002");
    result.outcome = UpdateOutcome::NotSupportedProduct;
    result.marker = 0x130;
    EXPECT_EQ(OutcomeText(result), "W002 not a supported product (marker 0x00000130)");
    result.marker = 0xFF;  // a blank EEPROM's byte is still shown as one byte
    EXPECT_EQ(OutcomeText(result), "W002 not a supported product (marker 0xFF)");
    result.outcome = UpdateOutcome::Completed;
    EXPECT_EQ(OutcomeText(result), "updated");
}

}  // namespace
