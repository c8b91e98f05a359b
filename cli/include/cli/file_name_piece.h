// The piece of a text that a file name can hold, as the flight recorder
// names its files after the computer and the device (and the report finds
// them by it).
#pragma once

#include <cwchar>
#include <cwctype>
#include <string>

namespace cli {

inline bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// A file-name piece of a text: what a file name can't hold becomes "_", and
// so do controls, line breaks and a surrogate without its pair (no file
// system's name can hold one).
inline std::wstring FileNamePiece(const std::wstring& text) {
    std::wstring piece;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            piece += text.substr(i++, 2);
            continue;
        }
        const bool unfit = c < 0x20 || std::iswcntrl(c) || c == 0x2028 || c == 0x2029 ||
                           IsHighSurrogate(c) || IsLowSurrogate(c) ||
                           std::wcschr(L"<>:\"/\\|?*. ", c);
        piece += unfit ? L'_' : c;
    }
    // 64 characters, a pair kept whole.
    const size_t cut = piece.size() > 64 && IsLowSurrogate(piece[64]) ? 63 : 64;
    return piece.substr(0, cut);
}

}  // namespace cli
