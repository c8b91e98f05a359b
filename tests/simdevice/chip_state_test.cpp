// The chip state a device's settings give it when a binding creates its chip:
// waiting remote-control frames, the codec's busy bit and registers, and the
// configuration word, seen through the library bound to the filter.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "devctl/device_control.h"
#include "tests/bench/sim_bench.h"

using simbench::Device;

namespace {

sim::RemoteCode Frame(bool toggle, BYTE address, BYTE command) {
    sim::RemoteCode code;
    code.toggle = toggle;
    code.address = address;
    code.command = command;
    return code;
}

class ChipStateTest : public simbench::SimDeviceTest {
  protected:
    void TearDown() override {
        device.Close();
        simbench::SimDeviceTest::TearDown();
    }
    // Adds the device and binds it as the updater does.
    void AddAndOpen(const sim::DeviceSettings& settings) {
        Add(settings);
        ASSERT_NE(device.Open(), nullptr) << "last result " << device.GetLastResult();
    }

    DeviceControl device;
};

TEST_F(ChipStateTest, SettingsSurviveTheRegistry) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.remoteCodes = {Frame(true, 0x40, 0x15), Frame(false, 0xFF, 0x00)};
    settings.codecBusyPolls = sim::kCodecBusyForever;
    settings.ac97Registers = {{0x02, 0x0808}, {0x7F, 0xFFFF}};
    settings.config103E = 0x02000031;
    Add(settings);
    const std::vector<sim::DeviceSettings> listed = sim::ListDevices();
    ASSERT_EQ(listed.size(), 1u);
    const sim::DeviceSettings& back = listed[0];
    ASSERT_EQ(back.remoteCodes.size(), 2u);
    EXPECT_TRUE(back.remoteCodes[0].toggle);
    EXPECT_EQ(back.remoteCodes[0].address, 0x40);
    EXPECT_EQ(back.remoteCodes[0].command, 0x15);
    EXPECT_FALSE(back.remoteCodes[1].toggle);
    EXPECT_EQ(back.remoteCodes[1].address, 0xFF);
    EXPECT_EQ(back.remoteCodes[1].command, 0x00);
    EXPECT_EQ(back.codecBusyPolls, sim::kCodecBusyForever);
    EXPECT_EQ(back.ac97Registers, settings.ac97Registers);
    EXPECT_EQ(back.config103E, 0x02000031u);
}

// --- Remote control ---------------------------------------------------------------

TEST_F(ChipStateTest, OlderGenerationKeysComeOutInQueuedOrder) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.identity.remoteAddress = 0x40;
    settings.remoteCodes = {Frame(true, 0x40, 0x15), Frame(true, 0x40, 0x15),
                            Frame(false, 0x40, 0x16), Frame(true, 0x41, 0x17)};
    AddAndOpen(settings);
    // New key, held, new key, another remote's key, then nothing waiting.
    const DWORD expected[] = {0x15, 254, 0x16, 255, 255};
    for (DWORD want : expected) {
        DWORD key = 0;
        EXPECT_EQ(device.ReadRemoteKey(&key), S_OK);
        EXPECT_EQ(key, want);
    }
}

struct LaterBoard {
    DWORD boardConfig;
    DWORD capacity;
    DWORD delivered;
};

void PrintTo(const LaterBoard& board, std::ostream* os) {
    *os << "board config " << board.boardConfig << ", capacity " << board.capacity;
}

class LaterGenerationRemoteTest : public ChipStateTest,
                                  public ::testing::WithParamInterface<LaterBoard> {};

INSTANTIATE_TEST_SUITE_P(Boards, LaterGenerationRemoteTest,
                         ::testing::Values(LaterBoard{0x02, 3, 3}, LaterBoard{0x04, 8, 5}));

