// The command-line reader of the console programs (velto1cli, chipctl,
// simdevctl): the options a program names, with their values, and the other
// words in order. It is strict, because a script's unset variable must not
// turn into another meaning: an option that takes a value never takes a word
// beginning with "--", nor an empty word. The first problem found is kept; a
// program reports it with RefuseUsage and touches no device.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/console_text.h"
#include "common/hex_text.h"

namespace velto1 {

struct OptionSpec {
    const wchar_t* name;      // "--log"
    bool takesValue;          // the next word is its value
    bool repeatable = false;  // may be given more than once; else twice is a problem
};

struct GivenOption {
    std::wstring name;
    std::wstring value;  // empty for a flag
};

class CommandLine {
  public:
    CommandLine(const std::vector<std::wstring>& words, const std::vector<OptionSpec>& options) {
        for (size_t i = 0; i < words.size(); ++i) {
            const std::wstring& word = words[i];
            if (word.rfind(L"--", 0) != 0) {
                words_.push_back(word);
                continue;
            }
            const auto known =
                std::find_if(options.begin(), options.end(),
                             [&word](const OptionSpec& o) { return word == o.name; });
            if (known == options.end()) {
                Problem(L"unknown option " + Quoted(word));
            } else if (Has(word.c_str()) && !known->repeatable) {
                Problem(word + L" is given twice");
            } else if (!known->takesValue) {
                given_.push_back({word, L""});
            } else if (i + 1 >= words.size()) {
                Problem(word + L" needs a value");
            } else if (words[i + 1].empty() || words[i + 1].rfind(L"--", 0) == 0) {
                Problem(word + L" needs a value, not " + Quoted(words[i + 1]));
            } else {
                given_.push_back({word, words[++i]});
            }
        }
    }

    bool Has(const wchar_t* name) const { return Value(name) != nullptr; }
    // The option's (first) value, empty for a flag; null when not given.
    const std::wstring* Value(const wchar_t* name) const {
        for (const GivenOption& option : given_) {
            if (option.name == name) {
                return &option.value;
            }
        }
        return nullptr;
    }
    // Every option given, in command-line order.
    const std::vector<GivenOption>& Given() const { return given_; }
    // The words that are not options or their values.
    const std::vector<std::wstring>& Words() const { return words_; }

    void Problem(const std::wstring& text) {
        if (problem_.empty()) {
            problem_ = text;
        }
    }
    bool Ok() const { return problem_.empty(); }
    const std::wstring& FirstProblem() const { return problem_; }

  private:
    std::vector<GivenOption> given_;
    std::vector<std::wstring> words_;
    std::wstring problem_;
};

// The one line of a refused command line, on stderr:
// "program: problem (program help shows the usage)".
inline void RefuseUsage(const wchar_t* program, const std::wstring& problem) {
    WriteText(stderr, std::wstring(program) + L": " + problem + L" (" + program +
                          L" help shows the usage)\n");
}

}  // namespace velto1
