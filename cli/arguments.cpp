#include "cli/arguments.h"

#include "common/command_line.h"

namespace cli {

bool ParseArguments(const std::vector<std::wstring>& words, Options* options,
                    std::wstring* problem) {
    *options = Options();
    velto1::CommandLine line(words, {
                                        {L"--all", false},
                                        {L"--json", false},
                                        {L"--name", true},
                                        {L"--log", true},
                                        {L"--version", false},
                                        {L"--record", true},
                                        {L"--expect", true},
                                        {L"--html", true},
                                    });
    // report's words after the command are its logs.
    const bool report = !line.Words().empty() && line.Words().front() == L"report";
    for (const std::wstring& word : line.Words()) {
        if (word.size() > 1 && word[0] == L'-') {
            line.Problem(L"unknown option " + velto1::Quoted(word));
        } else if (report && &word != &line.Words().front()) {
            options->logs.push_back(word);
        } else if (word != L"update" && word != L"check" && word != L"detect" &&
                   word != L"report" && word != L"help") {
            line.Problem(L"unknown command " + velto1::Quoted(word));
        } else if (&word != &line.Words().front()) {
            line.Problem(L"one command at a time, not also " + velto1::Quoted(word));
        }
    }
    const bool version = line.Has(L"--version");
    if (version && (line.Given().size() > 1 || !line.Words().empty())) {
        line.Problem(L"--version goes alone");
    }
    if (line.Words().empty() && !version) {
        line.Problem(L"no command");
    }
    if (!line.Ok()) {
        *problem = line.FirstProblem();
        return false;
    }
    const std::wstring command = version ? L"" : line.Words().front();
    options->command = version                ? Command::Version
                       : command == L"update" ? Command::Update
                       : command == L"check"  ? Command::Check
                       : command == L"detect" ? Command::Detect
                       : command == L"report" ? Command::Report
                                              : Command::Help;
    options->all = line.Has(L"--all");
    options->json = line.Has(L"--json");
    if (const std::wstring* name = line.Value(L"--name")) {
        options->name = *name;
    }
    if (const std::wstring* log = line.Value(L"--log")) {
        options->log = *log;
    }
    if (const std::wstring* record = line.Value(L"--record")) {
        options->record = *record;
    }
    if (const std::wstring* expect = line.Value(L"--expect")) {
        options->expect = *expect;
    }
    if (const std::wstring* html = line.Value(L"--html")) {
        options->html = *html;
    }
    // report reads logs and touches no device: its own options only, and a log at least.
    if (options->command == Command::Report) {
        if (line.Has(L"--all") || options->name || options->log || options->record) {
            line.Problem(L"report takes --expect FILE, --json and --html FILE, and its logs");
        } else if (options->logs.empty()) {
            line.Problem(L"report needs a log to read");
        }
    } else if (options->expect || options->html) {
        line.Problem(options->expect ? L"--expect is for report only"
                                     : L"--html is for report only");
    }
    // detect looks at every device and leaves no trace: nothing to choose but the name.
    if (options->command == Command::Detect &&
        (line.Has(L"--all") || options->json || options->log || options->record)) {
        line.Problem(
            L"detect takes no option but --name: it reads every device and writes nothing");
    }
    if (options->command == Command::Help && !line.Given().empty()) {
        line.Problem(L"help takes no options");
    }
    if (options->command == Command::Check && options->log) {
        line.Problem(L"--log is for update only: check writes nothing to the device");
    }
    *problem = line.FirstProblem();
    return line.Ok();
}

}  // namespace cli
