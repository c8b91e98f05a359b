// The register console's dialog: the device, registers, I2C, GPIO, the
// EEPROM and the log, all on AppDevice.
#pragma once

#include <windows.h>

#include <string>

#include "regconsole/console_log.h"

namespace regconsole {

// What the dialog keeps between messages; it lives from WM_INITDIALOG to
// WM_DESTROY and is reached through the dialog's DWLP_USER.
struct ConsoleState {
    ConsoleLog log;
    HFONT viewFont = nullptr;
};

// Helpers shared by the dialog's handlers.
ConsoleState& StateOf(HWND dialog);
// Shows the log, newest line in view.
void ShowLog(HWND dialog);
// True when status failed: a negative status goes to ReportFatalError (which
// ends the dialog for an unplugged device); another status than 0 is shown
// as a warning naming the operation. False for 0.
bool ReportStatus(HWND dialog, const char* operation, HRESULT status);
void ShowMessage(HWND dialog, const std::string& text, UINT icon = MB_ICONWARNING);

// The EEPROM commands (eeprom_commands.cpp).
void OnEepromRead(HWND dialog);
void OnEepromBrowse(HWND dialog);
void OnEepromSave(HWND dialog);
void OnEepromRestore(HWND dialog);
void OnCopyLog(HWND dialog);

}  // namespace regconsole

INT_PTR CALLBACK ConsoleDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The whole run of the program; returns the exit code, always 0.
int RunRegisterConsole(HINSTANCE instance);
