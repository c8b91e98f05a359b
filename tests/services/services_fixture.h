// A DeviceControl bound to the simulated chip, and a register-level view of
// what the driver was sent.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "simdevice/sim_chip.h"
#include "simdevice/sim_codec.h"
#include "simdevice/sim_driver.h"
#include "simdevice/sim_remote.h"
#include "tests/common/test_support.h"

constexpr DWORD kOlderChip = 0x24;
constexpr DWORD kLaterChip = 0x41;

class ServicesTest : public ::testing::Test {
  protected:
    ~ServicesTest() override;

    // Binds dc to a fresh simulated chip of this identity, after letting go of
    // the previous one; the call log starts empty.
    void Bind(const sim::ChipIdentity& identity);
    void BindChip(DWORD chipId, DWORD remoteAddress = 0, DWORD remoteI2cAddress = 0);
    void Unbind();

    // The driver calls since binding, one string each: "R43=01" a register read
    // (index=bytes read), "W42=9C" a register write, "T:FF,51" a Transfer
    // (target, first byte written), "I2C:01A07A01" an I2C descriptor set,
    // "Get:103E", "Set:103E=02000010" other properties. A failed call ends in "!".
    std::vector<std::string> Trace() const;
    size_t CountOf(const std::string& entry) const;

    HRESULT& LastResult() { return DeviceControlTestAccess::LastResult(dc); }
    DWORD& Toggle() { return DeviceControlTestAccess::RemoteToggle(dc); }

    std::shared_ptr<sim::SimChip> chip;
    sim::SimDriver* driver = nullptr;
    DeviceControl dc;
};
