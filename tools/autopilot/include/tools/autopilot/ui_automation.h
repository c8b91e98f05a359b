// A small Win32 automation driver: starts a program, finds its windows by
// title or owner, reads their texts, presses buttons and keys, waits for the
// program to end, and takes screenshots. Used by the end-to-end tests and by
// the demo run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/win32_owners.h"

namespace automation {

struct Control {
    int id;
    std::wstring className;
    std::wstring text;
    DWORD style;
    RECT rect;  // in dialog client coordinates
};

class Process {
  public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts the program (a Windows path) with the given command line.
    bool Start(const std::wstring& program, const std::wstring& arguments = L"");
    // Waits for the program to end; false on time-out.
    bool Wait(DWORD timeoutMs, DWORD* exitCode);
    void Kill();
    DWORD Id() const { return processId_; }

  private:
    velto1::UniqueHandle process_;
    DWORD processId_ = 0;
};

// The first visible top-level window of the process with this exact title
// (any title when title is null) and, when given, this class.
HWND WaitForWindow(DWORD processId, const wchar_t* title, const wchar_t* className,
                   DWORD timeoutMs);
// A top-level window of the process, visible or not, with this class.
HWND FindProcessWindow(DWORD processId, const wchar_t* className);
// A visible window owned by owner (a message box owned by a dialog).
HWND WaitForOwnedWindow(HWND owner, DWORD timeoutMs);

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// The direct child controls of a dialog, in Z order (which is template order).
std::vector<Control> Controls(HWND dialog);
// The text of a message box (its static text control).
std::wstring MessageBoxText(HWND box);

// Presses a button of a dialog as a click would (posted, so a dialog
// procedure that blocks does not block the caller).
void PressButton(HWND dialog, int buttonId);
// Sends a key press to the focused control of the dialog's thread.
void PressKey(HWND dialog, UINT virtualKey);
// Puts text into a dialog's control (an edit field) as if typed; false when
// the control is missing or did not answer.
bool SetControlText(HWND dialog, int controlId, const std::wstring& text);
// Selects the item at index in a dialog's drop-down list.
bool SelectComboItem(HWND dialog, int controlId, int index);

// Saves the screen as a 24-bit BMP file: the part under area (a window's
// outer rectangle, say) or, when area is null, the whole screen.
bool SaveScreenshot(const std::wstring& bmpPath, const RECT* area = nullptr);

std::string Utf8(const std::wstring& text);

}  // namespace automation
