// Text from the console programs: Unicode on a console, UTF-8 when the
// stream is redirected to a file or a pipe, so that no character is lost or
// cuts a line short whatever the code page.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

namespace velto1 {

inline std::string Utf8Of(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

// UTF-8 text as wide text; bytes that are not UTF-8 become U+FFFD.
inline std::wstring WidenUtf8(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    }
    return wide;
}

// ASCII text as wide text.
inline std::wstring WidenAscii(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// Writes text to stdout or stderr as it is; stdout is flushed first, so that
// the two streams keep their order when they share a pipe.
inline void WriteText(FILE* stream, const std::wstring& text) {
    std::fflush(stdout);
    const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    // Only a character device can be a console: a file or a pipe is never asked
    // (under Wine, asking one makes a console window).
    if (handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR &&
        GetConsoleMode(handle, &mode) &&
        WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        return;
    }
    const std::string bytes = Utf8Of(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

}  // namespace velto1
