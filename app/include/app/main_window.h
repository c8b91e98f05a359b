// The program's shell: start-up state, the hidden main window with its two
// menu commands and painted text, and the About box.
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

// The whole run of the program; returns the exit code, always 0.
int RunVelto1(HINSTANCE instance);
