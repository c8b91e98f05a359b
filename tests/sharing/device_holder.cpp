// Another program on a simulated device, for the tests of programs that meet
// on one device: binds the capture device of the given name through the
// library, does what its command says, prints one word when it has, and then
// waits (at most two minutes) to be ended, as a program that never lets go.
// Exit 1 when binding or the command fails, 2 on bad arguments.
//
//   device_holder bind NAME     keeps the device bound: "bound"
//   device_holder hold NAME     holds the device lock: "held"
//   device_holder select NAME   holds it and selects register 0x30 for a
//                               one-byte access without moving the data, as a
//                               program ended mid-sequence leaves it: "selected"
//   device_holder stall NAME ID
//                               holds it and stops inside a driver call: holds
//                               the call mutex of the simulated chip of device
//                               ID, as the simulated driver does for each call
//                               ("stalled")
//   device_holder half-call NAME ID
//                               holds it and stops inside a driver call on the
//                               chip of device ID that has written 0x99 to
//                               register 0x30 and not yet returned ("stalled")
//   device_holder raw-select NAME
//                               selects register 0x31 with the driver's Set
//                               alone, no lock, and ends: "selected"
//   device_holder own-hold NAME
//   device_holder own-hold-moniker NAME
//                               as an SDK program that searches on its own:
//                               finds the first video input device whose
//                               friendly name begins with NAME with its own
//                               ICreateDevEnum search, binds its filter,
//                               hands it to BindFilter (own-hold-moniker with
//                               its moniker) and holds the device lock: "held"
//   device_holder time-lock NAME
//                               for the benchmark: the time of one acquire and
//                               release of the free lock, in microseconds (the
//                               median of 9 rounds of 1000), and ends
//   device_holder time-calls NAME
//                               for the benchmark: the time of a one-byte
//                               register write (which changes the chip) and
//                               read, in microseconds, measured the same way
//   device_holder own-time-lock NAME
//                               the same for a filter of the program's own
//                               search bound alone, whose lock is every slot
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/win32_owners.h"
#include "devctl/custom_property.h"
#include "devctl/device_control.h"
#include "simdevice/chip/chip_memory.h"
#include "simdevice/devices/device_store.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD kWaitToBeEndedMs = 120000;
// A one-byte access to register 0x30 (select, 0x31 for raw-select): index
// in bits 23-8, count in 7-0.
constexpr DWORD kSelectRegister30 = 0x3001;
constexpr DWORD kSelectRegister31 = 0x3101;

int Say(const char* word, bool wait) {
    std::printf("%s\n", word);
    std::fflush(stdout);
    if (wait) {
        Sleep(kWaitToBeEndedMs);
    }
    return 0;
}

int Fail(const char* what, HRESULT status) {
    std::fprintf(stderr, "device_holder: %s failed, status 0x%08lX\n", what,
                 static_cast<unsigned long>(status));
    return 1;
}

// Prints the median time of one step over 9 rounds of 1000; false when a step failed.
template <typename Step>
bool PrintTime(const char* what, Step step) {
    constexpr int kRounds = 9;
    constexpr int kPerRound = 1000;
    LARGE_INTEGER frequency = {};
    QueryPerformanceFrequency(&frequency);
    std::vector<double> microseconds;
    for (int round = 0; round < kRounds; ++round) {
        LARGE_INTEGER start = {};
        LARGE_INTEGER end = {};
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kPerRound; ++i) {
            if (!step(i)) {
                return false;
            }
        }
        QueryPerformanceCounter(&end);
        microseconds.push_back(1e6 * static_cast<double>(end.QuadPart - start.QuadPart) /
                               static_cast<double>(frequency.QuadPart) / kPerRound);
    }
    std::sort(microseconds.begin(), microseconds.end());
    std::printf("%s: %.1f us (median of %d rounds of %d; %.1f-%.1f)\n", what,
                microseconds[kRounds / 2], kRounds, kPerRound, microseconds.front(),
                microseconds.back());
    return true;
}

int TimeLock(DeviceControl& device) {
    const bool timed = PrintTime("lock acquire and release", [&](int) {
        if (device.HoldDevice() != S_OK) {
            return false;
        }
        device.ReleaseDevice();
        return true;
    });
    return timed ? 0 : Fail("hold", device.GetLastResult());
}

int TimeCalls(DeviceControl& device) {
    const bool timed = PrintTime("one-byte register write",
                                 [&](int i) {
                                     const DWORD value = static_cast<BYTE>(i);
                                     return device.WriteRegisters(0x0300, 1, &value) == S_OK;
                                 }) &&
                       PrintTime("one-byte register read", [&](int) {
                           DWORD value = 0;
                           return device.ReadRegisters(0x0300, 1, &value) == S_OK;
                       });
    return timed ? 0 : Fail("a register access", device.GetLastResult());
}

// A driver call that never returns: the chip's call mutex held until the end.
int Stall(const char* deviceId) {
    velto1::UniqueHandle mutex;
    const std::string id(deviceId);
    const HRESULT status =
        sim::ChipMemory::OpenCallMutex(std::wstring(id.begin(), id.end()), mutex);
    if (FAILED(status)) {
        return Fail("opening the chip", status);
    }
    const velto1::MutexOwnership call(mutex.Get(), INFINITE);
    return Say("stalled", true);
}

