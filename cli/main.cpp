// velto1cli: the updater for deployment tools. It runs the updater's
// procedure (appcore/update_procedure.h) on the first capture device found, or
// on every one, without a window: one line per device on stdout, an exit code
// from the outcome table (appcore/outcome_table.h), and with --log a line per
// device in a shared log file.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "appcore/outcome_table.h"
#include "common/command_line.h"
#include "common/console_program.h"
#include "cli/arguments.h"
#include "cli/device_runs.h"
#include "cli/outcomes.h"
#include "cli/report_command.h"
#include "velto1_build_info.h"

namespace {

constexpr char kUsage[] =
    "usage: velto1cli update [--all] [--name NAME] [--log FILE] [--json] [--record FILE]\n"
    "       velto1cli check [--all] [--name NAME] [--json] [--record FILE]\n"
    "       velto1cli detect [--name NAME]\n"
    "       velto1cli report [--expect FILE] [--json] [--html FILE] LOG...\n"
    "       velto1cli help\n"
    "       velto1cli --version\n"
    "\n"
    "Runs the velto1 update (clear bit 7 of the EEPROM option byte of a device that\n"
    "carries the supported product's marker, and read it back) without a window.\n"
    "\n"
    "  update        apply the update; a device already updated is left alone\n"
    "  check         tell whether the update is needed; writes nothing to the device\n"
    "  detect        a deployment tool's detection rule: look at every device as check\n"
    "                does, write nothing anywhere, exit 0; one line per device on stdout\n"
    "                when nothing waits on this PC (every device updated, other products\n"
    "                only, or no device), nothing at all when something does\n"
    "  report        read roll-out logs (update --log's): every computer's latest\n"
    "                state, the causes of those that need attention; exit 0 when none\n"
    "                does, 30 when some do or never reported, 31 when a file could\n"
    "                not be read\n"
    "  --expect FILE the computers that should have reported (one a line, or a CSV\n"
    "                whose header names the column), for report\n"
    "  --html FILE   report's page: the states, a daily trend, the causes, every\n"
    "                computer; one file, nothing from outside\n"
    "  --all         every attached device of a supported model, not only the first\n"
    "  --name NAME   look for devices whose name begins with NAME (default: the name in\n"
    "                the registry, else \"USB 7450 Device\"), then for the known models\n"
    "  --log FILE    append one UTF-8 line per device to FILE (may be shared); a device\n"
    "                whose outcome is a W or E code also leaves a recording of its driver\n"
    "                calls beside FILE, named for the computer, the device and the time\n"
    "  --json        one JSON object per device and line instead of the text line\n"
    "  --record FILE write the driver calls to FILE (the second device's to FILE-2, ...),\n"
    "                a recording that simdevctl add --replay plays back\n"
    "  --version     the version, architecture and commit of this program\n"
    "\n"
    "One line per device on stdout, also for a matching device that could not be bound.\n"
    "Exit code (with --all, the highest of the devices'):\n"
    "   2  usage error; no device was touched\n"
    "   3  update succeeded, but the log could not be written\n"
    "  30  report: a computer needs attention or never reported\n"
    "  31  report: a log or the inventory could not be read, or the page written\n";

// The usage's exit codes of the outcomes, one line each, from their table.
void PrintOutcomeCodes() {
    for (const OutcomeDescription& row : kOutcomeTable) {
        std::printf("  %2d  %s\n", row.exitCode, row.text);
    }
}

// A crash ends the process with the exception's code, and no dialog.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

// No error box of the system's either, whatever fails: a missing disk, a crash.
void SilenceSystemDialogs() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
}

}  // namespace

int main() {
    SilenceSystemDialogs();
    std::vector<std::wstring> words;
    if (!velto1::StartConsoleProgram(&words)) {
        return cli::kExitUsage;
    }

    cli::Options options;
    std::wstring problem;
    if (!cli::ParseArguments(words, &options, &problem)) {
        velto1::RefuseUsage(L"velto1cli", problem);
        return cli::kExitUsage;
    }
    if (options.command == cli::Command::Version) {
        std::printf("velto1cli %s %s commit %s\n", VELTO1_VERSION, VELTO1_ARCH, VELTO1_COMMIT);
        return cli::kExitSuccess;
    }
    if (options.command == cli::Command::Help) {
        std::fputs(kUsage, stdout);
        PrintOutcomeCodes();
        return cli::kExitSuccess;
    }
    if (options.command == cli::Command::Report) {
        return cli::RunReport(options);
    }
    return cli::RunOnDevices(options);
}
