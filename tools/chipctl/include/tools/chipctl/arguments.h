// A command's words after its name: options, positional words and the
// numbers in them. Every number is read strictly as hexadecimal before the
// device is touched; the first problem found is kept and reported as a usage
// error, so that a refused command sends nothing.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "common/command_line.h"

namespace chipctl {

class Arguments {
  public:
    // flags take no value; valued options take the next word (the shared
    // reader's rules). Any other word that begins with "--" is a problem.
    Arguments(const std::vector<std::wstring>& words, std::initializer_list<const wchar_t*> flags,
              std::initializer_list<const wchar_t*> valued);

    bool Flag(const wchar_t* name) const { return line_.Has(name); }
    // The option's value, or null when it was not given.
    const std::wstring* Option(const wchar_t* name) const { return line_.Value(name); }
    const std::vector<std::wstring>& Words() const { return line_.Words(); }

    // Records a problem unless there are between min and max positional
    // words; shape names them in the message (e.g. L"INDEX [COUNT]").
    void ExpectWords(size_t min, size_t max, const wchar_t* shape);
    // A hexadecimal number from minValue to maxValue; 0 after a problem,
    // which Ok() then reports.
    DWORD Number(const wchar_t* name, const std::wstring& text, DWORD minValue, DWORD maxValue);
    // The bytes of a value written as one hexadecimal number, lowest byte
    // first, exactly byteCount of them.
    std::vector<BYTE> Bytes(const wchar_t* name, const std::wstring& text, size_t byteCount);

    void Problem(const std::wstring& text) { line_.Problem(text); }
    bool Ok() const { return line_.Ok(); }
    // Reports the first problem; returns kUsageError.
    int Refuse() const;

  private:
    velto1::CommandLine line_;
};

}  // namespace chipctl
