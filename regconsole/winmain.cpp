// regconsole.exe: the register console, "KX5170 Custom Property Demo".
#include <windows.h>

#include "regconsole/console_dialog.h"

// The command line, previous instance and show command are ignored: the
// console dialog is the program's one window.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunRegisterConsole(instance);
}
