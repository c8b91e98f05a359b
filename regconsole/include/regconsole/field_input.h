// Typed text of the console's fields: hex digits with an optional 0x prefix
// and nothing else. Anything else is refused with a message that names the
// field, before anything is sent to the device; the console always knows how
// many bytes a value holds.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace regconsole {

// Checks without showing anything: an empty string when text is a number of
// at most maxValue (stored in *value), else the message for the user.
std::string NumberProblem(const char* fieldName, const std::string& text, DWORD maxValue,
                          DWORD* value);
// Likewise for a value of exactly byteCount bytes, typed as a number (lowest
// byte last); fewer digits are zero-padded.
std::string BytesProblem(const char* fieldName, const std::string& text, DWORD byteCount,
                         std::vector<BYTE>* bytes);

// The text of a dialog field, 8-bit.
std::string FieldText(HWND dialog, int id);

// Each reads a field and, when it is not acceptable, warns (owner dialog,
// the console's caption) and returns false.
bool ReadNumberField(HWND dialog, int id, const char* fieldName, DWORD maxValue, DWORD* value);
// An empty register index gets the helpers' "You must specify a register index".
bool ReadRegisterIndex(HWND dialog, int id, DWORD maxValue, DWORD* index);
// An empty value gets the helpers' "You must enter a value to set".
bool ReadValueField(HWND dialog, int id, const char* fieldName, DWORD byteCount,
                    std::vector<BYTE>* bytes);

}  // namespace regconsole
