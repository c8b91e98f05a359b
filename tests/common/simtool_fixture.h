// Shared by the tests that run the simulated device's tools (simdevctl,
// chipctl) as a script would: the tools beside the test binary, and a fixture
// whose device keeps its EEPROM in a file of its own.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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
// The file's bytes as text; empty when it can't be read.
inline std::string FileText(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}
inline void WriteFile(const std::wstring& path, const void* bytes, size_t size) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes, 1, size, file);
    std::fclose(file);
}

// A file of that name in the temporary folder.
inline std::wstring TempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

// The names of the files (not folders) that match the pattern, sorted.
inline std::vector<std::wstring> FilesMatching(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.push_back(found.cFileName);
        }
    }
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}
// Deletes the files in the folder, read-only or not.
inline void EmptyFolder(const std::wstring& folder) {
    for (const std::wstring& name : FilesMatching(folder + L"\\*")) {
        SetFileAttributesW((folder + L"\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW((folder + L"\\" + name).c_str());
    }
}
inline void RemoveFolder(const std::wstring& folder) {
    EmptyFolder(folder);
    RemoveDirectoryW(folder.c_str());
}

// A simulated-device test with a path for the EEPROM file, in the temporary
// folder under a name of the test's own; the file, its lock and the chip's
// state file are removed before and after, read-only or not.
class FileDeviceTest : public simbench::SimDeviceTest {
  protected:
    explicit FileDeviceTest(const wchar_t* name) : eeprom(TempPath(name)) {}
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        RemoveEeprom();
    }
    void TearDown() override {
        simbench::SimDeviceTest::TearDown();
        RemoveEeprom();
    }
    // Adds "USB 7450 Device" with a fresh EEPROM in the file, and the further
    // simdevctl add options given.
    void AddWithTool(const std::wstring& options = L"") {
        const Outcome add = Simdevctl(L"add cam --name \"USB 7450 Device\" --eeprom \"" + eeprom +
                                      L"\" --reset-eeprom " + options);
        ASSERT_EQ(add.exitCode, 0) << add.output;
    }
    // "USB 7450 Device" with the simulated chip's defaults, its EEPROM the file.
    sim::DeviceSettings FileDevice(const wchar_t* id) const {
        sim::DeviceSettings settings = simbench::Device(id, L"USB 7450 Device");
        settings.eepromFile = eeprom;
        return settings;
    }
    sim::EepromImage Bytes() const { return FileBytes(eeprom); }

    std::wstring eeprom;

  private:
    void RemoveEeprom() const {
        SetFileAttributesW(eeprom.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(eeprom.c_str());
        DeleteFileW((eeprom + sim::kEepromLockSuffix).c_str());
        DeleteFileW((eeprom + sim::kChipStateSuffix).c_str());
    }
};

// A FileDeviceTest of a program driven through its windows: skipped without
// an X display (scripts/test.sh gives one); a derived SetUp returns when
// IsSkipped().
class WindowedDeviceTest : public FileDeviceTest {
  protected:
    using FileDeviceTest::FileDeviceTest;
    void SetUp() override {
        if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
            GTEST_SKIP() << "no X display: run the tests through scripts/test.sh";
        }
        FileDeviceTest::SetUp();
    }
};

}  // namespace simtool
