// The few Windows calls of the application that block a caller (message
// boxes, pauses) or end a dialog. The program uses the real calls; tests put a
// recorder in their place.
#pragma once

#include <windows.h>

class Platform {
  public:
    virtual ~Platform() = default;
    virtual int ShowMessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption,
                                UINT flags) = 0;
    virtual int ShowMessageBoxA(HWND owner, const char* text, const char* caption, UINT flags) = 0;
    virtual BOOL EndDialog(HWND dialog, INT_PTR result) = 0;
    virtual void Sleep(DWORD milliseconds) = 0;
};

// The platform in use: the real Windows calls unless a test installed another.
Platform& AppPlatform();
// Installs a replacement (borrowed, not owned); null restores the real calls.
void SetAppPlatform(Platform* platform);
