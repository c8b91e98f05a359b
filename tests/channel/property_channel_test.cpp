// The property channel as the driver sees it: select words and descriptors,
// data moves, the reset after a failure, and what lands in the last result.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "simdevice/sim_driver.h"
#include "tests/common/test_support.h"

using ::testing::_;
using ::testing::DoAll;
using ::testing::InSequence;
using ::testing::Return;
using TA = DeviceControlTestAccess;

namespace {

constexpr HRESULT kDriverFailure = static_cast<HRESULT>(0x8007001F);

// A DeviceControl bound to a strict GoogleMock driver.
class MockBound : public ::testing::Test {
  protected:
    MockBound() : driver(new ::testing::StrictMock<MockCustomProperty>()) {
        TA::Attach(dc, driver);
    }
    ~MockBound() override {
        dc.Close();
        driver->Release();
    }
    DeviceControl dc;
    ::testing::StrictMock<MockCustomProperty>* driver;
};

TEST_F(MockBound, RegisterReadSelectsThenGetsTheCountedBytes) {
    InSequence order;
    EXPECT_CALL(*driver, Set(CPROP_REG_SELECT, PointsToWord(0x00123402))).WillOnce(Return(S_OK));
    EXPECT_CALL(*driver, Get(CPROP_REG_DATA, _)).WillOnce(DeliverWord(0xBEEF, 3));
    DWORD data = 0;
    EXPECT_EQ(dc.ReadRegisters(0x1234, 2, &data), 3);
    EXPECT_EQ(data, 0xBEEFu);
    EXPECT_EQ(dc.GetLastResult(), 3);
}

TEST_F(MockBound, FailedDataStepResetsTheSelectionAndKeepsTheFailure) {
    InSequence order;
    EXPECT_CALL(*driver, Set(CPROP_REG_SELECT, PointsToWord(0x00000801))).WillOnce(Return(S_OK));
    EXPECT_CALL(*driver, Get(CPROP_REG_DATA, _)).WillOnce(Return(kDriverFailure));
    EXPECT_CALL(*driver, Set(CPROP_REG_SELECT, PointsToWord(0))).WillOnce(Return(E_FAIL));
    BYTE data = 0;
    EXPECT_EQ(dc.ReadRegisters(0x08, 1, &data), kDriverFailure);
    EXPECT_EQ(dc.GetLastResult(), kDriverFailure);
}

TEST_F(MockBound, FailedSelectSkipsTheDataStepAndResets) {
    InSequence order;
    EXPECT_CALL(*driver, Set(CPROP_ALT_REG_SELECT, PointsToWord(0x0000AB02)))
        .WillOnce(Return(kDriverFailure));
    EXPECT_CALL(*driver, Set(CPROP_ALT_REG_SELECT, PointsToWord(0))).WillOnce(Return(S_OK));
    WORD data = 0;
    EXPECT_EQ(dc.WriteAltRegisters(0x1AB, 2, &data), kDriverFailure);
    EXPECT_EQ(dc.GetLastResult(), kDriverFailure);
}

TEST_F(MockBound, I2cWriteSetsDescriptorThenData) {
    InSequence order;
    EXPECT_CALL(*driver, Set(CPROP_I2C_TRANSFER, PointsToWord(0x01A00801))).WillOnce(Return(S_OK));
    EXPECT_CALL(*driver, Set(CPROP_I2C_DATA, PointsToWord(0x45))).WillOnce(Return(S_OK));
    DWORD data = 0x45;
    EXPECT_EQ(dc.WriteI2c(0xA0, 0x08, 1, &data), S_OK);
}

TEST_F(MockBound, FailedI2cDataResetsTheDescriptor) {
    InSequence order;
    EXPECT_CALL(*driver, Set(CPROP_I2C_TRANSFER, PointsToWord(0x01A07A01))).WillOnce(Return(S_OK));
    EXPECT_CALL(*driver, Get(CPROP_I2C_DATA, _)).WillOnce(Return(DEVCTL_E_UNPLUGGED));
    EXPECT_CALL(*driver, Set(CPROP_I2C_TRANSFER, PointsToWord(0))).WillOnce(Return(S_OK));
    DWORD data = 0;
    EXPECT_EQ(dc.ReadI2c(0xA0, 0x7A, 1, &data), DEVCTL_E_UNPLUGGED);
    EXPECT_EQ(dc.GetLastResult(), DEVCTL_E_UNPLUGGED);
}

TEST_F(MockBound, TransferDirectionOneWritesAnyOtherReads) {
    InSequence order;
    EXPECT_CALL(*driver, Set(CPROP_I2C_TRANSFER, _)).WillOnce(Return(S_OK));
    EXPECT_CALL(*driver, Get(CPROP_I2C_DATA, _)).WillOnce(Return(S_OK));
    EXPECT_CALL(*driver, Set(CPROP_I2C_TRANSFER, _)).WillOnce(Return(S_OK));
    EXPECT_CALL(*driver, Set(CPROP_I2C_DATA, _)).WillOnce(Return(S_OK));
    DWORD data = 0;
    EXPECT_EQ(dc.TransferI2c(0x00A00001, &data, 2), S_OK);
    EXPECT_EQ(dc.TransferI2c(0x00A00001, &data, 1), S_OK);
}

TEST_F(MockBound, ProbeReadsReadyFlagThenState) {
    InSequence order;
    EXPECT_CALL(*driver, Set(CPROP_I2C_DEVICE, PointsToWord(0x1A0))).WillOnce(Return(S_OK));
    EXPECT_CALL(*driver, Get(CPROP_I2C_DEVICE_READY, _)).WillOnce(DeliverWord(1, S_OK));
    EXPECT_CALL(*driver, Get(CPROP_I2C_DEVICE_STATE, _)).WillOnce(DeliverWord(0x77, 2));
    DWORD state = 0xFFFF;
    // The whole 32-bit address goes to the driver, not just its low byte.
    EXPECT_EQ(dc.ProbeI2cDevice(0x1A0, &state), 2);
    EXPECT_EQ(state, 0x77u);
    EXPECT_EQ(dc.GetLastResult(), 2);
}

TEST_F(MockBound, ProbeOfADeviceNotReadyGives21AndKeepsTheReadyStatus) {
    InSequence order;
    EXPECT_CALL(*driver, Set(CPROP_I2C_DEVICE, _)).WillOnce(Return(S_OK));
    EXPECT_CALL(*driver, Get(CPROP_I2C_DEVICE_READY, _)).WillOnce(DeliverWord(0, 4));
    DWORD state = 0xFFFF;
    EXPECT_EQ(dc.ProbeI2cDevice(0xA0, &state), DEVCTL_S_NOT_READY);
    EXPECT_EQ(state, 0u);
    EXPECT_EQ(dc.GetLastResult(), 4);
}

TEST_F(MockBound, ProbeStopsAtAFailedSelect) {
    EXPECT_CALL(*driver, Set(CPROP_I2C_DEVICE, _)).WillOnce(Return(kDriverFailure));
    DWORD state = 0xFFFF;
    EXPECT_EQ(dc.ProbeI2cDevice(0xA0, &state), kDriverFailure);
    EXPECT_EQ(state, 0u);
}

TEST_F(MockBound, RawPropertyAccessAndSelectAreNotRecorded) {
    TA::LastResult(dc) = 42;
    EXPECT_CALL(*driver, Get(CPROP_CHIP_ID, _)).WillOnce(Return(kDriverFailure));
    EXPECT_CALL(*driver, Set(CPROP_CONFIG_103E, _)).WillOnce(Return(kDriverFailure));
    EXPECT_CALL(*driver, Set(CPROP_I2C_DEVICE, PointsToWord(0xA0))).WillOnce(Return(7));
    DWORD word = 0;
    EXPECT_EQ(dc.GetProperty(CPROP_CHIP_ID, &word), kDriverFailure);
    EXPECT_EQ(dc.SetProperty(CPROP_CONFIG_103E, &word), kDriverFailure);
    EXPECT_EQ(dc.SelectI2cDevice(0xA0), 7);
    EXPECT_EQ(dc.GetLastResult(), 42);
}

TEST_F(MockBound, TryFormsRecordAndTestOnlyTheSign) {
    EXPECT_CALL(*driver, Set(CPROP_I2C_DEVICE, _))
        .WillOnce(Return(7))
        .WillOnce(Return(kDriverFailure));
    EXPECT_TRUE(dc.TrySelectI2cDevice(0xA0));
    EXPECT_EQ(dc.GetLastResult(), 7);
    EXPECT_FALSE(dc.TrySelectI2cDevice(0xA0));
    EXPECT_EQ(dc.GetLastResult(), kDriverFailure);
}

TEST_F(MockBound, ValueGettersRecordAndGiveZeroOnFailure) {
    EXPECT_CALL(*driver, Get(CPROP_VALUE_1019, _)).WillOnce(DeliverWord(0x1234, S_OK));
    EXPECT_CALL(*driver, Get(CPROP_VALUE_1034, _)).WillOnce(DeliverWord(0x5678, kDriverFailure));
    EXPECT_CALL(*driver, Get(CPROP_VALUE_1035, _)).WillOnce(DeliverWord(9, 1));
    EXPECT_CALL(*driver, Get(CPROP_VALUE_103C, _)).WillOnce(DeliverWord(10, S_OK));
    EXPECT_EQ(dc.GetValue1019(), 0x1234u);
    EXPECT_EQ(dc.GetValue1034(), 0u);
    EXPECT_EQ(dc.GetLastResult(), kDriverFailure);
    EXPECT_EQ(dc.GetValue1035(), 9u);
    EXPECT_EQ(dc.GetLastResult(), 1);
    EXPECT_EQ(dc.GetValue103C(), 10u);
}

TEST_F(MockBound, PassThroughsHandTheirArgumentsOnInOrder) {
    BYTE request = 0x51;
    BYTE reply[5] = {};
    EXPECT_CALL(*driver, Transfer(0xFF, 1, &request, 5, reply)).WillOnce(Return(3));
    EXPECT_CALL(*driver, Invoke(1, 2, 3)).WillOnce(Return(kDriverFailure));
    EXPECT_CALL(*driver, SetDirect(CPROP_VALUE_103D, 0xCAFE)).WillOnce(Return(S_OK));
    EXPECT_EQ(dc.TransferRaw(0xFF, 1, &request, 5, reply), 3);
    EXPECT_EQ(dc.GetLastResult(), 3);
    EXPECT_EQ(dc.InvokeRaw(1, 2, 3), kDriverFailure);
    EXPECT_EQ(dc.GetLastResult(), kDriverFailure);
    EXPECT_EQ(dc.SetValue103D(0xCAFE), S_OK);
    EXPECT_EQ(dc.GetLastResult(), S_OK);
}

// The word each operation sends as its select word or descriptor, with the
// arguments cut to the documented widths.
struct LayoutCase {
    const char* name;
    std::function<HRESULT(DeviceControl&, void*)> operation;
    DWORD selectId;
    DWORD expectedWord;
};

void PrintTo(const LayoutCase& layout, std::ostream* out) {
    *out << layout.name;
}

class SelectWordLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(SelectWordLayout, SendsTheDocumentedWord) {
    auto* driver = new ::testing::NiceMock<MockCustomProperty>();
    DeviceControl dc;
    TA::Attach(dc, driver);
    EXPECT_CALL(*driver, Set(_, _)).WillRepeatedly(Return(S_OK));
    EXPECT_CALL(*driver, Set(GetParam().selectId, PointsToWord(GetParam().expectedWord)))
        .WillOnce(Return(S_OK));
    BYTE buffer[512] = {};
    EXPECT_EQ(GetParam().operation(dc, buffer), S_OK);
    dc.Close();
    driver->Release();
}

const LayoutCase kLayouts[] = {
    {"RegCountCutTo8Bits",
     [](DeviceControl& d, void* b) { return d.ReadRegisters(0x1234, 0x1FF, b); }, CPROP_REG_SELECT,
     0x001234FF},
    {"RegIndexCutTo16Bits",
     [](DeviceControl& d, void* b) { return d.WriteRegisters(0x12345, 1, b); }, CPROP_REG_SELECT,
     0x00234501},
    {"AltIndexCutTo8Bits",
     [](DeviceControl& d, void* b) { return d.ReadAltRegisters(0x1AB, 2, b); },
     CPROP_ALT_REG_SELECT, 0x0000AB02},
    {"AltCountCutTo8Bits",
     [](DeviceControl& d, void* b) { return d.WriteAltRegisters(0x10, 0x104, b); },
     CPROP_ALT_REG_SELECT, 0x00001004},
    {"DirectRead", [](DeviceControl& d, void* b) { return d.ReadI2cDirect(0x1A0, 0x103, b); },
     CPROP_I2C_TRANSFER, 0x00A00003},
    {"DirectWrite", [](DeviceControl& d, void* b) { return d.WriteI2cDirect(0x42, 2, b); },
     CPROP_I2C_TRANSFER, 0x00420002},
    {"SubAddressMarker", [](DeviceControl& d, void* b) { return d.ReadI2c(0xA0, 0x7A, 1, b); },
     CPROP_I2C_TRANSFER, 0x01A07A01},
    {"SubAddressIds", [](DeviceControl& d, void* b) { return d.ReadI2c(0xA0, 0x04, 4, b); },
     CPROP_I2C_TRANSFER, 0x01A00404},
    {"SubAddressCut", [](DeviceControl& d, void* b) { return d.WriteI2c(0x1A0, 0x108, 0x101, b); },
     CPROP_I2C_TRANSFER, 0x01A00801},
    {"SubAddress16", [](DeviceControl& d, void* b) { return d.ReadI2c16(0xA0, 0x1234, 5, b); },
     CPROP_I2C_TRANSFER, 0x12A03485},
    {"SubAddress16Count128",
     [](DeviceControl& d, void* b) { return d.WriteI2c16(0xA0, 0x1234, 128, b); },
     CPROP_I2C_TRANSFER, 0x12A03480},
    {"SubAddress16Cut", [](DeviceControl& d, void* b) { return d.ReadI2c16(0xA0, 0x51234, 1, b); },
     CPROP_I2C_TRANSFER, 0x12A03481},
    {"LongLength", [](DeviceControl& d, void* b) { return d.ReadI2cLong(0xA0, 0x10, 0x0123, b); },
     CPROP_I2C_TRANSFER, 0x01A01023},
    {"LongCut", [](DeviceControl& d, void* b) { return d.WriteI2cLong(0xA0, 0x110, 0x10002, b); },
     CPROP_I2C_TRANSFER, 0x00A01002},
};

INSTANTIATE_TEST_SUITE_P(All, SelectWordLayout, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

// Every operation that would call the driver, on an object that holds none:
// status 6, no effect, and the last result touched only where documented.
struct UnboundCase {
    const char* name;
    std::function<HRESULT(DeviceControl&)> operation;
    HRESULT expected;
    bool records;
};

void PrintTo(const UnboundCase& unbound, std::ostream* out) {
    *out << unbound.name;
}

class Unbound : public ::testing::TestWithParam<UnboundCase> {};

TEST_P(Unbound, ReturnsNotBoundAndRecordsOnlyWhereDocumented) {
    DeviceControl dc;
    TA::LastResult(dc) = -5;
    EXPECT_EQ(GetParam().operation(dc), GetParam().expected);
    EXPECT_EQ(dc.GetLastResult(), GetParam().records ? DEVCTL_S_NOT_BOUND : -5);
}

DWORD word;
BYTE bytes[8];
const UnboundCase kUnboundCases[] = {
    {"GetProperty", [](DeviceControl& d) { return d.GetProperty(CPROP_CHIP_ID, &word); }, 6, false},
    {"SetProperty", [](DeviceControl& d) { return d.SetProperty(CPROP_CONFIG_103E, &word); }, 6,
     false},
    {"GetValue1019", [](DeviceControl& d) { return HRESULT(d.GetValue1019()); }, 0, true},
    {"GetValue1034", [](DeviceControl& d) { return HRESULT(d.GetValue1034()); }, 0, true},
    {"GetValue1035", [](DeviceControl& d) { return HRESULT(d.GetValue1035()); }, 0, true},
    {"GetValue103C", [](DeviceControl& d) { return HRESULT(d.GetValue103C()); }, 0, true},
    {"ReadRegisters", [](DeviceControl& d) { return d.ReadRegisters(0, 1, bytes); }, 6, false},
    {"WriteRegisters", [](DeviceControl& d) { return d.WriteRegisters(0, 1, bytes); }, 6, false},
    {"ReadAltRegisters", [](DeviceControl& d) { return d.ReadAltRegisters(0, 1, bytes); }, 6,
     false},
    {"WriteAltRegisters", [](DeviceControl& d) { return d.WriteAltRegisters(0, 1, bytes); }, 6,
     false},
    {"SelectI2cDevice", [](DeviceControl& d) { return d.SelectI2cDevice(0xA0); }, 6, false},
    {"ProbeI2cDevice", [](DeviceControl& d) { return d.ProbeI2cDevice(0xA0, &word); }, 6, true},
    {"TransferI2c", [](DeviceControl& d) { return d.TransferI2c(0, bytes, 0); }, 6, false},
    {"ReadI2cDirect", [](DeviceControl& d) { return d.ReadI2cDirect(0xA0, 1, bytes); }, 6, false},
    {"WriteI2cDirect", [](DeviceControl& d) { return d.WriteI2cDirect(0xA0, 1, bytes); }, 6, false},
    {"ReadI2c", [](DeviceControl& d) { return d.ReadI2c(0xA0, 8, 1, bytes); }, 6, false},
    {"WriteI2c", [](DeviceControl& d) { return d.WriteI2c(0xA0, 8, 1, bytes); }, 6, false},
    {"ReadI2c16", [](DeviceControl& d) { return d.ReadI2c16(0xA0, 8, 1, bytes); }, 6, false},
    {"WriteI2c16", [](DeviceControl& d) { return d.WriteI2c16(0xA0, 8, 1, bytes); }, 6, false},
    {"ReadI2cLong", [](DeviceControl& d) { return d.ReadI2cLong(0xA0, 8, 1, bytes); }, 6, false},
    {"WriteI2cLong", [](DeviceControl& d) { return d.WriteI2cLong(0xA0, 8, 1, bytes); }, 6, false},
    {"TransferRaw", [](DeviceControl& d) { return d.TransferRaw(0xFF, 1, bytes, 5, bytes); }, 6,
     false},
    {"InvokeRaw", [](DeviceControl& d) { return d.InvokeRaw(1, 2, 3); }, 6, false},
    {"SetValue103D", [](DeviceControl& d) { return d.SetValue103D(1); }, 6, false},
    {"TryGetProperty",
     [](DeviceControl& d) { return HRESULT(d.TryGetProperty(CPROP_CHIP_ID, &word)); }, 1, true},
    {"TrySetProperty",
     [](DeviceControl& d) { return HRESULT(d.TrySetProperty(CPROP_CHIP_ID, &word)); }, 1, true},
    {"TryReadRegisters", [](DeviceControl& d) { return HRESULT(d.TryReadRegisters(0, 1, bytes)); },
     1, true},
    {"TryWriteRegisters",
     [](DeviceControl& d) { return HRESULT(d.TryWriteRegisters(0, 1, bytes)); }, 1, true},
    {"TrySelectI2cDevice", [](DeviceControl& d) { return HRESULT(d.TrySelectI2cDevice(0xA0)); }, 1,
     true},
    {"TryReadI2cDirect",
     [](DeviceControl& d) { return HRESULT(d.TryReadI2cDirect(0xA0, 1, bytes)); }, 1, true},
    {"TryWriteI2cDirect",
     [](DeviceControl& d) { return HRESULT(d.TryWriteI2cDirect(0xA0, 1, bytes)); }, 1, true},
    {"TryReadI2c", [](DeviceControl& d) { return HRESULT(d.TryReadI2c(0xA0, 8, 1, bytes)); }, 1,
     true},
    {"TryWriteI2c", [](DeviceControl& d) { return HRESULT(d.TryWriteI2c(0xA0, 8, 1, bytes)); }, 1,
     true},
    {"TryReadI2c16", [](DeviceControl& d) { return HRESULT(d.TryReadI2c16(0xA0, 8, 1, bytes)); }, 1,
     true},
    {"TryWriteI2c16", [](DeviceControl& d) { return HRESULT(d.TryWriteI2c16(0xA0, 8, 1, bytes)); },
     1, true},
    {"TryReadI2cLong",
     [](DeviceControl& d) { return HRESULT(d.TryReadI2cLong(0xA0, 8, 1, bytes)); }, 1, true},
    {"TryWriteI2cLong",
     [](DeviceControl& d) { return HRESULT(d.TryWriteI2cLong(0xA0, 8, 1, bytes)); }, 1, true},
};

INSTANTIATE_TEST_SUITE_P(All, Unbound, ::testing::ValuesIn(kUnboundCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Lifetime, CloseReleasesTheDriverOnceAndLeavesTheRest) {
    auto* driver = new MockCustomProperty();
    DeviceControl dc;
    TA::Attach(dc, driver);
    TA::LastResult(dc) = -7;
    ASSERT_EQ(driver->RefCount(), 2u);
    dc.Close();
    EXPECT_EQ(driver->RefCount(), 1u);
    dc.Close();
    EXPECT_EQ(driver->RefCount(), 1u);
    EXPECT_EQ(TA::Driver(dc), nullptr);
    EXPECT_EQ(dc.GetLastResult(), -7);
    driver->Release();
}

TEST(Lifetime, DestructorReleasesNothing) {
    auto* driver = new MockCustomProperty();
    {
        DeviceControl dc;
        TA::Attach(dc, driver);
    }
    EXPECT_EQ(driver->RefCount(), 2u);
    driver->Release();
    driver->Release();
}

TEST(Lifetime, ReleaseAudioFiltersReleasesEachHeldFilter) {
    auto* capture = new FakeCaptureFilter(nullptr);
    auto* renderer = new FakeCaptureFilter(nullptr);
    DeviceControl dc;
    TA::AudioCaptureFilter(dc) = capture;
    TA::AudioRendererFilter(dc) = renderer;
    capture->AddRef();
    renderer->AddRef();
    dc.ReleaseAudioFilters();
    dc.ReleaseAudioFilters();
    EXPECT_EQ(capture->RefCount(), 1u);
    EXPECT_EQ(renderer->RefCount(), 1u);
    EXPECT_EQ(TA::AudioCaptureFilter(dc), nullptr);
    EXPECT_EQ(TA::AudioRendererFilter(dc), nullptr);
    capture->Release();
    renderer->Release();
}

}  // namespace
