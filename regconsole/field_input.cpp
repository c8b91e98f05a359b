#include "regconsole/field_input.h"

#include "regconsole/console_helpers.h"
#include "appcore/platform.h"
#include "common/hex_text.h"
#include "regconsole/console_log.h"

namespace regconsole {

namespace {

constexpr size_t kShownTextLimit = 40;

std::string Quoted(const std::string& text) {
    if (text.size() > kShownTextLimit) {
        return "\"" + text.substr(0, kShownTextLimit) + "...\"";
    }
    return "\"" + text + "\"";
}

bool Warn(HWND dialog, const std::string& problem) {
    AppPlatform().ShowMessageBoxA(dialog, problem.c_str(), kConsoleCaption, MB_ICONWARNING | MB_OK);
    return false;
}

constexpr char kHowToType[] =
    "Type hexadecimal digits (0-9, A-F), with or without 0x. Nothing was sent.";

}  // namespace

std::string NumberProblem(const char* fieldName, const std::string& text, DWORD maxValue,
                          DWORD* value) {
    if (velto1::ParseHexNumber(text, maxValue, value)) {
        return {};
    }
    return std::string(fieldName) + ": " + Quoted(text) + " is not a number from 0 to " +
           Hex(maxValue, 1) + ".\n" + kHowToType;
}

std::string BytesProblem(const char* fieldName, const std::string& text, DWORD byteCount,
                         std::vector<BYTE>* bytes) {
    if (velto1::ParseHexBytes(text, byteCount, bytes)) {
        return {};
    }
    return std::string(fieldName) + ": " + Quoted(text) + " is not a value of " +
           std::to_string(byteCount) + (byteCount == 1 ? " byte" : " bytes") + ".\n" + kHowToType;
}

std::string FieldText(HWND dialog, int id) {
    HWND field = GetDlgItem(dialog, id);
    const int length = field ? GetWindowTextLengthA(field) : 0;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = field ? GetWindowTextA(field, &text[0], length + 1) : 0;
    text.resize(static_cast<size_t>(copied));
    return text;
}

bool ReadNumberField(HWND dialog, int id, const char* fieldName, DWORD maxValue, DWORD* value) {
    const std::string problem = NumberProblem(fieldName, FieldText(dialog, id), maxValue, value);
    return problem.empty() || Warn(dialog, problem);
}

bool ReadRegisterIndex(HWND dialog, int id, DWORD maxValue, DWORD* index) {
    const std::string text = FieldText(dialog, id);
    if (!RequireRegisterIndex(dialog, text.c_str())) {
        return false;
    }
    const std::string problem = NumberProblem("Register index", text, maxValue, index);
    return problem.empty() || Warn(dialog, problem);
}

bool ReadValueField(HWND dialog, int id, const char* fieldName, DWORD byteCount,
                    std::vector<BYTE>* bytes) {
    const std::string text = FieldText(dialog, id);
    if (!RequireSetValue(dialog, text.c_str())) {
        return false;
    }
    const std::string problem = BytesProblem(fieldName, text, byteCount, bytes);
    return problem.empty() || Warn(dialog, problem);
}

}  // namespace regconsole
