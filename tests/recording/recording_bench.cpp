// For the benchmark: what recording costs. Binds the device named on the
// command line and times 9 rounds of 500 one-byte EEPROM reads (two driver
// calls each) without a recorder and with one, in turn, and prints the medians per
// driver call and the cost on an update's driver calls against its 2.0 s.
//
//   recording_bench NAME
#include <windows.h>
#include <strmif.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/win32_owners.h"
#include "devctl/call_recorder.h"
#include "devctl/device_control.h"

namespace {

constexpr int kRounds = 9;
constexpr int kReads = 500;
constexpr double kCallsPerRead = 2;
constexpr double kUpdateCalls = 19;  // the binding's 4 and the update's 15
constexpr double kUpdateMicros = 2.0e6;

double MicrosPerCall(DeviceControl& device) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kReads; ++i) {
        DWORD value = 0;
        device.ReadI2c(0xA0, 0x08, 1, &value);
    }
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
           static_cast<double>(frequency.QuadPart) / (kReads * kCallsPerRead);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: recording_bench NAME\n");
        return 2;
    }
    const velto1::ComInitScope com;
    DeviceControl device;
    IBaseFilter* filter = device.FindCaptureDevice(argv[1], nullptr, nullptr);
    if (!filter || !device.BindFilter(filter)) {
        std::fprintf(stderr, "recording_bench: no device \"%s\"\n", argv[1]);
        if (filter) {
            filter->Release();
        }
        return 1;
    }
    filter->Release();
    // Off and on in turn, after a round that warms the caches: a machine's
    // drift falls on both alike.
    MicrosPerCall(device);
    std::vector<double> offs, ons;
    for (int round = 0; round < kRounds; ++round) {
        offs.push_back(MicrosPerCall(device));
        CallRecorder recorder("recording_bench");
        device.RecordCalls(&recorder);
        ons.push_back(MicrosPerCall(device));
        device.RecordCalls(nullptr);
    }
    const double off = Median(offs), on = Median(ons);
    device.Close();
    std::printf(
        "recording off %.2f us per driver call (no recorder: the driver is called directly), "
        "on %.2f us; on an update's %.0f calls %+.3f%% of its 2.0 s\n",
        off, on, kUpdateCalls, (on - off) * kUpdateCalls / kUpdateMicros * 100);
    return 0;
}
