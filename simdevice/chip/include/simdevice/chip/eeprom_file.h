// The EEPROM backing file: exactly 256 bytes, the cells of one simulated
// device, shared by every process that binds it as programs share one piece
// of hardware.
//
// Beside the file, "<file>.lock" orders the processes with LockFileEx: a read
// holds it shared, a write holds it exclusively from reading the file to
// putting the changed image in place, so each write changes only its own
// bytes and none is lost. The lock file stays (deleting it would let two
// processes lock two different files). A save writes the new image to
// "<file>.tmp" in the same folder, flushes it and renames it over the file,
// so the file holds the old image or the new one, whole, whatever happens to
// the process in between.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "simdevice/chip/eeprom.h"

namespace sim {

// Suffixes of the two files beside the EEPROM file.
constexpr wchar_t kEepromLockSuffix[] = L".lock";
constexpr wchar_t kEepromTemporarySuffix[] = L".tmp";

// Called by a save once the temporary file holds the new image, flushed, and
// before it replaces the EEPROM file; a failure status stops the save there
// with that status. Lets a test see the moment a crash would leave behind.
using BeforeSwap = std::function<HRESULT(const std::wstring& temporaryPath)>;

HRESULT LoadEepromFile(const std::wstring& path, EepromImage& image);
HRESULT SaveEepromFile(const std::wstring& path, const EepromImage& image,
                       const BeforeSwap& beforeSwap = {});
// Loads the file, creating it from the fresh-product image when missing (for
// adding a device: a device's binding only loads it).
HRESULT OpenEepromFile(const std::wstring& path, EepromImage& image);
// Stores count bytes from offset (wrapping after the last cell) into the
// file and leaves its other bytes as they are in the file. image receives the
// file's bytes afterwards: changed on success, as they were when the save
// failed (untouched when the file could not be read).
HRESULT WriteEepromFileBytes(const std::wstring& path, BYTE offset, const BYTE* data, size_t count,
                             EepromImage& image);

// The file as an EEPROM's store (SimEeprom::SetStore).
class EepromFile : public EepromStore {
  public:
    explicit EepromFile(std::wstring path) : path_(std::move(path)) {}
    HRESULT Read(EepromImage& image) override { return LoadEepromFile(path_, image); }
    HRESULT Write(BYTE offset, const BYTE* data, size_t count, EepromImage& image) override {
        return WriteEepromFileBytes(path_, offset, data, count, image);
    }

  private:
    std::wstring path_;
};

}  // namespace sim
