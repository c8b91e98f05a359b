#include "regconsole/eeprom_tools.h"

#include "common/eeprom_layout.h"
#include "common/win32_owners.h"

namespace regconsole {

namespace {

using velto1::eeprom::kBusAddress;
using velto1::eeprom::kSize;

constexpr DWORD kReadChunk = 16;
constexpr DWORD kLargestFileRead = 64 * 1024;
constexpr size_t kListedFailures = 16;

std::string ByteText(DWORD offset) {
    return "EEPROM " + Hex(offset);
}

}  // namespace

HRESULT ReadEeprom(DeviceControl& device, EepromImage* image, ConsoleLog& log) {
    image->assign(kSize, 0);
    for (DWORD offset = 0; offset < kSize; offset += kReadChunk) {
        const HRESULT status = device.ReadI2c(kBusAddress, offset, kReadChunk, &(*image)[offset]);
        if (status != S_OK) {
            log.AddResult("EEPROM read at " + Hex(offset) + " x" + std::to_string(kReadChunk),
                          status);
            return status;
        }
    }
    log.AddResult("EEPROM read 256 bytes", S_OK);
    return S_OK;
}

std::string EepromDumpText(const EepromImage& image) {
    std::string text;
    for (size_t row = 0; row < image.size(); row += 16) {
        if (row) {
            text += "\r\n";
        }
        std::string ascii;
        text += Hex(static_cast<DWORD>(row)) + ":";
        for (size_t i = row; i < row + 16 && i < image.size(); ++i) {
            text += " " + Hex(image[i]);
            ascii += image[i] >= 0x20 && image[i] < 0x7F ? static_cast<char>(image[i]) : '.';
        }
        text += "  " + ascii;
    }
    return text;
}

bool SaveImageFile(const std::wstring& path, const EepromImage& image, DWORD* error) {
    velto1::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file.Valid() ||
        !WriteFile(file.Get(), image.data(), static_cast<DWORD>(image.size()), &written, nullptr) ||
        written != image.size() || !file.Reset()) {
        *error = GetLastError();
        return false;
    }
    return true;
}

bool LoadImageFile(const std::wstring& path, EepromImage* image, DWORD* error) {
    velto1::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    image->assign(kLargestFileRead, 0);
    DWORD read = 0;
    if (!file.Valid() || !ReadFile(file.Get(), image->data(), kLargestFileRead, &read, nullptr)) {
        *error = GetLastError();
        image->clear();
        return false;
    }
    image->resize(read);
    return true;
}

std::vector<DWORD> DifferingOffsets(const EepromImage& device, const EepromImage& file) {
    std::vector<DWORD> offsets;
    for (DWORD offset = 0; offset < device.size() && offset < file.size(); ++offset) {
        if (device[offset] != file[offset]) {
            offsets.push_back(offset);
        }
    }
    return offsets;
}

RestoreResult WriteAndVerify(DeviceControl& device, Platform& platform, const EepromImage& image,
                             const std::vector<DWORD>& offsets, ConsoleLog& log,
                             const std::function<void(HRESULT)>& onFailure) {
    RestoreResult result;
    // A failing status is told at once, while it is the device's last result.
    auto failed = [&](HRESULT status) {
        if (status < 0) {
            onFailure(status);
            result.deviceGone = status == DEVCTL_E_UNPLUGGED;
        }
        return result.deviceGone;
    };
    // The whole restore holds the device: no other program's sequence comes
    // between a write and its read-back.
    const DeviceHold hold(device);
    if (hold.Status() == DEVCTL_E_DEVICE_BUSY) {
        log.AddResult("EEPROM restore: the device is held by another program", hold.Status());
        result.deviceBusy = true;
        return result;
    }
    std::vector<HRESULT> writeStatus;
    for (const DWORD offset : offsets) {
        const BYTE wanted = image[offset];
        const HRESULT status = device.WriteI2c(kBusAddress, offset, 1, &wanted);
        log.AddResult(ByteText(offset) + " write " + Hex(wanted), status);
        writeStatus.push_back(status);
        if (failed(status)) {
            return result;
        }
        // The EEPROM does not answer while it stores the byte.
        platform.Sleep(velto1::eeprom::kWriteCycleMilliseconds);
    }
    for (size_t i = 0; i < offsets.size(); ++i) {
        const DWORD offset = offsets[i];
        const BYTE wanted = image[offset];
        // A driver that answers 0 and delivers nothing leaves this, which fails.
        // The read delivers a 32-bit word; its low byte is the EEPROM's.
        DWORD word = static_cast<BYTE>(~wanted);
        const HRESULT status = device.ReadI2c(kBusAddress, offset, 1, &word);
        const BYTE read = LOBYTE(word);
        log.AddResult(ByteText(offset) + " read back " + Hex(read), status);
        if (failed(status)) {
            return result;
        }
        if (writeStatus[i] != S_OK || status != S_OK || read != wanted) {
            result.failures.push_back({offset, wanted, writeStatus[i], status, read});
        }
    }
    return result;
}

std::string RestoreReport(size_t count, const RestoreResult& result) {
    if (result.deviceBusy) {
        return "EEPROM restore not started: another program held the device longer than " +
               std::to_string(kDeviceWaitMilliseconds / 1000) + " s. Nothing was written.";
    }
    if (result.failures.empty() && !result.deviceGone) {
        return "EEPROM restored: " + std::to_string(count) + " of 256 bytes written and verified.";
    }
    std::string text = "EEPROM restore failed: " + std::to_string(result.failures.size()) + " of " +
                       std::to_string(count) + " written bytes did not verify.";
    for (size_t i = 0; i < result.failures.size() && i < kListedFailures; ++i) {
        const ByteFailure& failure = result.failures[i];
        text += "\nByte " + Hex(failure.offset) + ": wrote " + Hex(failure.wanted);
        if (failure.writeStatus != S_OK) {
            text += " (write status " + StatusText(failure.writeStatus) + ")";
        }
        text += failure.readStatus == S_OK ? ", reads " + Hex(failure.read)
                                           : ", read-back status " + StatusText(failure.readStatus);
    }
    if (result.failures.size() > kListedFailures) {
        text += "\n... (the log lists every byte)";
    }
    return text;
}

}  // namespace regconsole
