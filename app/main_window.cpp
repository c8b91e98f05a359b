#include "app/main_window.h"

#include <stdlib.h>

#include "appcore/app_device.h"
#include "app/update_dialog.h"
#include "app/resource.h"

HINSTANCE AppInstance = nullptr;
char AppTitle[kAppStringCapacity];
char MainWindowClass[kAppStringCapacity];

ATOM RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELTO1));
    // IDC_ARROW is an integer resource id whichever character width its macro has.
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDC_VELTO1);
    windowClass.lpszClassName = MainWindowClass;
    // There is no small icon resource: this yields null and the system derives one.
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    return RegisterClassExA(&windowClass);
}

BOOL CreateMainWindow(HINSTANCE instance, int showCommand) {
    // Set before creation: the window procedure loads its text from the first message on.
    AppInstance = instance;
    HWND window = CreateWindowExA(0, MainWindowClass, AppTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (!window) {
        return FALSE;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return TRUE;
}

namespace {

LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDM_ABOUT:
            // A wide dialog call, so that the Japanese About text shows on any code page.
            DialogBoxParamW(AppInstance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, AboutDialogProc,
                            0);
            return 0;
        case IDM_EXIT:
            DestroyWindow(window);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT OnPaint(HWND window, const char* text) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    DrawTextA(dc, text, static_cast<int>(_mbstrlen(text)), &client, DT_CENTER);
    EndPaint(window, &paint);
    return 0;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char text[kAppStringCapacity] = "";
    LoadStringA(AppInstance, IDS_HELLO, text, kAppStringCapacity);
    switch (message) {
        case WM_COMMAND:
            return OnCommand(window, message, wParam, lParam);
        case WM_PAINT:
            return OnPaint(window, text);
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

int RunVelto1(HINSTANCE instance) {
    LoadStringA(instance, IDS_APP_TITLE, AppTitle, kAppStringCapacity);
    LoadStringA(instance, IDC_VELTO1, MainWindowClass, kAppStringCapacity);
    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance, SW_HIDE)) {
        return 0;
    }
    LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_VELTO1));  // loaded, never used
    // For support: with VELTO1_RECORD naming a file, the device's driver
    // calls are written there at the end. Nothing else of the run changes.
    wchar_t recording[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(kRecordVariable, recording, MAX_PATH);
    const bool record = length > 0 && length < MAX_PATH;
    if (record) {
        StartAppRecording("velto1");
    }
    OpenAppDevice();
    // The update dialog is the program's one visible window and its only
    // message loop. It runs as a wide dialog so that its Japanese texts reach
    // the screen unconverted whatever the system's ANSI code page.
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_UPDATE), nullptr, UpdateDialogProc, 0);
    CloseAppDevice();
    if (record) {
        // The updater has no console and no log: a failure goes to a debugger only.
        if (SaveAppRecording(recording) != ERROR_SUCCESS) {
            OutputDebugStringW(
                L"velto1: the recording named by VELTO1_RECORD could not be written\n");
        }
        StopAppRecording();
    }
    return 0;
}