// A driver call cut off by the program's end: inside the call, the register
// is written and the call never returns.
int HalfCall(const char* deviceId) {
    const std::string text(deviceId);
    const std::wstring id(text.begin(), text.end());
    for (const sim::DeviceSettings& settings : sim::ListDevices()) {
        if (settings.id != id) {
            continue;
        }
        std::unique_ptr<sim::ChipMemory> memory;
        const HRESULT status = sim::ChipMemory::Shared(id, sim::ChipStateFile(settings), memory);
        if (FAILED(status)) {
            return Fail("opening the chip", status);
        }
        sim::SimChip chip(settings.identity, true, std::move(memory));
        const sim::ChipCall call(chip.Memory(), INFINITE);
        chip.SetRegister(0x30, 0x99);
        return Say("stalled", true);
    }
    return Fail("finding the device", HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
}

// The program's own DirectShow search, as an SDK program writes it; the filter
// is bound through the library, with its moniker or without.
HRESULT BindOwnFind(DeviceControl& device, const char* wantedName, bool withMoniker) {
    ComPtr<ICreateDevEnum> systemEnum;
    HRESULT status = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&systemEnum));
    if (FAILED(status)) {
        return status;
    }
    ComPtr<IEnumMoniker> devices;
    if (systemEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &devices, 0) != S_OK) {
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    const std::string wanted(wantedName);
    for (ComPtr<IMoniker> moniker; devices->Next(1, &moniker, nullptr) == S_OK; moniker.Reset()) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) {
            continue;
        }
        velto1::UniqueVariant name;
        if (FAILED(bag->Read(L"FriendlyName", name.Get(), nullptr)) || !name.String() ||
            std::wstring(name.String())
                    .compare(0, wanted.size(), std::wstring(wanted.begin(), wanted.end())) != 0) {
            continue;
        }
        ComPtr<IBaseFilter> filter;
        if (FAILED(status = moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter)))) {
            return status;
        }
        const bool bound = withMoniker ? device.BindFilter(filter.Get(), moniker.Get()) != nullptr
                                       : device.BindFilter(filter.Get()) != nullptr;
        return bound ? S_OK : device.GetLastResult();
    }
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}

int Run(DeviceControl& device, const char* command, const char* deviceId) {
    if (std::strcmp(command, "time-lock") == 0 || std::strcmp(command, "own-time-lock") == 0) {
        return TimeLock(device);
    }
    if (std::strcmp(command, "time-calls") == 0) {
        return TimeCalls(device);
    }
    if (std::strcmp(command, "bind") == 0) {
        return Say("bound", true);
    }
    if (std::strcmp(command, "raw-select") == 0) {
        const HRESULT status = device.SetProperty(CPROP_REG_SELECT, &kSelectRegister31);
        return status < 0 ? Fail("select", status) : Say("selected", false);
    }
    const HRESULT held = device.HoldDevice();
    if (held != S_OK) {
        return Fail("hold", held);
    }
    if (std::strcmp(command, "hold") == 0 || std::strcmp(command, "own-hold") == 0 ||
        std::strcmp(command, "own-hold-moniker") == 0) {
        return Say("held", true);
    }
    if (std::strcmp(command, "stall") == 0) {
        return Stall(deviceId);
    }
    if (std::strcmp(command, "half-call") == 0) {
        return HalfCall(deviceId);
    }
    const HRESULT status = device.SetProperty(CPROP_REG_SELECT, &kSelectRegister30);
    return status < 0 ? Fail("select", status) : Say("selected", true);
}

}  // namespace

int main(int argc, char** argv) {
    const char* commands[] = {
        "bind",      "hold",       "select",   "raw-select",       "time-lock",    "stall",
        "half-call", "time-calls", "own-hold", "own-hold-moniker", "own-time-lock"};
    bool known = false;
    for (const char* command : commands) {
        const int words =
            std::strcmp(command, "stall") == 0 || std::strcmp(command, "half-call") == 0 ? 4 : 3;
        known = known || (argc == words && std::strcmp(argv[1], command) == 0);
    }
    if (!known) {
        std::fprintf(stderr,
                     "usage: device_holder bind|hold|select|raw-select|time-lock|time-calls|"
                     "own-hold|own-hold-moniker|own-time-lock NAME, or stall|half-call NAME ID\n");
        return 2;
    }
    const velto1::ComInitScope com;
    DeviceControl device;
    if (std::strncmp(argv[1], "own-", 4) == 0) {
        const HRESULT bound =
            BindOwnFind(device, argv[2], std::strcmp(argv[1], "own-hold-moniker") == 0);
        if (bound != S_OK) {
            return Fail("bind", bound);
        }
    } else if (!device.Bind(argv[2])) {
        return Fail("bind", device.GetLastResult());
    }
    const int code = Run(device, argv[1], argc > 3 ? argv[3] : "");
    device.Close();
    return code;
}
