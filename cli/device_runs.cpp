#include "cli/device_runs.h"

#include <strmif.h>

#include <algorithm>
#include <cstdio>

#include "appcore/outcome_table.h"
#include "appcore/update_procedure.h"
#include "cli/outcomes.h"
#include "cli/update_log.h"
#include "common/console_text.h"
#include "common/win32_owners.h"
#include "devctl/device_control.h"

namespace cli {

namespace {

constexpr size_t kNameBufferSize = 260;  // the library's name buffers

std::string OptionByteText(const UpdateResult& result) {
    if (!result.optionRead) {
        return "option byte not read";
    }
    std::string text = "option byte " + HexByte(result.optionBefore);
    if (result.optionReadBack) {
        text += " -> " + HexByte(result.optionAfter);
    }
    return text;
}

class CommandRun {
  public:
    explicit CommandRun(const Options& options) : options_(options) {}

    // One device found: bind it, run the procedure, tell the outcome. A device
    // whose driver interface can't be bound runs it with no device: W001.
    // Returns whether to go on to the next device (--all).
    bool RunDevice(IBaseFilter* filter, const char* friendlyName, DWORD match) {
        DeviceControl device;
        const bool bound = device.BindFilter(filter) != nullptr;
        const UpdateMode mode =
            options_.command == Command::Check ? UpdateMode::CheckOnly : UpdateMode::Apply;
        UpdateResult result = RunUpdateProcedure(bound ? &device : nullptr, mode);
        if (!bound) {
            result.outcome = UpdateOutcome::DeviceNotBound;
            result.status = device.GetLastResult();
        }
        device.Close();

        const std::string how =
            match == DeviceControl::kMatchedKnownModel ? "a known model" : "name";
        Report(
            friendlyName,
            "\"" + std::string(friendlyName) + "\" found by " + how + ", " + OptionByteText(result),
            result);
        return options_.all;
    }

    // Nothing found: the procedure's W001, as the updater's with no device.
    void RunNoDevice(const std::string& wantedName) {
        const UpdateResult result = RunUpdateProcedure(nullptr, UpdateMode::CheckOnly);
        Report("", "no device found by \"" + wantedName + "\" or a known model", result);
    }

    int ExitCode() const {
        return worst_ == kExitSuccess && logFailed_ ? kExitLogNotWritten : worst_;
    }

  private:
    void Report(const std::string& device, const std::string& found, const UpdateResult& result) {
        const std::string outcome = OutcomeText(result);
        const int code = DescribeOutcome(result.outcome).exitCode;
        worst_ = std::max(worst_, code);
        const std::string line =
            found + ": " + outcome + " (exit code " + std::to_string(code) + ")\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
        if (options_.log) {
            Log({device, result.optionRead ? HexByte(result.optionBefore) : "-",
                 result.optionReadBack ? HexByte(result.optionAfter) : "-", outcome, code});
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
    int worst_ = kExitSuccess;
    bool logFailed_ = false;
};

BOOL __stdcall OnDeviceFound(void* context, IBaseFilter* filter, const char* friendlyName,
                             DWORD match) {
    return static_cast<CommandRun*>(context)->RunDevice(filter, friendlyName, match) ? TRUE : FALSE;
}

}  // namespace

int RunOnDevices(const Options& options) {
    // The apartment the updater's start-up makes: capture drivers are
    // apartment-threaded objects.
    const velto1::ComInitScope com;
    std::string wantedName;
    if (options.name) {
        wantedName = *options.name;
    } else {
        char name[kNameBufferSize] = {};
        GetCaptureDeviceName(name);
        wantedName = name;
    }
    CommandRun run(options);
    DeviceControl search;
    if (search.ForEachCaptureFilter(wantedName.c_str(), OnDeviceFound, &run) == 0) {
        run.RunNoDevice(wantedName);
    }
    return run.ExitCode();
}

}  // namespace cli
