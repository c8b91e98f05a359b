#include "tools/chipctl/arguments.h"

#include <algorithm>

#include "common/hex_text.h"
#include "tools/chipctl/console_io.h"

namespace chipctl {

namespace {}  // namespace

Arguments::Arguments(const std::vector<std::wstring>& words,
                     std::initializer_list<const wchar_t*> flags,
                     std::initializer_list<const wchar_t*> valued) {
    const auto known = [](std::initializer_list<const wchar_t*> names, const std::wstring& word) {
        return std::any_of(names.begin(), names.end(),
                           [&word](const wchar_t* name) { return word == name; });
    };
    for (size_t i = 0; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        if (word.rfind(L"--", 0) != 0) {
            words_.push_back(word);
        } else if (flags_.count(word) || values_.count(word)) {
            Problem(word + L" is given twice");
        } else if (known(flags, word)) {
            flags_.insert(word);
        } else if (!known(valued, word)) {
            Problem(L"unknown option " + Quoted(word));
        } else if (i + 1 >= words.size()) {
            Problem(word + L" needs a value");
        } else {
            values_[word] = words[++i];
        }
    }
}

const std::wstring* Arguments::Option(const wchar_t* name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? nullptr : &it->second;
}

void Arguments::ExpectWords(size_t min, size_t max, const wchar_t* shape) {
    if (words_.size() < min) {
        Problem(std::wstring(L"missing arguments: expected ") + shape);
    } else if (words_.size() > max) {
        Problem(L"unexpected argument " + Quoted(words_[max]) + L": expected " + shape);
    }
}

DWORD Arguments::Number(const wchar_t* name, const std::wstring& text, DWORD minValue,
                        DWORD maxValue) {
    std::string ascii;
    DWORD value = 0;
    if (!velto1::AsciiOf(text, &ascii) || !velto1::ParseHexNumber(ascii, maxValue, &value) ||
        value < minValue) {
        Problem(std::wstring(name) + L" must be a hexadecimal number from " + Hex(minValue, 1) +
                L" to " + Hex(maxValue, 1) + L", not " + Quoted(text));
        return 0;
    }
    return value;
}

std::vector<BYTE> Arguments::Bytes(const wchar_t* name, const std::wstring& text,
                                   size_t byteCount) {
    std::string ascii;
    std::vector<BYTE> bytes;
    if (!velto1::AsciiOf(text, &ascii) || !velto1::ParseHexBytes(ascii, byteCount, &bytes)) {
        Problem(std::wstring(name) + L" must be a hexadecimal number of at most " +
                std::to_wstring(byteCount) + (byteCount == 1 ? L" byte" : L" bytes") + L", not " +
                Quoted(text));
        return std::vector<BYTE>(byteCount, 0);
    }
    return bytes;
}

void Arguments::Problem(const std::wstring& text) {
    if (problem_.empty()) {
        problem_ = text;
    }
}

int Arguments::Refuse() const {
    return UsageError(problem_);
}

}  // namespace chipctl
