#include "tools/chipctl/arguments.h"

#include "common/hex_text.h"
#include "tools/chipctl/console_io.h"

namespace chipctl {

namespace {

std::vector<velto1::OptionSpec> Specs(std::initializer_list<const wchar_t*> flags,
                                      std::initializer_list<const wchar_t*> valued) {
    std::vector<velto1::OptionSpec> specs;
    for (const wchar_t* name : flags) {
        specs.push_back({name, false});
    }
    for (const wchar_t* name : valued) {
        specs.push_back({name, true});
    }
    return specs;
}

}  // namespace

Arguments::Arguments(const std::vector<std::wstring>& words,
                     std::initializer_list<const wchar_t*> flags,
                     std::initializer_list<const wchar_t*> valued)
    : line_(words, Specs(flags, valued)) {}

void Arguments::ExpectWords(size_t min, size_t max, const wchar_t* shape) {
    const std::vector<std::wstring>& words = Words();
    if (words.size() < min) {
        Problem(std::wstring(L"missing arguments: expected ") + shape);
    } else if (words.size() > max) {
        Problem(L"unexpected argument " + Quoted(words[max]) + L": expected " + shape);
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

int Arguments::Refuse() const {
    return UsageError(line_.FirstProblem());
}

}  // namespace chipctl
