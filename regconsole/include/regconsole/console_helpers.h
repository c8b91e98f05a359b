// Helpers for register-level tools: dialogs in which the user types a register
// index and a value as hexadecimal text, reads or writes chip registers and
// I2C devices through AppDevice, and is told when the device is gone.
//
// Hexadecimal text. Both parsers read the text as a user types it into a
// register field, the way strtoul(text, ..., 16) reads it:
//   - leading blanks (space, tab, CR, LF, VT, FF) are skipped;
//   - then an "0x" or "0X" prefix is skipped when a hexadecimal digit follows
//     it (in "0x" alone, or "0xG", the 0 is the number);
//   - the number is the run of hexadecimal digits (0-9, A-F, a-f) that starts
//     there; it ends at the first other character, and nothing from there on
//     counts: "1F " and "1G" read as 0x1F and 0x1, "G1", "-1" and blank text
//     hold no digits at all. There is no sign and no error result.
// The "length" of a text is the number of digits in that run. Both functions
// stop at the terminating zero, and a null text reads as empty.
//
// Messages are 8-bit English texts in a warning box with an OK button, shown
// through AppPlatform(). CheckI2cDevice and ReportFatalError work on AppDevice;
// with no device open (AppDevice null) they behave as for a device that is not
// bound, status 6.
#pragma once

#include <windows.h>

// Caption of the input-check and I2C messages.
constexpr char kConsoleCaption[] = "KX5170 Custom Property Demo";
// Caption of the fatal-error report.
constexpr char kFatalErrorCaption[] = "Error";

// The value of the last eight digits of the number (an empty number gives 0),
// so "FFFFFFFF" gives -1 and "100000000" gives 0.
LONG ParseHexValue(const char* text);

// Stores the number lowest byte first from the start of bytes: each pair of
// digits from the end gives one byte, and with an odd length the first digit
// forms the last byte alone ("1234" gives 34 12, "123" gives 23 01). Writes
// exactly (length + 1) / 2 bytes and nothing else; the caller provides that
// many (a buffer of (strlen(text) + 1) / 2 bytes is always enough). A null
// bytes gets nothing.
void ParseHexBytes(const char* text, BYTE* bytes);

// Return TRUE when the field's text is not empty; otherwise warn, owned by
// owner, and return FALSE. Only emptiness counts: a blank is text.
BOOL RequireRegisterIndex(HWND owner, const char* text);
BOOL RequireSetValue(HWND owner, const char* text);

// Probes the I2C device at address (8-bit bus address) on AppDevice and
// returns the probe's status. On 0, *state holds what the probe delivered; on
// any other status *state is 0 and the user is warned: 21 means the device is
// powered down or not ready, anything else that it was not detected. state may
// be null when the caller wants only the status.
HRESULT CheckI2cDevice(HWND owner, DWORD address, DWORD* state);

// Reports AppDevice's last status in an error box owned by dialog and waits
// for the user. When the status says the device was unplugged, the dialog is
// then ended with result; after any other status it stays open.
void ReportFatalError(HWND dialog, WORD result);
