// What velto1cli says about one device: a line of text, or with --json one
// JSON object, each on one line whatever the device's name holds.
#pragma once

#include <windows.h>

#include <string>

#include "appcore/update_procedure.h"

namespace cli {

struct DeviceReport {
    bool found;         // false: no device at all (W001)
    std::wstring name;  // the friendly name as the registry holds it
    std::wstring wantedName;
    DWORD match;  // DeviceControl::kMatchedByName or kMatchedKnownModel
    UpdateResult result;
};

// "\"USB 7450 Device\" found by name, option byte 0x85 -> 0x05: updated (exit code 0)";
// without the exit code for detect, whose code is its own.
std::wstring TextLine(const DeviceReport& report, bool withExitCode = true);
// {"device":"USB 7450 Device","foundBy":"name","before":"0x85",...}: ASCII only.
std::string JsonLine(const DeviceReport& report);

// The name with every character that could start a line, or pass for the
// quotes around it, written as an escape: \x0D, \u2028, \", \\.
std::wstring ShownName(const std::wstring& name);

}  // namespace cli
