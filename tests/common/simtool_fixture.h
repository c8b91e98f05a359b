// Shared by the tests that run the simulated device's tools (simdevctl,
// chipctl) as a script would: the tools beside the test binary, and a fixture
// whose device keeps its EEPROM in a file of its own.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "simdevice/chip/eeprom_file.h"
#include "tests/bench/sim_bench.h"
#include "tests/common/run_process.h"

namespace simtool {

struct Outcome {
    int exitCode;
    std::string output;  // stdout and stderr together
};

inline std::wstring Beside(const std::wstring& program) {  // a program beside the test binary
    const std::wstring dll = simbench::DllPath();
    return dll.substr(0, dll.find_last_of(L"\\/") + 1) + program;
}

// Starts the program directly, with no command interpreter between: cmd.exe
// reports every failure to start a program as its own exit code 9009, which
// hides why.
inline Outcome Run(const std::wstring& program, const std::wstring& arguments) {
    const testsupport::ProcessRun run = testsupport::RunProcess(Beside(program), arguments);
    EXPECT_NE(run.exitCode, testsupport::ProcessRun::kNotStarted) << run.output;
    return {static_cast<int>(run.exitCode), run.output};
}
inline Outcome Simdevctl(const std::wstring& arguments) {
    return Run(L"simdevctl.exe", arguments);
}
inline Outcome Chipctl(const std::wstring& arguments) {
    return Run(L"chipctl.exe", arguments);
}

// A refused command line: exit code 2 and one line that begins with the
// tool's name and the message.
inline void ExpectRefused(const Outcome& run, const std::string& prefix) {
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_EQ(run.output.rfind(prefix, 0), 0u) << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << "one line: " << run.output;
}

// The file's bytes as any program reads them; a file of another size fails
// the test.
inline sim::EepromImage FileBytes(const std::wstring& path) {
    sim::EepromImage image = {};
    FILE* file = _wfopen(path.c_str(), L"rb");
    EXPECT_NE(file, nullptr) << "cannot open " << testing::PrintToString(path);
    if (file) {
        char extra = 0;
        EXPECT_EQ(std::fread(image.data(), 1, image.size(), file), image.size());
        EXPECT_EQ(std::fread(&extra, 1, 1, file), 0u) << "longer than 256 bytes";
        std::fclose(file);
    }
    return image;
}
inline void WriteFile(const std::wstring& path, const void* bytes, size_t size) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes, 1, size, file);
    std::fclose(file);
}

// A simulated-device test with a path for the EEPROM file, in the temporary
// folder under a name of the test's own; the file is removed before, the file,
// its lock and the chip's state file after.
class FileDeviceTest : public simbench::SimDeviceTest {
  protected:
    explicit FileDeviceTest(const wchar_t* name) {
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        eeprom = std::wstring(folder) + name;
    }
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        DeleteFileW(eeprom.c_str());
    }
    void TearDown() override {
        simbench::SimDeviceTest::TearDown();
        DeleteFileW(eeprom.c_str());
        DeleteFileW((eeprom + sim::kEepromLockSuffix).c_str());
        DeleteFileW((eeprom + sim::kChipStateSuffix).c_str());
    }
    // Adds "USB 7450 Device" with a fresh EEPROM in the file, and the further
    // simdevctl add options given.
    void AddWithTool(const std::wstring& options = L"") {
        const Outcome add = Simdevctl(L"add cam --name \"USB 7450 Device\" --eeprom \"" + eeprom +
                                      L"\" --reset-eeprom " + options);
        ASSERT_EQ(add.exitCode, 0) << add.output;
    }
    sim::EepromImage Bytes() const { return FileBytes(eeprom); }

    std::wstring eeprom;
};

}  // namespace simtool
