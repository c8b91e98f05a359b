// The program's shell: start-up state, the hidden main window with its two
// menu commands and painted text, the About box, and opening and closing the
// device.
#pragma once

#include <windows.h>

constexpr int kAppStringCapacity = 100;

extern HINSTANCE AppInstance;
extern char AppTitle[kAppStringCapacity];
extern char MainWindowClass[kAppStringCapacity];

ATOM RegisterMainWindowClass(HINSTANCE instance);
BOOL CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Initialises COM and opens the device into AppDevice; on failure AppDevice
// stays null and COM is uninitialised again. Only an initialisation that
// succeeded is undone, here or by CloseAppDevice.
void OpenAppDevice();
// Closes and frees AppDevice, then uninitialises COM; nothing when it is null.
void CloseAppDevice();

// The whole run of the program; returns the exit code, always 0.
int RunVelto1(HINSTANCE instance);
