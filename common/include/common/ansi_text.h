// Text in the ANSI code page, the form in which the device library takes and
// gives device names: a typed name converted exactly or not at all, and a
// found name widened for output.
#pragma once

#include <windows.h>

#include <string>

namespace velto1 {

// The library's name buffers hold 259 bytes and the terminator.
constexpr size_t kMaxLibraryNameBytes = 259;

enum class AnsiConversion { Exact, LacksCharacter, TooLong };

// The name as the library compares it: in the ANSI code page, every character
// converted as itself (a '?' or a look-alike would match another device), and
// within the library's buffers. *bytes is set only when Exact.
inline AnsiConversion ToLibraryName(const std::wstring& name, std::string* bytes) {
    const bool utf8 = GetACP() == CP_UTF8;  // no default character there: invalid text fails
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, flags, name.c_str(), -1, nullptr, 0, nullptr,
                                         utf8 ? nullptr : &lossy);
    if (size <= 0 || lossy) {
        return AnsiConversion::LacksCharacter;
    }
    if (static_cast<size_t>(size) - 1 > kMaxLibraryNameBytes) {
        return AnsiConversion::TooLong;
    }
    std::string converted(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, name.c_str(), -1, converted.data(), size, nullptr, nullptr);
    converted.resize(static_cast<size_t>(size) - 1);
    *bytes = converted;
    return AnsiConversion::Exact;
}

// ANSI code page text as wide text.
inline std::wstring WidenAnsi(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

}  // namespace velto1