TEST_P(LaterGenerationRemoteTest, CodesComeOutInQueuedOrder) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.identity.chipId = 0x141;
    settings.identity.boardConfig = GetParam().boardConfig;
    settings.remoteCodes = {Frame(true, 0x40, 0x15), Frame(false, 0x40, 0x16)};
    AddAndOpen(settings);
    DWORD key = 0;
    EXPECT_EQ(device.ReadRemoteKey(&key), DEVCTL_S_NOT_SUPPORTED);
    // Two frames, then the receiver idle under the last frame's toggle.
    const std::array<BYTE, 5> expected[] = {
        {0x81, 0x40, 0x15, 0, 0}, {0x01, 0x40, 0x16, 0, 0}, {0x00, 0x40, 0x16, 0, 0}};
    for (const auto& want : expected) {
        std::array<BYTE, 8> buffer = {};
        DWORD length = GetParam().capacity;
        EXPECT_EQ(device.GetRemoteCode(buffer.data(), &length), S_OK);
        ASSERT_EQ(length, GetParam().delivered);
        EXPECT_EQ(std::vector<BYTE>(buffer.begin(), buffer.begin() + length),
                  std::vector<BYTE>(want.begin(), want.begin() + length));
    }
}

TEST_F(ChipStateTest, TheStateIsSetWhenTheChipIsCreatedNotAtEveryBinding) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.remoteCodes = {Frame(true, 0, 0x15), Frame(false, 0, 0x16)};
    AddAndOpen(settings);
    DWORD code = 0;
    EXPECT_EQ(device.ReadRemoteCode(&code), S_OK);
    EXPECT_EQ(code, 0x150081u);

    DeviceControl second;  // a second handle on the same hardware
    ASSERT_NE(second.Open(), nullptr);
    EXPECT_EQ(second.ReadRemoteCode(&code), S_OK);
    EXPECT_EQ(code, 0x160001u) << "the queue goes on where the first binding left it";
    second.Close();
    device.Close();

    DeviceControl again;  // the device "powered up" anew
    ASSERT_NE(again.Open(), nullptr);
    EXPECT_EQ(again.ReadRemoteCode(&code), S_OK);
    EXPECT_EQ(code, 0x150081u);
    again.Close();
}

// --- Codec and configuration word ----------------------------------------------------

struct BusyCase {
    DWORD polls;
    HRESULT first;      // of ReadAc97 right after binding
    BYTE commandAfter;  // register 0x42 after it: what was sent to the codec
    HRESULT second;     // of the ReadAc97 after that
};

void PrintTo(const BusyCase& c, std::ostream* os) {
    if (c.polls == sim::kCodecBusyForever) {
        *os << "busy forever";
    } else {
        *os << "busy for " << c.polls << " polls";
    }
}

class CodecBusyTest : public ChipStateTest, public ::testing::WithParamInterface<BusyCase> {};

INSTANTIATE_TEST_SUITE_P(
    Polls, CodecBusyTest,
    ::testing::Values(BusyCase{0, S_OK, 0x9C, S_OK}, BusyCase{1999, S_OK, 0x9C, S_OK},
                      BusyCase{2000, DEVCTL_S_BUSY, 0x00, S_OK},
                      BusyCase{sim::kCodecBusyForever, DEVCTL_S_BUSY, 0x00, DEVCTL_S_BUSY}));

TEST_P(CodecBusyTest, ReadsWaitAtMost2000Polls) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.codecBusyPolls = GetParam().polls;
    settings.ac97Registers = {{0x1C, 0x8000}};
    AddAndOpen(settings);
    WORD value = 0;
    EXPECT_EQ(device.ReadAc97(0x1C, &value), GetParam().first);
    BYTE command = 0xEE;
    ASSERT_EQ(device.ReadRegisters(0x42, 1, &command), S_OK);
    EXPECT_EQ(command, GetParam().commandAfter);
    value = 0;
    EXPECT_EQ(device.ReadAc97(0x1C, &value), GetParam().second);
    EXPECT_EQ(value, GetParam().second == S_OK ? 0x8000 : 0);
}

TEST_F(ChipStateTest, TheConfigurationWordStartsAsSet) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.config103E = 0x01000025;
    AddAndOpen(settings);
    BYTE mode = 0;
    BYTE value = 0;
    DWORD firstFlag = 9;
    DWORD secondFlag = 9;
    EXPECT_EQ(device.GetConfig103E(&mode, &value, &firstFlag, &secondFlag), S_OK);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(firstFlag, 0u);
    EXPECT_EQ(secondFlag, 1u);
}

}  // namespace
