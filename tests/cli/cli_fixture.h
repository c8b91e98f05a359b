// velto1cli's tests: the program beside the test binary, run with no X
// display as a deployment tool runs it, on simulated devices whose EEPROMs
// live in files of the test's own.
#pragma once

#include <windows.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "simdevice/chip/chip.h"
#include "simdevice/chip/eeprom_file.h"
#include "tests/common/simtool_fixture.h"

namespace clitest {

using simtool::Outcome;

// The driver calls of one device's run, numbered as a device's failAtCall
// counts them: the four identity reads of binding, then the update's own
// (tests/update checks them call by call): GPIO four, EEPROM select, the
// identifiers' descriptor and data, then a descriptor and a data call for
// each EEPROM step.
constexpr unsigned kBindCalls = 4;
constexpr unsigned kOptionRead = kBindCalls + 11;
constexpr unsigned kOptionWrite = kBindCalls + 13;
constexpr unsigned kReadBack = kBindCalls + 15;

// A log line's fields.
struct LogLine {
    std::string time, computer, user, device, before, after, outcome, exitCode, version,
        architecture;
};

using simtool::FileText;

// The text's lines, each split at its tabs; every line must end in CR LF and
// have the ten fields.
inline std::vector<LogLine> ReadLogText(std::string text) {
    std::vector<LogLine> lines;
    for (size_t end; (end = text.find("\r\n")) != std::string::npos; text.erase(0, end + 2)) {
        std::vector<std::string> fields;
        std::stringstream line(text.substr(0, end));
        for (std::string field; std::getline(line, field, '\t');) {
            fields.push_back(field);
        }
        EXPECT_EQ(fields.size(), 10u) << text.substr(0, end);
        fields.resize(10);
        lines.push_back({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5],
                         fields[6], fields[7], fields[8], fields[9]});
    }
    EXPECT_EQ(text, "") << "a line without its CR LF";
    return lines;
}

inline std::vector<LogLine> ReadLog(const std::wstring& path) {
    return ReadLogText(FileText(path));
}

// The program (a full path) as a deployment tool runs it: with no X display.
inline Outcome RunWithoutDisplay(const std::wstring& program, const std::wstring& arguments) {
    const testsupport::ProcessRun run =
        testsupport::RunProcessWithout(program, arguments, {L"DISPLAY"});
    EXPECT_NE(run.exitCode, testsupport::ProcessRun::kNotStarted) << run.output;
    return {static_cast<int>(run.exitCode), run.output};
}
inline Outcome Velto1cli(const std::wstring& arguments) {
    return RunWithoutDisplay(simtool::Beside(L"velto1cli.exe"), arguments);
}

// Whether velto1cli with these arguments ends with the exit code and prints
// exactly the output; the run's own when it does not.
inline ::testing::AssertionResult Prints(const std::wstring& arguments, int exitCode,
                                         const std::string& output) {
    const Outcome run = Velto1cli(arguments);
    if (run.exitCode == exitCode && run.output == output) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "exit code " << run.exitCode << ", printed\n"
           << run.output << "where " << exitCode << " and this were expected\n"
           << output;
}

using simtool::TempPath;

// What a row does to a device's settings before the device is added.
using Tweak = std::function<void(sim::DeviceSettings&)>;
inline const Tweak kAsIs = [](sim::DeviceSettings&) {};

// Up to two devices, "a" and "b", each with its EEPROM in a file.
class CliTest : public simbench::SimDeviceTest {
  protected:
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        RemoveFiles();
    }
    void TearDown() override {
        simbench::SimDeviceTest::TearDown();
        RemoveFiles();
    }
    static std::wstring Eeprom(const std::wstring& id) {
        return TempPath((L"velto1cli-test-" + id + L".bin").c_str());
    }
    // A device whose EEPROM file starts with image.
    sim::DeviceSettings Settings(const std::wstring& id, const std::wstring& name,
                                 const sim::EepromImage& image = sim::FreshProductEeprom()) {
        simtool::WriteFile(Eeprom(id), image.data(), image.size());
        sim::DeviceSettings settings = simbench::Device(id, name);
        settings.eepromFile = Eeprom(id);
        return settings;
    }
    // "a", "USB 7450 Device", its EEPROM fresh but for the marker and option byte.
    void AddProduct(BYTE marker, BYTE option, const Tweak& tweak = kAsIs) {
        sim::DeviceSettings settings = Settings(
            L"a", L"USB 7450 Device",
            sim::EepromWith({{sim::kMarkerOffset, marker}, {sim::kOptionByteOffset, option}}));
        tweak(settings);
        Add(settings);
    }
    static BYTE OptionByte(const std::wstring& id) {
        return simtool::FileBytes(Eeprom(id))[sim::kOptionByteOffset];
    }

    // The log a test has velto1cli write; none at the start and the end.
    const std::wstring log = TempPath(L"velto1cli-test.log");

  private:
    void RemoveFiles() const {
        for (const wchar_t* id : {L"a", L"b"}) {
            DeleteFileW(Eeprom(id).c_str());
            DeleteFileW((Eeprom(id) + sim::kEepromLockSuffix).c_str());
        }
        DeleteFileW(log.c_str());
    }
};

}  // namespace clitest
