// velto1cli's command line: one command and its options, or the reason it
// was refused.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Command { Help, Version, Update, Check, Detect, Report };

struct Options {
    Command command = Command::Help;
    bool all = false;                    // every attached device, not only the first
    bool json = false;                   // one JSON object per device instead of a line of text
    std::optional<std::wstring> name;    // --name: the beginning of a device's friendly name
    std::optional<std::wstring> log;     // --log FILE (update only)
    std::optional<std::wstring> record;  // --record FILE: the driver calls of the run
    std::optional<std::wstring> expect;  // --expect FILE (report): the computers of the inventory
    std::optional<std::wstring> html;    // --html FILE (report): the page
    std::vector<std::wstring> logs;      // report's LOG words
};

// Fills options from the words after the program's name; on refusal returns
// false with the problem in one line, and options are not to be used.
bool ParseArguments(const std::vector<std::wstring>& words, Options* options,
                    std::wstring* problem);

}  // namespace cli
