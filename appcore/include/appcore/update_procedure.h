// The update procedure itself, without a window: check the product marker in
// the device's EEPROM, clear bit 7 of the option byte and read it back, with a
// pause of 500 ms before each EEPROM step. The update dialog and velto1cli
// both run it and tell its outcome each in their own way.
#pragma once

#include <windows.h>

#include "devctl/device_control.h"

// Each outcome is described (code, message, texts, exit code) by its row in
// appcore/outcome_table.h.
enum class UpdateOutcome {
    Completed,            // bit 7 was cleared and read back clear
    AlreadyUpdated,       // bit 7 was clear before; nothing was written
    UpdateNeeded,         // a check found bit 7 set and stopped there
    DeviceNotOpened,      // W001: no device object
    NotSupportedProduct,  // W002: the marker is not the supported product's
    DeviceNotBound,       // W001: a device found whose filter or driver interface did not bind
    OtherBuildOnly,       // W001 too: no device here, but one registered for the other bitness
    DeviceBusy,           // E001 too: another program held the device too long; nothing sent
    MarkerReadFailed,     // E001
    OptionReadFailed,     // E002
    OptionWriteFailed,    // E003
    ReadBackFailed,       // E004
    BitStillSet,          // E005: bit 7 read back set after the write
};
constexpr UpdateOutcome kLastOutcome = UpdateOutcome::BitStillSet;

enum class UpdateMode {
    Apply,      // every step: the update proper
    CheckOnly,  // the marker and option-byte reads only; writes nothing, GPIO included
};

// What a run learned. Each value is meaningful only when its flag says it was read.
struct UpdateResult {
    UpdateOutcome outcome;
    HRESULT status;  // the failing call's status (E001 to E004, the bind's), else S_OK
    bool markerRead;
    DWORD marker;  // the whole transfer word, as the check compares it
    bool optionRead;
    DWORD optionBefore;
    bool optionReadBack;
    DWORD optionAfter;
};

// Runs the procedure on device (null: W001 at once, no pause). Only status 0
// counts as success. The pauses go through AppPlatform(). The device is held
// from the GPIO step to the read-back (DeviceControl::HoldDevice), so that no
// other program's sequence comes between the write and its read-back; a wait
// longer than the device's wait time ends in DeviceBusy before anything is sent.
UpdateResult RunUpdateProcedure(DeviceControl* device, UpdateMode mode);
