// The EEPROM (256 bytes at bus address 0xA0) as the console handles it:
// read whole, shown as hex and ASCII, saved to and loaded from a file, and
// restored from a file byte by byte with every written byte read back.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "appcore/platform.h"
#include "devctl/device_control.h"
#include "regconsole/console_log.h"

namespace regconsole {

using EepromImage = std::vector<BYTE>;

// Reads all 256 bytes in transfers of 16; stops at the first status that is
// not 0 and returns it (the image is then incomplete).
HRESULT ReadEeprom(DeviceControl& device, EepromImage* image, ConsoleLog& log);

// 16 lines "00: 00 01 ... 0F  ascii" separated by CR LF.
std::string EepromDumpText(const EepromImage& image);

// Whole-file access; on failure the Win32 error is in *error. A file is read
// whole whatever its size (up to a limit well above 256 bytes), so that the
// caller can refuse one of the wrong size.
bool SaveImageFile(const std::wstring& path, const EepromImage& image, DWORD* error);
bool LoadImageFile(const std::wstring& path, EepromImage* image, DWORD* error);

// Offsets at which the two images differ (both 256 bytes).
std::vector<DWORD> DifferingOffsets(const EepromImage& device, const EepromImage& file);

// A written byte that did not verify.
struct ByteFailure {
    DWORD offset;
    BYTE wanted;
    HRESULT writeStatus;
    HRESULT readStatus;
    BYTE read;  // what the read-back delivered; meaningful when readStatus is 0
};

struct RestoreResult {
    std::vector<ByteFailure> failures;
    bool deviceGone = false;  // stopped at an unplugged device
    bool deviceBusy = false;  // not started: another program held the device too long
};

// Writes image's byte at each offset, waiting the EEPROM's write cycle after
// each write, then reads every written byte back into a buffer primed with a
// value that fails the check. onFailure is told every failing (negative)
// status at once, while it is still the device's last result; after an
// unplugged device nothing more is sent.
RestoreResult WriteAndVerify(DeviceControl& device, Platform& platform, const EepromImage& image,
                             const std::vector<DWORD>& offsets, ConsoleLog& log,
                             const std::function<void(HRESULT)>& onFailure);

// The report of a restore of count bytes for the user.
std::string RestoreReport(size_t count, const RestoreResult& result);

}  // namespace regconsole
