#include "cli/device_report.h"

#include <cstdio>
#include <cwctype>

#include "appcore/outcome_table.h"
#include "common/console_text.h"
#include "common/hex_text.h"
#include "devctl/device_control.h"

namespace cli {

namespace {

// Controls, and the marks that move or reorder text: a line or paragraph
// separator, and the bidirectional overrides that can show a name backwards.
bool IsUnsafe(wchar_t c) {
    return std::iswcntrl(c) || c == 0x2028 || c == 0x2029 || (c >= 0x200E && c <= 0x200F) ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::wstring Escaped(wchar_t c) {
    wchar_t text[8];
    std::swprintf(text, 8, c <= 0xFF ? L"\\x%02X" : L"\\u%04X", static_cast<unsigned>(c));
    return text;
}

std::string OptionByteText(const UpdateResult& result) {
    if (!result.optionRead) {
        return "option byte not read";
    }
    std::string text = "option byte " + HexByte(result.optionBefore);
    if (result.optionReadBack) {
        text += " -> " + HexByte(result.optionAfter);
    }
    return text;
}

const char* HowFound(DWORD match) {
    return match == DeviceControl::kMatchedKnownModel ? "a known model" : "name";
}

// A JSON string of ASCII: every other character as \u escapes (UTF-16, as JSON counts them).
std::string JsonString(const std::wstring& text) {
    std::string json = "\"";
    for (const wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            json += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c) & 0xFFFF);
            json += escape;
        }
    }
    return json + "\"";
}

std::string JsonString(const std::string& ascii) {
    return JsonString(velto1::WidenAscii(ascii));
}

}  // namespace

std::wstring ShownName(const std::wstring& name) {
    std::wstring shown;
    for (const wchar_t c : name) {
        if (c == L'"' || c == L'\\') {
            shown += L'\\';
            shown += c;
        } else {
            shown += IsUnsafe(c) ? Escaped(c) : std::wstring(1, c);
        }
    }
    return shown;
}

std::wstring TextLine(const DeviceReport& report, bool withExitCode) {
    const UpdateResult& result = report.result;
    const std::wstring found =
        report.found
            ? L"\"" + ShownName(report.name) + L"\" found by " +
                  velto1::WidenAscii(HowFound(report.match)) + L", " +
                  velto1::WidenAscii(OptionByteText(result))
            : L"no device found by \"" + ShownName(report.wantedName) + L"\" or a known model";
    const std::wstring code =
        withExitCode
            ? L" (exit code " + std::to_wstring(DescribeOutcome(result.outcome).exitCode) + L")"
            : L"";
    return found + L": " + velto1::WidenAscii(OutcomeText(result)) + code + L"\n";
}

std::string JsonLine(const DeviceReport& report) {
    const UpdateResult& result = report.result;
    const OutcomeDescription& outcome = DescribeOutcome(result.outcome);
    std::string json = "{\"device\":" + (report.found ? JsonString(report.name) : "null");
    json += ",\"foundBy\":" + (report.found ? JsonString(HowFound(report.match)) : "null");
    json +=
        ",\"before\":" + (result.optionRead ? JsonString(HexByte(result.optionBefore)) : "null");
    json +=
        ",\"after\":" + (result.optionReadBack ? JsonString(HexByte(result.optionAfter)) : "null");
    json += ",\"outcome\":" + JsonString(OutcomeText(result));
    json += ",\"code\":" + (outcome.code ? JsonString(outcome.code) : "null");
    json += ",\"exitCode\":" + std::to_string(outcome.exitCode);
    if (result.outcome == UpdateOutcome::DeviceNotBound) {
        json += ",\"bindStatus\":" + JsonString(velto1::StatusWordText(result.status));
    }
    return json + "}\n";
}

}  // namespace cli
