// simdevctl and regsvr32 run as a script would run them: a separate process,
// its exit code and what it prints.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "simdevice/filter/sim_device_ids.h"
#include "tests/bench/sim_bench.h"

using Microsoft::WRL::ComPtr;
using ::testing::HasSubstr;

namespace {

struct Outcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;  // stdout and stderr together
};

// Runs a command line, waits for it, and collects what it printed.
Outcome RunCommand(const std::wstring& commandLine) {
    Outcome run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        ADD_FAILURE() << "CreatePipe failed";
        return run;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::wstring mutableLine = commandLine;
    const BOOL started = CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            run.output.append(buffer, read);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "could not start the command";
    }
    CloseHandle(readEnd);
    return run;
}

std::wstring Beside(const wchar_t* file) {
    const std::wstring dll = simbench::DllPath();
    return dll.substr(0, dll.find_last_of(L"\\/") + 1) + file;
}

Outcome Tool(const std::wstring& arguments) {
    return RunCommand(L"\"" + Beside(L"simdevctl.exe") + L"\" " + arguments);
}

class SimdevctlTest : public simbench::SimDeviceTest {};

TEST_F(SimdevctlTest, AddListFindRemove) {
    wchar_t directory[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, directory);
    const std::wstring eeprom = std::wstring(directory) + L"velto1-simdevctl-test.bin";
    DeleteFileW(eeprom.c_str());

    Outcome add = Tool(
        L"add cam1 --name \"USB 7450 Device\" --chip-id 0x141 --board-config 3 "
        L"--eeprom \"" +
        eeprom + L"\" --fail-property 0x1019=0x80004005");
    EXPECT_EQ(add.exitCode, 0u) << add.output;
    EXPECT_EQ(add.output, "added cam1\n");

    const std::vector<sim::DeviceSettings> devices = sim::ListDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].friendlyName, L"USB 7450 Device");
    EXPECT_EQ(devices[0].identity.chipId, 0x141u);
    EXPECT_EQ(devices[0].identity.boardConfig, 3u);
    EXPECT_EQ(devices[0].failOnProperty.at(0x1019), E_FAIL);
    EXPECT_EQ(devices[0].eepromFile, eeprom);

    Outcome list = Tool(L"list");
    EXPECT_EQ(list.exitCode, 0u);
    EXPECT_THAT(list.output, HasSubstr("cam1\tvideo\t\"USB 7450 Device\"\tchip-id=0x141"));
    EXPECT_THAT(list.output, HasSubstr("option-byte=0x85"));

    Outcome find = Tool(L"find");
    EXPECT_EQ(find.exitCode, 0u) << find.output;
    EXPECT_THAT(find.output, HasSubstr("found by name: \"USB 7450 Device\" [cam1]"));
    EXPECT_THAT(find.output, HasSubstr("bound: chip id 0x141, EEPROM option byte 0x85"));

    Outcome remove = Tool(L"remove cam1");
    EXPECT_EQ(remove.exitCode, 0u);
    EXPECT_TRUE(sim::ListDevices().empty());
    EXPECT_EQ(Tool(L"remove cam1").exitCode, 1u);
    EXPECT_EQ(Tool(L"find").exitCode, 1u);
    DeleteFileW(eeprom.c_str());
}

TEST_F(SimdevctlTest, RemoveAllTakesEveryDevice) {
    EXPECT_EQ(Tool(L"add a --name A --category bda").exitCode, 0u);
    EXPECT_EQ(Tool(L"add b --name B --category renderer --no-custom-property").exitCode, 0u);
    EXPECT_EQ(sim::ListDevices().size(), 2u);
    EXPECT_EQ(Tool(L"remove --all").exitCode, 0u);
    EXPECT_TRUE(sim::ListDevices().empty());
}

TEST_F(SimdevctlTest, UsageErrorsExitWithTwoAndChangeNothing) {
    const wchar_t* const commands[] = {
        L"",
        L"frobnicate",
        L"add",
        L"add cam",
        L"add cam --name X --category tv",
        L"add cam --name X --chip-id twelve",
        L"add cam --name X --fail-call 3",
        L"add cam --name X --fail-bind 0",
        L"add cam --name X --unplug-from 0",
        L"add cam --name X --bogus 1",
        L"add \"bad id\" --name X",
        L"remove",
        L"list extra",
        L"add cam --name X --remote-code 2:0:0x15",
        L"add cam --name X --remote-code 1:0x100:0x15",
        L"add cam --name X --remote-code 1:0",
        L"add cam --name X --remote-code 1:0:0x15,0:0:0x16",
        L"add cam --name X --codec-busy sometimes",
        L"add cam --name X --codec-busy 0xFFFFFFFF",
        L"add cam --name X --ac97 0x80=1",
        L"add cam --name X --ac97 0x1C=0x10000",
        L"add cam --name X --config-103e many",
        L"remote --count 0",
        L"remote --name",
        L"codec",
        L"codec 0x80",
        L"codec 2 --count 1",
    };
    for (const wchar_t* command : commands) {
        const Outcome run = Tool(command);
        EXPECT_EQ(run.exitCode, 2u) << "simdevctl " << testing::PrintToString(command) << "\n"
                                    << run.output;
    }
    EXPECT_TRUE(sim::ListDevices().empty());
}

