// Every outcome of the update procedure, described once: its code, the
// updater's message, the English text velto1cli prints and logs, and
// velto1cli's exit code. The dialog, velto1cli and the log all take theirs
// from here; a new outcome is one more row.
#pragma once

#include <windows.h>

#include <string>

#include "appcore/update_procedure.h"

// What velto1cli appends to an outcome's text from the run's result.
enum class OutcomeDetail {
    None,
    Status,      // ", status 0x........": the failing call's status
    Marker,      // " (marker 0x..)": the marker that was read
    Busy,        // " longer than 10 s, status 0x........; nothing was sent"
    OtherBuild,  // " (the device is served by the x86 build)": the build that is not this one
};

struct OutcomeDescription {
    UpdateOutcome outcome;
    const char* code;        // "W001" to "E005"; null for the outcomes without one
    const wchar_t* message;  // the updater's message box
    const char* text;        // velto1cli's line and the log's outcome field, in English
    OutcomeDetail detail;
    int exitCode;  // velto1cli's; the codes rise with the outcome's weight
};

// One row per outcome, in the order of UpdateOutcome.
#define VELTO1_NOT_FOUND L"デバイスが見つかりません。"
#define VELTO1_WRITE_FAILED L"不明なエラーにより書込みに失敗しました。"

inline constexpr OutcomeDescription kOutcomeTable[] = {
    {UpdateOutcome::Completed, nullptr, L"アップデートが完了しました。", "updated",
     OutcomeDetail::None, 0},
    {UpdateOutcome::AlreadyUpdated, nullptr, L"デバイスは既にアップデート済みです。",
     "already updated", OutcomeDetail::None, 0},
    // Only a check ends so; the dialog runs the whole update and never sees
    // it. Were it to, bit 7 is set: E005's message.
    {UpdateOutcome::UpdateNeeded, nullptr, L"E005:" VELTO1_WRITE_FAILED, "update needed",
     OutcomeDetail::None, 10},
    {UpdateOutcome::DeviceNotOpened, "W001", L"W001:" VELTO1_NOT_FOUND, "W001 device not found",
     OutcomeDetail::None, 11},
    {UpdateOutcome::NotSupportedProduct, "W002", L"W002:" VELTO1_NOT_FOUND,
     "W002 not a supported product", OutcomeDetail::Marker, 12},
    // A device found whose filter or driver interface could not be bound:
    // the updater opens no device then, and says W001. Its exit code is its
    // own: a device that is there but unusable is a failure, never "none".
    {UpdateOutcome::DeviceNotBound, "W001", L"W001:" VELTO1_NOT_FOUND,
     "W001 device not opened: its driver interface could not be bound", OutcomeDetail::Status, 13},
    // velto1cli only: the dialog keeps its W001 for no device. A failure for
    // the recipes: the device waits for the other build's run.
    {UpdateOutcome::OtherBuildOnly, "W001", L"W001:" VELTO1_NOT_FOUND,
     "W001 device not found by this build", OutcomeDetail::OtherBuild, 14},
    // The step that could not start is the first: the dialog says E001.
    {UpdateOutcome::DeviceBusy, "E001", L"E001:" VELTO1_WRITE_FAILED,
     "busy: another program held the device", OutcomeDetail::Busy, 20},
    {UpdateOutcome::MarkerReadFailed, "E001", L"E001:" VELTO1_WRITE_FAILED,
     "E001 reading the product marker failed", OutcomeDetail::Status, 21},
    {UpdateOutcome::OptionReadFailed, "E002", L"E002:" VELTO1_WRITE_FAILED,
     "E002 reading the option byte failed", OutcomeDetail::Status, 22},
    {UpdateOutcome::OptionWriteFailed, "E003", L"E003:" VELTO1_WRITE_FAILED,
     "E003 writing the option byte failed", OutcomeDetail::Status, 23},
    {UpdateOutcome::ReadBackFailed, "E004", L"E004:" VELTO1_WRITE_FAILED,
     "E004 reading the option byte back failed", OutcomeDetail::Status, 24},
    {UpdateOutcome::BitStillSet, "E005", L"E005:" VELTO1_WRITE_FAILED,
     "E005 bit 7 still set after the write", OutcomeDetail::None, 25},
};

#undef VELTO1_WRITE_FAILED
#undef VELTO1_NOT_FOUND

// Checked where it is compiled: a row for every outcome, in order.
constexpr bool OutcomeRowsInOrder() {
    size_t index = 0;
    for (const OutcomeDescription& row : kOutcomeTable) {
        if (static_cast<size_t>(row.outcome) != index++) {
            return false;
        }
    }
    return index == static_cast<size_t>(kLastOutcome) + 1;
}
static_assert(OutcomeRowsInOrder(), "one row per outcome, in the order of UpdateOutcome");

inline const OutcomeDescription& DescribeOutcome(UpdateOutcome outcome) {
    return kOutcomeTable[static_cast<size_t>(outcome)];
}

// A found device whose binding failed with status: busy when another program
// held the device through the bind's wait, else not bound.
inline UpdateOutcome BindFailureOutcome(HRESULT status) {
    return status == DEVCTL_E_DEVICE_BUSY ? UpdateOutcome::DeviceBusy
                                          : UpdateOutcome::DeviceNotBound;
}

// "0x" and two upper-case digits, or eight for a wider value.
std::string HexByte(DWORD value);

// The text with its detail: "E003 writing the option byte failed, status 0x80070005".
std::string OutcomeText(const UpdateResult& result);
