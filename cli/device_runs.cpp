#include "cli/device_runs.h"

#include <strmif.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

#include "appcore/outcome_table.h"
#include "appcore/update_procedure.h"
#include "cli/device_report.h"
#include "cli/file_name_piece.h"
#include "cli/outcomes.h"
#include "cli/rollout_report.h"
#include "cli/update_log.h"
#include "common/ansi_text.h"
#include "common/console_text.h"
#include "common/win32_owners.h"
#include "devctl/call_recorder.h"
#include "devctl/device_control.h"

namespace cli {

namespace {

// The recording's header holds names in the ANSI code page, as the library has them.
std::string AnsiText(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_ACP, 0, text, -1, &bytes[0], size, nullptr, nullptr);
    }
    bytes.resize(std::strlen(bytes.c_str()));
    return bytes;
}

// --record FILE: the first device's recording is FILE, the Nth's FILE with
// "-N" before its extension.
std::wstring NumberedPath(const std::wstring& path, unsigned number) {
    if (number <= 1) {
        return path;
    }
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.find_last_of(L'.');
    const size_t at = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)
                          ? dot
                          : path.size();
    return path.substr(0, at) + L"-" + std::to_wstring(number) + path.substr(at);
}

// The flight recorder's file beside the log, one per computer, device and
// outcome (a later failure of the same kind replaces it, so a PC that fails
// at every boot keeps one): velto1-COMPUTER-DEVICE-CODE.rec.txt, CODE the
// outcome's exit code. It ends in .txt, which log collectors take (Intune's
// "Collect logs" takes .log, .txt, .dmp, .cab, .zip and .xml only).
std::wstring FlightRecordingPath(const std::wstring& log, const std::wstring& device,
                                 int exitCode) {
    const size_t slash = log.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : log.substr(0, slash + 1);
    return folder + L"velto1-" + FileNamePiece(ComputerName()) + L"-" + FileNamePiece(device) +
           L"-" + std::to_wstring(exitCode) + L".rec.txt";
}

class CommandRun {
  public:
    CommandRun(const Options& options, const std::wstring& wantedName)
        : options_(options), wantedName_(wantedName) {}

    // One device found: bind it, run the procedure, tell the outcome. A device
    // whose filter could not be created, or whose driver interface can't be
    // bound, is told with the bind's status and its own failure code; the
    // search goes on past it to the device the updater would take. Returns
    // whether to go on to the next device.
    bool RunDevice(IBaseFilter* filter, HRESULT bindStatus, const wchar_t* friendlyName,
                   DWORD match) {
        DeviceControl device;
        // --record, and the flight recorder of --log: the calls are kept in
        // memory and written only when asked for or when the device failed.
        CallRecorder recorder("velto1cli");
        if (options_.record || options_.log) {
            recorder.SetDevice(AnsiText(friendlyName).c_str(),
                               DeviceControl::CaptureMatchWord(match));
            device.RecordCalls(&recorder);
        }
        const bool bound = filter && device.BindFilter(filter) != nullptr;
        const UpdateMode mode =
            options_.command == Command::Update ? UpdateMode::Apply : UpdateMode::CheckOnly;
        UpdateResult result = RunUpdateProcedure(bound ? &device : nullptr, mode);
        if (!bound) {
            result.outcome =
                filter ? BindFailureOutcome(device.GetLastResult()) : UpdateOutcome::DeviceNotBound;
            result.status = filter ? device.GetLastResult() : bindStatus;
        }
        device.Close();
        ++devices_;
        if (options_.record) {
            Save(recorder, NumberedPath(*options_.record, devices_));
        }
        if (options_.log && IsFailure(result.outcome)) {
            Save(recorder, FlightRecordingPath(*options_.log, friendlyName,
                                               DescribeOutcome(result.outcome).exitCode));
        }
        Report({true, friendlyName, wantedName_, match, result});
        return options_.all || options_.command == Command::Detect || !filter;
    }

    // Nothing found: the procedure's W001, as the updater's with no device,
    // unless the other bitness's registry view has one: the other build's.
    void RunNoDevice() {
        UpdateResult result = RunUpdateProcedure(nullptr, UpdateMode::CheckOnly);
        if (TryFindCaptureDeviceOfOtherBitness(wantedName_.c_str())) {
            result.outcome = UpdateOutcome::OtherBuildOnly;
        }
        if (options_.record) {
            Save(CallRecorder("velto1cli"), *options_.record);  // no device: no calls
        }
        Report({false, L"", wantedName_, 0, result});
    }

