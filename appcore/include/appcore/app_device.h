// The program's one device object and its opening and closing, shared by the
// updater and the register console.
#pragma once

#include "devctl/device_control.h"

// Null while no device is open.
extern DeviceControl* AppDevice;

// Initialises COM and opens the device into AppDevice: the library's search
// for the capture device name (the registry's, else the default), then the
// known models, and binding its driver. On failure AppDevice stays null and
// COM is uninitialised again. Only an initialisation that succeeded is
// undone, here or by CloseAppDevice.
void OpenAppDevice();
// Closes and frees AppDevice, then uninitialises COM; nothing when it is null.
void CloseAppDevice();
// The friendly name (ANSI code page) of the device the last opening bound;
// empty while none is open.
const char* AppDeviceName();
// The status of the last opening's bind of a device it found: S_OK when it
// bound or none was found, DEVCTL_E_DEVICE_BUSY when another program held it.
HRESULT AppDeviceBindStatus();

// Recording of the device's driver calls (devctl/call_recorder.h). From
// StartAppRecording on, AppDevice and every later opening record in memory,
// under the program's name; SaveAppRecording writes what was recorded so far
// (ERROR_SUCCESS or the Win32 error) and StopAppRecording ends it. A
// recording never changes what the device does.
void StartAppRecording(const char* program);
bool AppRecording();
DWORD SaveAppRecording(const wchar_t* path);
void StopAppRecording();

// The environment variable that names the file velto1.exe records to.
constexpr wchar_t kRecordVariable[] = L"VELTO1_RECORD";