bool FilterClassRegistered() {
    ComPtr<IBaseFilter> filter;
    return SUCCEEDED(CoCreateInstance(sim::CLSID_SimCaptureFilter, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&filter)));
}

TEST_F(SimdevctlTest, Regsvr32RegistersAndUnregistersTheServer) {
    const std::wstring dll = L"\"" + simbench::DllPath() + L"\"";
    Add(simbench::Device(L"cam", L"USB 7450 Device"));
    EXPECT_EQ(RunCommand(L"regsvr32 /s /u " + dll).exitCode, 0u);
    EXPECT_FALSE(FilterClassRegistered());
    EXPECT_TRUE(sim::ListDevices().empty()) << "unregistering removes the devices";
    EXPECT_EQ(RunCommand(L"regsvr32 /s " + dll).exitCode, 0u);
    EXPECT_TRUE(FilterClassRegistered());
    const Outcome reregister = Tool(L"register");
    EXPECT_EQ(reregister.exitCode, 0u) << reregister.output;
    EXPECT_THAT(reregister.output, HasSubstr("registered "));
}

// --- The chip state at binding, and the commands that read it -----------------

TEST_F(SimdevctlTest, ListShowsTheChipStateSettings) {
    const Outcome add = Tool(
        L"add cam --name \"USB 7450 Device\" --remote-code 1:0x40:0x15 --remote-code 0:0:255 "
        L"--codec-busy forever --ac97 0x1c=0x8000 --ac97 2=0x808 --config-103e 0x1000025");
    ASSERT_EQ(add.exitCode, 0u) << add.output;
    const Outcome list = Tool(L"list");
    EXPECT_THAT(list.output, HasSubstr(" remote-code=1:0x40:0x15,0:0x00:0xFF codec-busy=forever "
                                       "ac97=0x02=0x0808,0x1C=0x8000 config-103e=0x1000025 "));
}

struct RemoteSession {
    const wchar_t* add;
    const wchar_t* remote;
    const char* output;
};

void PrintTo(const RemoteSession& session, std::ostream* os) {
    *os << testing::PrintToString(session.add);
}

class SimdevctlRemoteTest : public SimdevctlTest,
                            public ::testing::WithParamInterface<RemoteSession> {};

INSTANTIATE_TEST_SUITE_P(
    Generations, SimdevctlRemoteTest,
    ::testing::Values(
        RemoteSession{L"--remote-code 1:0:0x15 --remote-code 1:0:0x15 --remote-code 0:0:0x16",
                      L"--count 4",
                      "bound: chip id 0x24\n"
                      "key 0x15\n"
                      "key held\n"
                      "key 0x16\n"
                      "no key\n"},
        RemoteSession{L"--chip-id 0x141 --remote-code 1:0x40:0x15 --remote-code 0:0x40:0x16",
                      L"--name USB --count 3",
                      "bound: chip id 0x141\n"
                      "code 81 40 15 (toggle 1, address 0x40, command 0x15)\n"
                      "code 01 40 16 (toggle 0, address 0x40, command 0x16)\n"
                      "code 00 40 16 (nothing received)\n"},
        RemoteSession{L"--chip-id 0x141 --board-config 6 --remote-code 1:0x40:0x15", L"",
                      "bound: chip id 0x141\n"
                      "code 81 40 15 00 00 (toggle 1, address 0x40, command 0x15)\n"}));

TEST_P(SimdevctlRemoteTest, QueuedCodesComeOutInOrder) {
    const Outcome add = Tool(L"add cam --name \"USB 7450 Device\" " + std::wstring(GetParam().add));
    ASSERT_EQ(add.exitCode, 0u) << add.output;
    const Outcome remote = Tool(L"remote " + std::wstring(GetParam().remote));
    EXPECT_EQ(remote.exitCode, 0u);
    EXPECT_EQ(remote.output, GetParam().output);
}

TEST_F(SimdevctlTest, CodecReadsTheRegisterOrReportsTheBusyCodec) {
    const struct {
        const wchar_t* busy;
        DWORD exitCode;
        const char* output;
    } cases[] = {
        {L"1999", 0, "bound: chip id 0x24\nAC97 register 0x1C: 0x8000\n"},
        {L"2000", 1, "bound: chip id 0x24\ncodec not ready (status 5): nothing read\n"},
        {L"forever", 1, "bound: chip id 0x24\ncodec not ready (status 5): nothing read\n"},
    };
    for (const auto& c : cases) {
        const Outcome add = Tool(
            L"add cam --name \"USB 7450 Device\" --ac97 0x1C=0x8000 "
            L"--codec-busy " +
            std::wstring(c.busy));
        ASSERT_EQ(add.exitCode, 0u) << add.output;
        const Outcome codec = Tool(L"codec 0x1C");
        EXPECT_EQ(codec.exitCode, c.exitCode) << testing::PrintToString(c.busy);
        EXPECT_EQ(codec.output, c.output);
    }
}

TEST_F(SimdevctlTest, DeviceCommandsWithoutADeviceFail) {
    for (const wchar_t* command : {L"remote", L"codec 2"}) {
        const Outcome run = Tool(command);
        EXPECT_EQ(run.exitCode, 1u) << testing::PrintToString(command);
        EXPECT_THAT(run.output, HasSubstr("not bound: last result "));
    }
}

}  // namespace
