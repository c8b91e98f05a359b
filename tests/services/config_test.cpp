// Board information, the single-register operations, the configuration word,
// and what every service does on an object that holds no driver.
#include "tests/services/services_fixture.h"

#include <cstdio>
#include <cstring>
#include <functional>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

class ConfigTest : public ServicesTest {};

// A never-bound object has board configuration 0.
TEST_F(ConfigTest, BoardInfoFromTheBoardConfiguration) {
    DWORD type = 0xDEAD, codeLength = 0xDEAD;
    EXPECT_EQ(dc.GetBoardInfo(&type, &codeLength), S_OK);
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(codeLength, 3u);

    struct Case {
        DWORD boardConfig, type, codeLength;
    };
    const Case cases[] = {{0x06, 6, 5}, {0x04, 4, 5}, {0x05, 5, 3}, {0xF6, 6, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "board config " << c.boardConfig);
        sim::ChipIdentity identity;
        identity.boardConfig = c.boardConfig;
        Bind(identity);
        EXPECT_EQ(dc.GetBoardInfo(&type, &codeLength), S_OK);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(codeLength, c.codeLength);
        EXPECT_TRUE(driver->Calls().empty());
    }
}

TEST_F(ConfigTest, ClearRegister0CBit5) {
    struct Case {
        BYTE before;
        HRESULT readFault;  // S_OK: none
        BOOL expected;
        std::vector<std::string> trace;
    };
    const Case cases[] = {
        {0x20, S_OK, TRUE, {"R0C=20", "W0C=00"}},
        {0xFF, S_OK, TRUE, {"R0C=FF", "W0C=DF"}},
        {0xDF, S_OK, FALSE, {"R0C=DF"}},
        {0x20, E_FAIL, FALSE, {"R0C=00!", "Sel=00000000"}},
    };
    BindChip(kOlderChip);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "register 0x0C " << int{c.before});
        chip->SetRegister(0x0C, c.before);
        driver->ClearLog();
        driver->Faults().atCall.clear();
        if (c.readFault != S_OK) {
            driver->Faults().atCall[driver->CallCount() + 2] = c.readFault;
        }
        EXPECT_EQ(dc.ClearRegister0CBit5(), c.expected);
        EXPECT_THAT(Trace(), ElementsAreArray(c.trace));
        EXPECT_EQ(LastResult(), c.readFault);
    }
}

TEST_F(ConfigTest, SingleRegisters) {
    BindChip(kOlderChip);
    chip->SetRegister(0x04, 0x5A);
    BYTE value = 0;
    EXPECT_EQ(dc.ReadRegister04(&value), S_OK);
    EXPECT_EQ(value, 0x5A);
    value = 0xA5;
    EXPECT_EQ(dc.WriteRegister04(&value), S_OK);
    EXPECT_EQ(dc.SetRegister0D(), S_OK);
    EXPECT_THAT(Trace(), ElementsAre("R04=5A", "W04=A5", "W0D=88"));
    EXPECT_EQ(chip->Register(0x04), 0xA5);
    EXPECT_EQ(chip->Register(0x0D), 0x88);
}

TEST_F(ConfigTest, SetConfigPacksTheWordAndChecksItsArguments) {
    struct Case {
        DWORD mode, value, firstFlag, secondFlag;
        HRESULT expected;
        DWORD word;  // sent when expected is S_OK
    };
    const Case cases[] = {
        {2, 15, 1, 0, S_OK, 0x0200001F},         {1, 5, 0, 1, S_OK, 0x01000025},
        {0x102, 0x10A, 0, 0, S_OK, 0x0200000A},   // low bytes used
        {1, 0, 2, 0x80, S_OK, 0x01000030},        // any non-zero flag is set
        {2, 16, 1, 0, DEVCTL_S_OUT_OF_RANGE, 0},  // four bits hold 0 to 15
        {1, 17, 0, 0, DEVCTL_S_OUT_OF_RANGE, 0}, {0, 0, 0, 0, DEVCTL_S_OUT_OF_RANGE, 0},
        {3, 0, 0, 0, DEVCTL_S_OUT_OF_RANGE, 0},  {0x100, 0, 0, 0, DEVCTL_S_OUT_OF_RANGE, 0},
    };
    BindChip(kOlderChip);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << std::hex << "mode " << c.mode << ", value " << c.value);
        driver->ClearLog();
        LastResult() = 0x77;
        EXPECT_EQ(dc.SetConfig103E(c.mode, c.value, c.firstFlag, c.secondFlag), c.expected);
        if (c.expected == S_OK) {
            char sent[32];
            std::snprintf(sent, sizeof sent, "Set:103E=%08lX", c.word);
            EXPECT_THAT(Trace(), ElementsAre(sent));
        } else {
            EXPECT_TRUE(driver->Calls().empty());
        }
        EXPECT_EQ(LastResult(), 0x77) << "never recorded";
    }
}

TEST_F(ConfigTest, GetConfigUnpacksTheWord) {
    struct Case {
        DWORD word;
        BYTE mode, value;
        DWORD firstFlag, secondFlag;
    };
    const Case cases[] = {
        {0x01000025, 1, 5, 0, 1},
        {0x0200001F, 2, 15, 1, 0},
        {0xFFFFFFC0, 0xFF, 0, 0, 0},  // only the fields' own bits count
    };
    BindChip(kOlderChip);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.word);
        chip->SetValue(CPROP_CONFIG_103E, c.word);
        BYTE mode = 0xEE, value = 0xEE;
        DWORD firstFlag = 0xEE, secondFlag = 0xEE;
        EXPECT_EQ(dc.GetConfig103E(&mode, &value, &firstFlag, &secondFlag), S_OK);
        EXPECT_EQ(mode, c.mode);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(firstFlag, c.firstFlag);
        EXPECT_EQ(secondFlag, c.secondFlag);
    }
}

