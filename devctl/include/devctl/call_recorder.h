// CallRecorder: a recording of every call that a DeviceControl makes on the
// driver's interface (ICustomProperty): the slot, the property or target,
// the bytes sent and returned, the status and the elapsed microseconds. It is
// line-based text (docs/recordings.md) that the simulated device replays.
//
// Recording is off unless a program hands a recorder to
// DeviceControl::RecordCalls; off, no call goes through it. The recording
// says which program made it, on which Windows and with which device; it holds
// nothing about the user (no user or computer name, no path).
#pragma once

#include <windows.h>

#include <string>

class CallRecorder {
  public:
    // program: the program's name in the header ("velto1cli"). The date and
    // the Windows version are taken now.
    explicit CallRecorder(const char* program);
    CallRecorder(const CallRecorder&) = delete;
    CallRecorder& operator=(const CallRecorder&) = delete;

    // The device the program found (friendly name, ANSI code page) and how:
    // DeviceControl::CaptureMatchWord, or "none" when nothing was found.
    void SetDevice(const char* friendlyName, const char* foundBy);
    DWORD CallCount() const { return callCount_; }
    // Empties the calls; the header stays.
    void Clear();

    // The whole recording: header, calls, end line.
    std::string Text() const;
    // Writes Text() to path, replacing the file. Returns ERROR_SUCCESS or the
    // Win32 error; a failure changes nothing else.
    DWORD Save(const wchar_t* path) const;

  private:
    friend class RecordingDriver;
    void AddLine(const std::string& line) {
        calls_ += line;
        ++callCount_;
    }

    std::string header_;  // the first line and program, the rest after the device
    std::string device_;
    std::string dateAndWindows_;
    std::string calls_;
    DWORD callCount_ = 0;
};
