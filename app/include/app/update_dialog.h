// The update dialog (dialog resource 102) and the update it runs: check the
// product marker in the device's EEPROM, clear bit 7 of the option byte, read
// it back, and tell the outcome in exactly one message box.
#pragma once

#include <windows.h>

// Dialog procedure of dialog 102: OK runs RunUpdate, Cancel (or Escape) ends
// the dialog with 2.
INT_PTR CALLBACK UpdateDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the update procedure (appcore/update_procedure.h) on AppDevice, shows one
// message owned by the dialog and ends the dialog with 1.
void RunUpdate(HWND dialog);
