// Runs chipctl and simdevctl, the copies beside the test binary, as a script
// would, on simulated devices with an EEPROM backed by a file. Shared by the
// tool's tests.
#pragma once

#include <windows.h>

#include <array>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "tests/bench/sim_bench.h"
#include "tests/common/run_process.h"
#include "tests/simdevice/simdevctl_tool.h"

namespace chipctl_tool {

using simdevctl_tool::Outcome;
using EepromBytes = std::array<BYTE, 256>;

inline Outcome Chipctl(const std::wstring& arguments) {
    const std::wstring dll = simbench::DllPath();
    const testsupport::ProcessRun run = testsupport::RunProcess(
        dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"chipctl.exe", arguments);
    EXPECT_NE(run.exitCode, testsupport::ProcessRun::kNotStarted) << run.output;
    return {static_cast<int>(run.exitCode), run.output};
}

class ChipctlTest : public simbench::SimDeviceTest {
  protected:
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        eeprom = std::wstring(folder) + L"velto1-chipctl-test.bin";
        DeleteFileW(eeprom.c_str());
    }
    void TearDown() override {
        simbench::SimDeviceTest::TearDown();
        DeleteFileW(eeprom.c_str());
        DeleteFileW((eeprom + sim::kEepromLockSuffix).c_str());
    }

    // Adds "USB 7450 Device" with its EEPROM in the file, fresh, and the
    // further simdevctl add options given.
    void AddDevice(const std::wstring& options = L"") {
        const Outcome add = simdevctl_tool::Tool(L"add cam --name \"USB 7450 Device\" --eeprom \"" +
                                                 eeprom + L"\" --reset-eeprom " + options);
        ASSERT_EQ(add.exitCode, 0) << add.output;
    }
    EepromBytes FileBytes() const {
        EepromBytes bytes = {};
        FILE* file = _wfopen(eeprom.c_str(), L"rb");
        EXPECT_NE(file, nullptr);
        if (file) {
            EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
            std::fclose(file);
        }
        return bytes;
    }
    void WriteFileBytes(const EepromBytes& bytes) const {
        FILE* file = _wfopen(eeprom.c_str(), L"wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }

    std::wstring eeprom;
};

}  // namespace chipctl_tool
