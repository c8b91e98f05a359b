// velto1_autopilot: runs velto1.exe (beside it) once, answers its update
// dialog as a user would, and prints what the user saw. Used by the run
// script on a machine without a display and by the benchmark.
//
//   velto1_autopilot [--cancel | --escape] [--shots FOLDER] [--timing]
//
// Exit code 0 when the run went through (whatever the outcome message), 1
// when the dialog or the program misbehaved.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/module_folder.h"
#include "tools/autopilot/updater_session.h"

namespace {

void PrintLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    automation::SessionOptions options;
    options.program = velto1::ModuleFolder() + L"velto1.exe";
    bool timing = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--cancel") {
            options.answer = automation::Answer::Cancel;
        } else if (arg == L"--escape") {
            options.answer = automation::Answer::Escape;
        } else if (arg == L"--shots" && i + 1 < argc) {
            options.shotsFolder = argv[++i];
        } else if (arg == L"--timing") {
            timing = true;
        } else {
            std::fputs(
                "usage: velto1_autopilot [--cancel | --escape] [--shots FOLDER] [--timing]\n",
                stderr);
            return 2;
        }
    }

    const automation::SessionResult result = automation::RunUpdaterSession(options);
    using automation::Utf8;
    if (result.dialogFound) {
        PrintLine("dialog: " + Utf8(result.dialogTitle));
    }
    if (result.messageCount > 0) {
        PrintLine("message: " + Utf8(result.messageText));
    } else if (result.ended) {
        PrintLine("message: (none)");
    }
    if (result.ended) {
        PrintLine("exit code: " + std::to_string(result.exitCode));
    }
    if (timing && result.dialogFound) {
        char line[160];
        std::snprintf(line, sizeof line, "timing: dialog %.3f s, update %.3f s",
                      result.secondsToDialog, result.secondsToMessage);
        PrintLine(line);
    }
    if (!result.failure.empty()) {
        std::fprintf(stderr, "velto1_autopilot: %s\n", result.failure.c_str());
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
