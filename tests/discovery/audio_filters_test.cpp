// OpenAudioFilters: all or nothing, and what it holds is released.
#include <gtest/gtest.h>
#include <dshow.h>

#include "devctl/device_control.h"
#include "tests/bench/sim_bench.h"
#include "tests/common/test_support.h"

using sim::DeviceCategory;
using simbench::Device;
using simbench::DeviceId;

namespace {

using Access = DeviceControlTestAccess;

class AudioFiltersTest : public simbench::SimDeviceTest {
  protected:
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        machine.SetString("Software\\USB5170\\Audio", "AudioClass", "No");
        machine.SetString("Software\\USB5170\\Audio", "DeviceName", "Lab Audio");
    }
    void TearDown() override {
        device.ReleaseAudioFilters();
        simbench::SimDeviceTest::TearDown();
    }
    void AddAllThree() {
        Add(Device(L"mic", L"Lab Audio In", DeviceCategory::AudioInput));
        Add(Device(L"ks", L"Lab Audio KS", DeviceCategory::KsAudio));
        Add(Device(L"out", L"Default WaveOut Device", DeviceCategory::AudioRenderer));
    }

    simbench::MachineKeyRedirect machine;
    DeviceControl device;
};

TEST_F(AudioFiltersTest, AllRequestedFiltersFound) {
    AddAllThree();
    char name[260] = {};
    IBaseFilter* capture = nullptr;
    IBaseFilter* ks = nullptr;
    IBaseFilter* renderer = nullptr;
    ASSERT_EQ(device.OpenAudioFilters(name, &capture, &ks, &renderer), TRUE);
    EXPECT_STREQ(name, "Lab Audio");
    EXPECT_EQ(DeviceId(capture), L"mic");
    EXPECT_EQ(DeviceId(ks), L"ks");
    EXPECT_EQ(DeviceId(renderer), L"out");
    EXPECT_EQ(Access::AudioCaptureFilter(device), capture);
    EXPECT_EQ(Access::AudioDeviceFilter(device), ks);
    EXPECT_EQ(Access::AudioRendererFilter(device), renderer);
    device.ReleaseAudioFilters();
    EXPECT_EQ(simbench::LiveObjects(), 0);
}

TEST_F(AudioFiltersTest, AMissingFilterReleasesEveryFilter) {
    Add(Device(L"ks", L"Lab Audio KS", DeviceCategory::KsAudio));
    Add(Device(L"out", L"Default WaveOut Device", DeviceCategory::AudioRenderer));
    IBaseFilter* capture = nullptr;
    IBaseFilter* ks = nullptr;
    IBaseFilter* renderer = nullptr;
    EXPECT_EQ(device.OpenAudioFilters(nullptr, &capture, &ks, &renderer), FALSE);
    EXPECT_EQ(Access::AudioCaptureFilter(device), nullptr);
    EXPECT_EQ(Access::AudioDeviceFilter(device), nullptr);
    EXPECT_EQ(Access::AudioRendererFilter(device), nullptr);
    EXPECT_EQ(capture, nullptr);
    EXPECT_EQ(ks, nullptr);
    EXPECT_EQ(renderer, nullptr) << "no pointer to a released filter is handed out";
    EXPECT_EQ(simbench::LiveObjects(), 0);
}

TEST_F(AudioFiltersTest, OnlyRequestedFiltersAreSearched) {
    AddAllThree();
    IBaseFilter* renderer = nullptr;
    ASSERT_EQ(device.OpenAudioFilters(nullptr, nullptr, nullptr, &renderer), TRUE);
    EXPECT_EQ(DeviceId(renderer), L"out");
    EXPECT_EQ(Access::AudioCaptureFilter(device), nullptr);
    EXPECT_EQ(Access::AudioDeviceFilter(device), nullptr);
}

TEST_F(AudioFiltersTest, NothingRequestedWritesTheNameAndSearchesNothing) {
    Access::LastResult(device) = 12345;
    char name[260] = {};
    EXPECT_EQ(device.OpenAudioFilters(name, nullptr, nullptr, nullptr), TRUE);
    EXPECT_STREQ(name, "Lab Audio");
    EXPECT_EQ(device.GetLastResult(), 12345);
}

TEST_F(AudioFiltersTest, ASecondCallReleasesWhatTheFirstHeld) {
    AddAllThree();
    IBaseFilter* capture = nullptr;
    IBaseFilter* ks = nullptr;
    IBaseFilter* renderer = nullptr;
    ASSERT_EQ(device.OpenAudioFilters(nullptr, &capture, &ks, &renderer), TRUE);
    const LONG heldByOneCall = simbench::LiveObjects();
    ASSERT_EQ(device.OpenAudioFilters(nullptr, &capture, &ks, &renderer), TRUE);
    EXPECT_EQ(simbench::LiveObjects(), heldByOneCall);
    ASSERT_EQ(device.OpenAudioFilters(nullptr, &capture, nullptr, nullptr), TRUE);
    EXPECT_EQ(Access::AudioDeviceFilter(device), nullptr);
    EXPECT_EQ(Access::AudioRendererFilter(device), nullptr);
}

}  // namespace
