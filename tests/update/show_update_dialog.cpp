// Shows the update dialog (dialog 102) with no device open, for a look at the
// template on screen. OK shows W001, Cancel closes.
#include <windows.h>

#include "app/update_dialog.h"
#include "app/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return static_cast<int>(
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_UPDATE), nullptr, UpdateDialogProc, 0));
}