    int ExitCode() const {
        if (options_.command == Command::Detect) {
            return kExitSuccess;
        }
        return worst_ == kExitSuccess && logFailed_ ? kExitLogNotWritten : worst_;
    }

    // detect: the devices' lines when nothing waits on this PC, else nothing at all.
    void WriteDetection() const {
        if (!somethingWaits_) {
            velto1::WriteText(stdout, detected_);
        }
    }

  private:
    // What leaves the PC as it should stay, as the recipes and the report
    // count it: updated, other products only, no device at all. Anything else
    // waits for an update run, or for a person.
    static bool NothingWaits(UpdateOutcome outcome) {
        return StateOfExitCode(DescribeOutcome(outcome).exitCode) != PcState::Attention;
    }

    void Report(const DeviceReport& report) {
        const UpdateResult& result = report.result;
        const int code = DescribeOutcome(result.outcome).exitCode;
        worst_ = std::max(worst_, code);
        if (options_.command == Command::Detect) {
            somethingWaits_ = somethingWaits_ || !NothingWaits(result.outcome);
            detected_ += TextLine(report, false);
        } else if (options_.json) {
            velto1::WriteText(stdout, velto1::WidenAscii(JsonLine(report)));
        } else {
            velto1::WriteText(stdout, TextLine(report));
        }
        if (options_.log) {
            Log({report.name, result.optionRead ? HexByte(result.optionBefore) : "-",
                 result.optionReadBack ? HexByte(result.optionAfter) : "-", OutcomeText(result),
                 code});
        }
    }

    // A log that can't be written changes nothing of the update: it is said
    // on stderr, and the run's code tells it when everything else succeeded.
    void Log(const LogRecord& record) {
        const DWORD error = AppendLogLine(*options_.log, LogLine(record));
        if (error != ERROR_SUCCESS) {
            logFailed_ = true;
            velto1::WriteText(stderr, L"velto1cli: could not write the log " + *options_.log +
                                          L": error " + std::to_wstring(error) + L"\n");
        }
    }

    // A recording that can't be written changes nothing of the run: it is said on stderr.
    static void Save(const CallRecorder& recorder, const std::wstring& path) {
        const DWORD error = recorder.Save(path.c_str());
        if (error != ERROR_SUCCESS) {
            std::fprintf(stderr, "velto1cli: could not write the recording %ls: error %lu\n",
                         path.c_str(), static_cast<unsigned long>(error));
            std::fflush(stderr);
        }
    }
    // The outcomes with a W or E code in the outcome table: what a roll-out's
    // flight recorder keeps.
    static bool IsFailure(UpdateOutcome outcome) {
        return DescribeOutcome(outcome).code != nullptr;
    }

    const Options& options_;
    const std::wstring wantedName_;
    unsigned devices_ = 0;
    int worst_ = kExitSuccess;
    bool logFailed_ = false;
    bool somethingWaits_ = false;
    std::wstring detected_;  // detect's lines, written at the end or never
};

BOOL __stdcall OnDeviceFound(void* context, IBaseFilter* filter, HRESULT bindStatus,
                             const wchar_t* friendlyName, DWORD match) {
    return static_cast<CommandRun*>(context)->RunDevice(filter, bindStatus, friendlyName, match)
               ? TRUE
               : FALSE;
}

// --name, else the name in the registry (or the default) as the updater reads it.
std::wstring WantedName(const Options& options) {
    if (options.name) {
        return *options.name;
    }
    char name[kDeviceNameBufferSize] = {};
    GetCaptureDeviceName(name);
    wchar_t wide[kDeviceNameBufferSize] = {};
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide, static_cast<int>(kDeviceNameBufferSize));
    return wide;
}

}  // namespace

int RunOnDevices(const Options& options) {
    // The apartment the updater's start-up makes: capture drivers are
    // apartment-threaded objects.
    const velto1::ComInitScope com;
    const std::wstring wantedName = WantedName(options);
    CommandRun run(options, wantedName);
    DeviceControl search;
    if (search.ForEachCaptureDeviceW(wantedName.c_str(), OnDeviceFound, &run) == 0) {
        run.RunNoDevice();
    }
    run.WriteDetection();
    return run.ExitCode();
}

}  // namespace cli