TEST_F(ConfigTest, GetConfigFailureClearsAllButTheMode) {
    BindChip(kOlderChip);
    driver->Faults().onProperty[CPROP_CONFIG_103E] = DEVCTL_E_UNPLUGGED;
    BYTE mode = 0xEE, value = 0xEE;
    DWORD firstFlag = 0xEE, secondFlag = 0xEE;
    EXPECT_EQ(dc.GetConfig103E(&mode, &value, &firstFlag, &secondFlag), DEVCTL_E_UNPLUGGED);
    EXPECT_EQ(LastResult(), DEVCTL_E_UNPLUGGED);
    EXPECT_EQ(mode, 0xEE);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(firstFlag, 0u);
    EXPECT_EQ(secondFlag, 0u);
}

// After Close the object keeps the generation and the receiver's I2C address
// it was bound with. Checks before the first driver call still apply; from
// there on nothing is called, recorded or written.
TEST_F(ConfigTest, NotBound) {
    constexpr DWORD kRemoteI2c = 0x30;
    constexpr DWORD kUntouched = 0xCCCCCCCC;
    struct Outputs {
        BYTE bytes[8];
        WORD word;
        DWORD dword, length;
    };
    struct Case {
        const char* what;
        DWORD chipId;
        std::function<HRESULT(DeviceControl&, Outputs&)> run;
        HRESULT expected;
        DWORD length = kUntouched;  // expected afterwards
    };
    const Case cases[] = {
        {"ReadAc97", kOlderChip, [](auto& dc, auto& o) { return dc.ReadAc97(2, &o.word); }, 6},
        {"WriteAc97", kOlderChip, [](auto& dc, auto& o) { return dc.WriteAc97(2, &o.word); }, 6},
        {"ReadRemoteCode", kLaterChip,
         [](auto& dc, auto& o) { return dc.ReadRemoteCode(&o.dword); }, 6},
        {"ReadRemoteKey", kOlderChip, [](auto& dc, auto& o) { return dc.ReadRemoteKey(&o.dword); },
         6},
        {"ReadRemoteKey, later chip", kLaterChip,
         [](auto& dc, auto& o) { return dc.ReadRemoteKey(&o.dword); }, 50},
        {"ReadRemoteCode5", kLaterChip,
         [](auto& dc, auto& o) { return dc.ReadRemoteCode5(o.bytes); }, 6},
        {"GetRemoteCode, capacity 2", kOlderChip,
         [](auto& dc, auto& o) { return o.length = 2, dc.GetRemoteCode(o.bytes, &o.length); }, 87,
         2},
        {"GetRemoteCode, capacity 8", kOlderChip,
         [](auto& dc, auto& o) { return o.length = 8, dc.GetRemoteCode(o.bytes, &o.length); }, 6,
         8},
        // The length is set before the five-byte read is attempted.
        {"GetRemoteCode, later chip, capacity 8", kLaterChip,
         [](auto& dc, auto& o) { return o.length = 8, dc.GetRemoteCode(o.bytes, &o.length); }, 6,
         5},
        {"SetRegister0D", kOlderChip, [](auto& dc, auto&) { return dc.SetRegister0D(); }, 6},
        {"ClearRegister0CBit5", kOlderChip,
         [](auto& dc, auto&) { return HRESULT{dc.ClearRegister0CBit5()}; }, 0},
        {"SetConfig103E", kOlderChip, [](auto& dc, auto&) { return dc.SetConfig103E(1, 5, 0, 1); },
         6},
        {"SetConfig103E, bad mode", kOlderChip,
         [](auto& dc, auto&) { return dc.SetConfig103E(3, 5, 0, 1); }, 13},
        {"SetConfig103E, bad value", kOlderChip,
         [](auto& dc, auto&) { return dc.SetConfig103E(1, 16, 0, 1); }, 13},
        {"alias", kOlderChip,
         [](auto& dc, auto& o) { return dc.ReadI2c(kRemoteI2c, 0, 4, &o.dword); }, 6},
        {"alias, later chip", kLaterChip,
         [](auto& dc, auto& o) { return dc.ReadI2cDirect(kRemoteI2c, 4, &o.dword); }, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BindChip(c.chipId, 0, kRemoteI2c);
        dc.Close();
        LastResult() = 0x77;
        Toggle() = 0x80;
        Outputs outputs;
        std::memset(&outputs, 0xCC, sizeof outputs);
        const size_t calls = driver->CallCount();
        EXPECT_EQ(c.run(dc, outputs), c.expected);
        EXPECT_EQ(driver->CallCount(), calls);
        EXPECT_EQ(LastResult(), 0x77);
        EXPECT_EQ(Toggle(), 0x80u);
        EXPECT_EQ(outputs.bytes[0], 0xCC);
        EXPECT_EQ(outputs.word, 0xCCCC);
        EXPECT_EQ(outputs.dword, kUntouched);
        EXPECT_EQ(outputs.length, c.length);
    }

    // GetConfig103E clears its outputs other than the mode before it finds no driver.
    BYTE mode = 0xEE, value = 0xEE;
    DWORD firstFlag = 0xEE, secondFlag = 0xEE;
    EXPECT_EQ(dc.GetConfig103E(&mode, &value, &firstFlag, &secondFlag), DEVCTL_S_NOT_BOUND);
    EXPECT_EQ(mode, 0xEE);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(firstFlag, 0u);
    EXPECT_EQ(secondFlag, 0u);
    EXPECT_EQ(LastResult(), 0x77);
}

}  // namespace
