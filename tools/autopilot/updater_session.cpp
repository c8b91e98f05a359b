#include "tools/autopilot/updater_session.h"

namespace automation {

namespace {

const wchar_t kDialogTitle[] = L"ラピコ(映像版)アップデート";
const wchar_t kDialogClass[] = L"#32770";
const wchar_t kMainWindowClass[] = L"VELTO1";

double SecondsSince(LARGE_INTEGER start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Watches the hidden main window while waiting: it must exist and stay hidden.
void CheckMainWindow(DWORD processId, SessionResult& result) {
    if (HWND main = FindProcessWindow(processId, kMainWindowClass)) {
        result.mainWindowFound = true;
        result.mainWindowEverVisible |= IsWindowVisible(main) != FALSE;
    }
}

// Waits for a message box owned by the dialog, or for the process to end.
HWND WaitForMessageOrEnd(Process& process, HWND dialog, DWORD timeoutMs, SessionResult& result) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
        CheckMainWindow(process.Id(), result);
        if (HWND box = WaitForOwnedWindow(dialog, 0)) {
            return box;
        }
        DWORD exitCode = 0;
        if (process.Wait(5, &exitCode)) {
            result.ended = true;
            result.exitCode = exitCode;
            return nullptr;
        }
    }
    return nullptr;
}

void Shoot(const SessionOptions& options, HWND window, const wchar_t* name) {
    if (options.shotsFolder.empty()) {
        return;
    }
    Sleep(300);  // let the window finish painting
    RECT area;
    GetWindowRect(window, &area);
    InflateRect(&area, 8, 8);
    SaveScreenshot(options.shotsFolder + L"\\" + name, &area);
}

}  // namespace

SessionResult RunUpdaterSession(const SessionOptions& options) {
    SessionResult result;
    Process process;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!process.Start(options.program)) {
        result.failure = "could not start " + Utf8(options.program);
        return result;
    }
    result.started = true;

    HWND dialog = WaitForWindow(process.Id(), kDialogTitle, kDialogClass, options.timeoutMs);
    if (!dialog) {
        result.failure = "the update dialog did not appear";
        process.Kill();
        return result;
    }
    result.secondsToDialog = SecondsSince(start);
    result.dialogFound = true;
    result.dialogTitle = WindowText(dialog);
    result.dialogControls = Controls(dialog);
    CheckMainWindow(process.Id(), result);
    Shoot(options, dialog, L"dialog.bmp");

    LARGE_INTEGER answered;
    QueryPerformanceCounter(&answered);
    switch (options.answer) {
        case Answer::Ok:
            PressButton(dialog, IDOK);
            break;
        case Answer::Cancel:
            PressButton(dialog, IDCANCEL);
            break;
        case Answer::Escape:
            PressKey(dialog, VK_ESCAPE);
            break;
    }

    // Every message box the dialog shows is counted, read and dismissed
    // until the program ends.
    while (HWND box = WaitForMessageOrEnd(process, dialog, options.timeoutMs, result)) {
        if (++result.messageCount == 1) {
            result.secondsToMessage = SecondsSince(answered);
            result.messageText = MessageBoxText(box);
            result.messageCaption = WindowText(box);
            Shoot(options, box, L"message.bmp");
        }
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        // Wait for this box to go before looking for another one.
        const ULONGLONG deadline = GetTickCount64() + options.timeoutMs;
        while (IsWindow(box) && IsWindowVisible(box) && GetTickCount64() < deadline) {
            Sleep(5);
        }
    }
    if (!result.ended) {
        result.failure = "the program did not end";
        process.Kill();
    }
    return result;
}

}  // namespace automation
