#include "tools/autopilot/ui_automation.h"

#include <algorithm>
#include <cstdio>

namespace automation {

bool Process::Start(const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return false;
    }
    const velto1::UniqueHandle thread(info.hThread);  // not needed: closed here
    process_.Reset(info.hProcess);
    processId_ = info.dwProcessId;
    return true;
}

bool Process::Wait(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_.Valid() || WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    return GetExitCodeProcess(process_.Get(), exitCode) != FALSE;
}

void Process::Kill() {
    if (process_.Valid()) {
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* title;
    const wchar_t* className;
    bool visibleOnly;
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (search->processId && processId != search->processId) {
        return TRUE;
    }
    if (search->visibleOnly && !IsWindowVisible(window)) {
        return TRUE;
    }
    if (search->owner && GetWindow(window, GW_OWNER) != search->owner) {
        return TRUE;
    }
    if (search->title && WindowText(window) != search->title) {
        return TRUE;
    }
    if (search->className && ClassName(window) != search->className) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND Poll(WindowSearch search, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        search.found = nullptr;
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            return search.found;
        }
        Sleep(20);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

}  // namespace

HWND WaitForWindow(DWORD processId, const wchar_t* title, const wchar_t* className,
                   DWORD timeoutMs) {
    return Poll({processId, title, className, true, nullptr, nullptr}, timeoutMs);
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className) {
    return Poll({processId, nullptr, className, false, nullptr, nullptr}, 0);
}

HWND WaitForOwnedWindow(HWND owner, DWORD timeoutMs) {
    return Poll({0, nullptr, nullptr, true, owner, nullptr}, timeoutMs);
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT works across processes (GetWindowText does not read other
    // processes' controls). Texts of any length: a log pane is long.
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 2000, &length);
    std::wstring text(static_cast<size_t>(length) + 1024, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_BLOCK, 2000, &copied);
    text.resize(std::min(static_cast<size_t>(copied), text.size()));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::vector<Control> Controls(HWND dialog) {
    std::vector<Control> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        Control control;
        control.id = static_cast<int>(static_cast<short>(GetDlgCtrlID(child)));
        control.className = ClassName(child);
        control.text = WindowText(child);
        control.style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        GetWindowRect(child, &control.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&control.rect), 2);
        controls.push_back(control);
    }
    return controls;
}

std::wstring MessageBoxText(HWND box) {
    // The message box's text is its static control with id 0xFFFF.
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::wstring();
}

void PressButton(HWND dialog, int buttonId) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

void PressKey(HWND dialog, UINT virtualKey) {
    // The dialog's modal loop sees the key through IsDialogMessage, as if typed.
    HWND target = GetDlgItem(dialog, IDOK);
    if (!target) {
        target = dialog;
    }
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(target, WM_KEYUP, virtualKey, 0xC0000001);
}

bool SetControlText(HWND dialog, int controlId, const std::wstring& text) {
    HWND control = GetDlgItem(dialog, controlId);
    DWORD_PTR result = 0;
    return control &&
           SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_BLOCK, 2000, &result) &&
           result == TRUE;
}

bool SelectComboItem(HWND dialog, int controlId, int index) {
    HWND control = GetDlgItem(dialog, controlId);
    DWORD_PTR result = 0;
    return control &&
           SendMessageTimeoutW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_BLOCK,
                               2000, &result) &&
           static_cast<int>(result) == index;
}

bool SaveScreenshot(const std::wstring& bmpPath, const RECT* area) {
    RECT screenRect = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0,
                       0};
    screenRect.right = screenRect.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    screenRect.bottom = screenRect.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    RECT shot = screenRect;
    if (area && !IntersectRect(&shot, area, &screenRect)) {
        return false;
    }
    const int width = shot.right - shot.left;
    const int height = shot.bottom - shot.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (bitmap) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, shot.left, shot.top, SRCCOPY);
        GdiFlush();
        const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        const DWORD imageSize = stride * static_cast<DWORD>(height);
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;  // "BM"
        header.bfOffBits = sizeof header + sizeof info.bmiHeader;
        header.bfSize = header.bfOffBits + imageSize;
        if (FILE* file = _wfopen(bmpPath.c_str(), L"wb")) {
            saved = fwrite(&header, sizeof header, 1, file) == 1 &&
                    fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
                    fwrite(bits, imageSize, 1, file) == 1;
            saved = (fclose(file) == 0) && saved;
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

}  // namespace automation
