#include "cli/arguments.h"

#include "common/ansi_text.h"
#include "common/command_line.h"

namespace cli {

namespace {

// --name goes to the library in the ANSI code page; empty when *bytes holds it.
std::wstring NameProblem(const std::wstring& name, std::string* bytes) {
    switch (velto1::ToLibraryName(name, bytes)) {
        case velto1::AnsiConversion::Exact:
            return L"";
        case velto1::AnsiConversion::LacksCharacter:
            return L"--name has a character the ANSI code page lacks: " + velto1::Quoted(name);
        case velto1::AnsiConversion::TooLong:
            break;
    }
    return L"--name is longer than 259 bytes in the ANSI code page";
}

}  // namespace

bool ParseArguments(const std::vector<std::wstring>& words, Options* options,
                    std::wstring* problem) {
    *options = Options();
    velto1::CommandLine line(words, {
                                        {L"--all", false},
                                        {L"--name", true},
                                        {L"--log", true},
                                    });
    for (const std::wstring& word : line.Words()) {
        if (word.size() > 1 && word[0] == L'-') {
            line.Problem(L"unknown option " + velto1::Quoted(word));
        } else if (word != L"update" && word != L"check" && word != L"help") {
            line.Problem(L"unknown command " + velto1::Quoted(word));
        } else if (&word != &line.Words().front()) {
            line.Problem(L"one command at a time, not also " + velto1::Quoted(word));
        }
    }
    if (line.Words().empty()) {
        line.Problem(L"no command");
    }
    if (!line.Ok()) {
        *problem = line.FirstProblem();
        return false;
    }
    const std::wstring& command = line.Words().front();
    options->command = command == L"update"  ? Command::Update
                       : command == L"check" ? Command::Check
                                             : Command::Help;
    options->all = line.Has(L"--all");
    if (const std::wstring* name = line.Value(L"--name")) {
        std::string bytes;
        line.Problem(NameProblem(*name, &bytes));
        options->name = bytes;
    }
    if (const std::wstring* log = line.Value(L"--log")) {
        options->log = *log;
    }
    if (options->command == Command::Help && !line.Given().empty()) {
        line.Problem(L"help takes no options");
    }
    if (options->command == Command::Check && options->log) {
        line.Problem(L"--log is for update only: check changes nothing");
    }
    *problem = line.FirstProblem();
    return line.Ok();
}

}  // namespace cli
