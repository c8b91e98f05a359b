#include "cli/arguments.h"

#include "common/ansi_text.h"

namespace cli {

bool ParseArguments(const std::vector<std::wstring>& words, Options* options,
                    std::wstring* problem) {
    *options = Options();
    bool haveCommand = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        const bool valued = word == L"--name" || word == L"--log";
        if (valued && i + 1 >= words.size()) {
            *problem = word + L" needs a value";
            return false;
        }
        if (word == L"--all") {
            if (options->all) {
                *problem = L"--all is given twice";
                return false;
            }
            options->all = true;
        } else if (word == L"--name") {
            if (options->name) {
                *problem = L"--name is given twice";
                return false;
            }
            std::string name;
            *problem = velto1::LibraryName(words[++i], &name);
            if (!problem->empty()) {
                return false;
            }
            options->name = name;
        } else if (word == L"--log") {
            if (options->log) {
                *problem = L"--log is given twice";
                return false;
            }
            options->log = words[++i];
            if (options->log->empty()) {
                *problem = L"--log needs a file name";
                return false;
            }
        } else if (word.rfind(L"-", 0) == 0) {
            *problem = L"unknown option " + velto1::Quoted(word);
            return false;
        } else if (word != L"update" && word != L"check" && word != L"help") {
            *problem = L"unknown command " + velto1::Quoted(word);
            return false;
        } else if (haveCommand) {
            *problem = L"one command at a time, not also " + velto1::Quoted(word);
            return false;
        } else {
            haveCommand = true;
            options->command = word == L"update"  ? Command::Update
                               : word == L"check" ? Command::Check
                                                  : Command::Help;
        }
    }
    if (!haveCommand) {
        *problem = L"no command";
        return false;
    }
    if (options->command == Command::Help && (options->all || options->name || options->log)) {
        *problem = L"help takes no options";
        return false;
    }
    if (options->command == Command::Check && options->log) {
        *problem = L"--log is for update only: check changes nothing";
        return false;
    }
    return true;
}

}  // namespace cli
