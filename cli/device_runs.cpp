#include "cli/device_runs.h"

#include <strmif.h>

#include <algorithm>

#include "appcore/outcome_table.h"
#include "appcore/update_procedure.h"
#include "cli/device_report.h"
#include "cli/outcomes.h"
#include "cli/update_log.h"
#include "common/console_text.h"
#include "common/win32_owners.h"
#include "devctl/device_control.h"

namespace cli {

namespace {

constexpr size_t kNameBufferSize = 260;  // the library's name buffers

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
        const bool bound = filter && device.BindFilter(filter) != nullptr;
        const UpdateMode mode =
            options_.command == Command::Check ? UpdateMode::CheckOnly : UpdateMode::Apply;
        UpdateResult result = RunUpdateProcedure(bound ? &device : nullptr, mode);
        if (!bound) {
            result.outcome = UpdateOutcome::DeviceNotBound;
            result.status = filter ? device.GetLastResult() : bindStatus;
        }
        device.Close();
        Report({true, friendlyName, wantedName_, match, result});
        return options_.all || !filter;
    }

    // Nothing found: the procedure's W001, as the updater's with no device.
    void RunNoDevice() {
        const UpdateResult result = RunUpdateProcedure(nullptr, UpdateMode::CheckOnly);
        Report({false, L"", wantedName_, 0, result});
    }

    int ExitCode() const {
        return worst_ == kExitSuccess && logFailed_ ? kExitLogNotWritten : worst_;
    }

  private:
    void Report(const DeviceReport& report) {
        const UpdateResult& result = report.result;
        const int code = DescribeOutcome(result.outcome).exitCode;
        worst_ = std::max(worst_, code);
        if (options_.json) {
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

    const Options& options_;
    const std::wstring wantedName_;
    int worst_ = kExitSuccess;
    bool logFailed_ = false;
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
    char name[kNameBufferSize] = {};
    GetCaptureDeviceName(name);
    wchar_t wide[kNameBufferSize] = {};
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide, static_cast<int>(kNameBufferSize));
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
    return run.ExitCode();
}

}  // namespace cli
