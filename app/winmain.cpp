// velto1.exe: applies the one-time configuration update to the capture device.
#include <windows.h>

#include "app/main_window.h"

// The command line, previous instance and show command are ignored: the main
// window is always hidden and the update dialog is the only visible window.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunVelto1(instance);
}
