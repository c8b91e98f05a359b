// The capture and audio device names read from HKEY_LOCAL_MACHINE, which the
// bench redirects to a scratch key.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "devctl/device_control.h"
#include "tests/bench/sim_bench.h"

namespace {

constexpr char kAudioKey[] = "Software\\USB5170\\Audio";
constexpr char kCaptureKey[] = "Software\\USB5170\\BDA";
constexpr char kUntouched[] = "untouched";

// Registry values as raw bytes; an absent optional is an absent value.
struct Value {
    const char* name;
    std::string bytes;
};

std::string Text(const char* text) {
    return std::string(text, std::strlen(text) + 1);
}

struct NameCase {
    const char* description;
    std::vector<Value> values;
    BOOL expectedRead;
    std::string expectedName;  // what Get...DeviceName gives
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.description;
}

class RegistryNameTest : public ::testing::TestWithParam<NameCase> {
  protected:
    simbench::MachineKeyRedirect machine;
};

class AudioNameTest : public RegistryNameTest {};
class CaptureNameTest : public RegistryNameTest {};

const std::string k256(256, 'A');
const std::string k257(257, 'B');

INSTANTIATE_TEST_SUITE_P(
    Cases, AudioNameTest,
    ::testing::Values(
        NameCase{"no audio key", {}, FALSE, "USB Audio Device"},
        NameCase{"Yes",
                 {{"AudioClass", Text("Yes")}, {"DeviceName", Text("Cam")}},
                 TRUE,
                 "USB Audio Device"},
        NameCase{"lower-case yes",
                 {{"AudioClass", Text("yes")}, {"DeviceName", Text("Cam")}},
                 TRUE,
                 "Cam"},
        NameCase{"Yes and more",
                 {{"AudioClass", Text("Yes sir")}, {"DeviceName", Text("Cam")}},
                 TRUE,
                 "Cam"},
        NameCase{"no DeviceName", {{"AudioClass", Text("No")}}, TRUE, "USB KXQ Audio Device"},
        NameCase{"DeviceName without AudioClass",
                 {{"DeviceName", Text("Cam")}},
                 FALSE,
                 "USB Audio Device"},
        NameCase{"DeviceName of 256 bytes, no terminator",
                 {{"AudioClass", Text("No")}, {"DeviceName", k256}},
                 TRUE,
                 k256},
        NameCase{"DeviceName of 257 bytes",
                 {{"AudioClass", Text("No")}, {"DeviceName", k257}},
                 TRUE,
                 "USB KXQ Audio Device"},
        NameCase{
            "AudioClass of 257 bytes", {{"AudioClass", "Yes" + k257}}, FALSE, "USB Audio Device"},
        NameCase{"DeviceName with text after its terminator",
                 {{"AudioClass", Text("No")}, {"DeviceName", Text("Mic") + "junk"}},
                 TRUE,
                 "Mic"}));

TEST_P(AudioNameTest, ReadAndDefault) {
    for (const Value& value : GetParam().values) {
        machine.SetBytes(kAudioKey, value.name, value.bytes);
    }
    char read[260];
    std::memcpy(read, kUntouched, sizeof kUntouched);
    EXPECT_EQ(ReadAudioDeviceName(read, nullptr), GetParam().expectedRead);
    if (!GetParam().expectedRead) {
        EXPECT_STREQ(read, kUntouched) << "nothing is written when the read fails";
    }
    char name[260] = {};
    GetAudioDeviceName(name);
    EXPECT_EQ(std::string(name), GetParam().expectedName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureNameTest,
    ::testing::Values(
        NameCase{"no capture key", {}, FALSE, "USB 7450 Device"},
        NameCase{"RealDSName over DSName",
                 {{"RealDSName", Text("Real Cam")}, {"DSName", Text("Cam")}},
                 TRUE,
                 "Real Cam"},
        NameCase{"DSName alone", {{"DSName", Text("Cam")}}, TRUE, "Cam"},
        NameCase{"empty RealDSName", {{"RealDSName", Text("")}, {"DSName", Text("Cam")}}, TRUE, ""},
        NameCase{"RealDSName of 257 bytes",
                 {{"RealDSName", k257}, {"DSName", Text("Cam")}},
                 TRUE,
                 "Cam"},
        NameCase{"both of 257 bytes",
                 {{"RealDSName", k257}, {"DSName", k257}},
                 FALSE,
                 "USB 7450 Device"},
        NameCase{"RealDSName of 256 bytes, no terminator", {{"RealDSName", k256}}, TRUE, k256}));

TEST_P(CaptureNameTest, ReadAndDefault) {
    for (const Value& value : GetParam().values) {
        machine.SetBytes(kCaptureKey, value.name, value.bytes);
    }
    char read[260];
    std::memcpy(read, kUntouched, sizeof kUntouched);
    EXPECT_EQ(ReadCaptureDeviceName(read, nullptr), GetParam().expectedRead);
    if (!GetParam().expectedRead) {
        EXPECT_STREQ(read, kUntouched);
    }
    char name[260] = {};
    GetCaptureDeviceName(name);
    EXPECT_EQ(std::string(name), GetParam().expectedName);
}

TEST(RegistryNameWideTest, ANameInTheAnsiCodePageComesOutWide) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the case is written for code page 1252";
    }
    simbench::MachineKeyRedirect machine;
    machine.SetString(kCaptureKey, "RealDSName",
                      "Cam\xE9ra \xAB"
                      "A\xBB");
    machine.SetString(kAudioKey, "AudioClass", "No");
    machine.SetString(kAudioKey, "DeviceName",
                      "Micr\xF3"
                      "fono");
    char name[260] = {};
    wchar_t wide[260] = {};
    ASSERT_EQ(ReadCaptureDeviceName(name, wide), TRUE);
    EXPECT_STREQ(name,
                 "Cam\xE9ra \xAB"
                 "A\xBB");
    EXPECT_STREQ(wide, L"Cam\u00E9ra \u00ABA\u00BB");
    ASSERT_EQ(ReadAudioDeviceName(name, wide), TRUE);
    EXPECT_STREQ(name,
                 "Micr\xF3"
                 "fono");
    EXPECT_STREQ(wide, L"Micr\u00F3fono");
}

TEST(RegistryNameWideTest, FixedNamesComeOutInBothForms) {
    simbench::MachineKeyRedirect machine;
    machine.SetString(kAudioKey, "AudioClass", "Yes");
    char name[260] = {};
    wchar_t wide[260] = {};
    ASSERT_EQ(ReadAudioDeviceName(name, wide), TRUE);
    EXPECT_STREQ(wide, L"USB Audio Device");
    machine.SetString(kAudioKey, "AudioClass", "No");
    ASSERT_EQ(ReadAudioDeviceName(nullptr, wide), TRUE);
    EXPECT_STREQ(wide, L"USB KXQ Audio Device");
    machine.SetBytes(kAudioKey, "DeviceName", std::string(256, 'C'));
    ASSERT_EQ(ReadAudioDeviceName(nullptr, wide), TRUE);
    EXPECT_EQ(std::wstring(wide), std::wstring(256, L'C'));
}

}  // namespace
