#include "regconsole/console_helpers.h"

#include "appcore/app_device.h"
#include "appcore/platform.h"
#include "common/hex_text.h"

namespace {

constexpr UINT kWarningBox = MB_ICONWARNING | MB_OK;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

using velto1::HexDigitValue;

// The digits of the number a text holds (see the header). Every look-ahead
// stops at a character that fails its test, and the terminating zero fails
// them all, so nothing past it is read.
struct HexDigits {
    const char* first;
    size_t count;
};

HexDigits FindHexDigits(const char* text) {
    if (!text) {
        return {nullptr, 0};
    }
    const char* digits = text;
    while (IsBlank(*digits)) {
        ++digits;
    }
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X') &&
        HexDigitValue(digits[2]) >= 0) {
        digits += 2;
    }
    size_t count = 0;
    while (HexDigitValue(digits[count]) >= 0) {
        ++count;
    }
    return {digits, count};
}

BYTE DigitAt(const HexDigits& digits, size_t position) {
    return static_cast<BYTE>(HexDigitValue(digits.first[position]));
}

void ShowWarning(HWND owner, const char* text, const char* caption) {
    AppPlatform().ShowMessageBoxA(owner, text, caption, kWarningBox);
}

BOOL RequireText(HWND owner, const char* text, const char* warning) {
    if (text && text[0] != '\0') {
        return TRUE;
    }
    ShowWarning(owner, warning, kConsoleCaption);
    return FALSE;
}

}  // namespace

LONG ParseHexValue(const char* text) {
    const HexDigits digits = FindHexDigits(text);
    // 32-bit arithmetic that wraps: digits beyond the last eight shift out.
    DWORD value = 0;
    for (size_t i = 0; i < digits.count; ++i) {
        value = value * 16 + DigitAt(digits, i);
    }
    return static_cast<LONG>(value);
}

void ParseHexBytes(const char* text, BYTE* bytes) {
    const HexDigits digits = FindHexDigits(text);
    if (!bytes) {
        return;
    }
    // Pairs from the end of the number; an odd first digit stands alone.
    for (size_t end = digits.count; end > 0; end = end >= 2 ? end - 2 : 0) {
        const BYTE low = DigitAt(digits, end - 1);
        const BYTE high = end >= 2 ? DigitAt(digits, end - 2) : 0;
        *bytes++ = static_cast<BYTE>(high << 4 | low);
    }
}

BOOL RequireRegisterIndex(HWND owner, const char* text) {
    return RequireText(owner, text, "You must specify a register index");
}

BOOL RequireSetValue(HWND owner, const char* text) {
    return RequireText(owner, text, "You must enter a value to set");
}

HRESULT CheckI2cDevice(HWND owner, DWORD address, DWORD* state) {
    DWORD probed = 0;
    const HRESULT status =
        AppDevice ? AppDevice->ProbeI2cDevice(address, &probed) : DEVCTL_S_NOT_BOUND;
    if (status != S_OK) {
        probed = 0;
    }
    if (state) {
        *state = probed;
    }
    if (status == S_OK) {
        return status;
    }
    ShowWarning(owner,
                status == DEVCTL_S_NOT_READY ? "I2C device was powered down or not ready"
                                             : "I2C device not detected",
                kConsoleCaption);
    return status;
}

void ReportFatalError(HWND dialog, WORD result) {
    const HRESULT status = AppDevice ? AppDevice->GetLastResult() : DEVCTL_S_NOT_BOUND;
    const bool unplugged = status == DEVCTL_E_UNPLUGGED;
    const char* text = "Fatal Error:  Device unplugged, press OK to Exit";
    char formatted[32];  // "Fatal Error:  " and at most eight digits
    if (!unplugged) {
        wsprintfA(formatted, "Fatal Error:  %x", static_cast<unsigned>(status));
        text = formatted;
    }
    ShowWarning(dialog, text, kFatalErrorCaption);
    if (unplugged) {
        AppPlatform().EndDialog(dialog, result);
    }
}
