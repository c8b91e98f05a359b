// One run of velto1.exe driven as a user would: wait for the update dialog,
// answer it, read the outcome message, dismiss it, and wait for the end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tools/autopilot/ui_automation.h"

namespace automation {

enum class Answer { Ok, Cancel, Escape };

struct SessionOptions {
    std::wstring program;  // velto1.exe, a Windows path
    Answer answer = Answer::Ok;
    std::wstring shotsFolder;  // when set: dialog.bmp and message.bmp are saved there
    DWORD timeoutMs = 20000;
};

struct SessionResult {
    bool started = false;
    bool dialogFound = false;
    std::wstring dialogTitle;
    std::vector<Control> dialogControls;
    bool mainWindowFound = false;  // the hidden main window existed while the dialog ran
    bool mainWindowEverVisible = false;
    int messageCount = 0;  // message boxes the dialog owned
    std::wstring messageText;
    std::wstring messageCaption;
    bool ended = false;
    DWORD exitCode = 0;
    double secondsToDialog = 0;   // from process start to the dialog on screen
    double secondsToMessage = 0;  // from the answer to the message on screen
    std::string failure;          // what went wrong, empty when the run went through
};

SessionResult RunUpdaterSession(const SessionOptions& options);

}  // namespace automation
