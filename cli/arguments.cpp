#include "cli/arguments.h"

#include <cwctype>

namespace cli {

namespace {

constexpr size_t kMaxNameBytes = 259;  // the library's name buffers hold 260

// An argument as a message quotes it: control characters as '?', long ones cut.
std::wstring Quoted(const std::wstring& text) {
    constexpr size_t kShownLength = 40;
    std::wstring shown = L"\"";
    for (size_t i = 0; i < text.size() && i < kShownLength; ++i) {
        shown += std::iswcntrl(text[i]) ? L'?' : text[i];
    }
    return shown + (text.size() > kShownLength ? L"...\"" : L"\"");
}

// The name as the library compares it: in the ANSI code page, every character
// converted as itself (a '?' or a look-alike would match another device).
bool ToLibraryName(const std::wstring& name, std::string* bytes, std::wstring* problem) {
    const bool utf8 = GetACP() == CP_UTF8;  // no default character there: invalid text fails
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, flags, name.c_str(), -1, nullptr, 0, nullptr,
                                         utf8 ? nullptr : &lossy);
    if (size <= 0 || lossy) {
        *problem = L"--name has a character the ANSI code page lacks: " + Quoted(name);
        return false;
    }
    if (static_cast<size_t>(size) - 1 > kMaxNameBytes) {
        *problem = L"--name is longer than 259 bytes in the ANSI code page";
        return false;
    }
    std::string converted(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, name.c_str(), -1, converted.data(), size, nullptr, nullptr);
    converted.resize(static_cast<size_t>(size) - 1);
    *bytes = converted;
    return true;
}

}  // namespace

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
            if (!ToLibraryName(words[++i], &name, problem)) {
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
            *problem = L"unknown option " + Quoted(word);
            return false;
        } else if (word != L"update" && word != L"check" && word != L"help") {
            *problem = L"unknown command " + Quoted(word);
            return false;
        } else if (haveCommand) {
            *problem = L"one command at a time, not also " + Quoted(word);
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
