// velto1cli's exit codes and the English words for each outcome: one table
// for update and check. A deployment tool reads 0 as success and anything
// else as failure; none of the codes is one the tools give a meaning of their
// own (3010 and 1641 restart, 1618 try again).
#pragma once

#include <windows.h>

#include <string>

#include "appcore/update_procedure.h"

namespace cli {

constexpr int kExitSuccess = 0;        // updated or already updated (check: nothing to do)
constexpr int kExitUsage = 2;          // the command line was refused; no device was touched
constexpr int kExitLogNotWritten = 3;  // every device succeeded, but the log missed a line
constexpr int kExitUpdateNeeded = 10;  // check: a device needs the update
constexpr int kExitNoDevice = 11;      // W001
constexpr int kExitNotSupported = 12;  // W002
constexpr int kExitDeviceBusy = 20;    // another program held the device too long
constexpr int kExitMarkerRead = 21;    // E001
constexpr int kExitOptionRead = 22;    // E002
constexpr int kExitOptionWrite = 23;   // E003
constexpr int kExitReadBack = 24;      // E004
constexpr int kExitBitStillSet = 25;   // E005

// A device's exit code. The codes rise with the outcome's weight, so that the
// run's code, with --all too, is the highest of its devices'.
int ExitCode(UpdateOutcome outcome);

// The outcome in English, with its code and what the run learned: "updated",
// "E003 writing the option byte failed, status 0x80070005". bindStatus is the
// status of binding the driver interface, for a W001 of a device found.
std::string OutcomeText(const UpdateResult& result, HRESULT bindStatus);

// "0x" and two upper-case digits, or eight for a wider value.
std::string HexByte(DWORD value);
std::string StatusText(HRESULT status);

}  // namespace cli
