#include "simdevice/chip/eeprom_file.h"

#include "common/win32_owners.h"

namespace sim {

namespace {

using velto1::UniqueHandle;

HRESULT LastError() {
    return HRESULT_FROM_WIN32(GetLastError());
}

// Holds "<file>.lock" locked, shared or exclusive, while alive.
class FileLock {
  public:
    FileLock(const std::wstring& path, bool exclusive)
        : file_(CreateFileW((path + kEepromLockSuffix).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (!file_.Valid()) {
            const DWORD error = GetLastError();
            // In a folder nobody may write to, nobody swaps the file either:
            // a read needs no lock there.
            status_ = !exclusive && (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
                          ? S_OK
                          : HRESULT_FROM_WIN32(error);
            return;
        }
        OVERLAPPED whole = {};
        if (!LockFileEx(file_.Get(), exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, 1, 0, &whole)) {
            status_ = LastError();
            file_.Reset();
        }
    }
    ~FileLock() {
        if (file_.Valid()) {
            OVERLAPPED whole = {};
            UnlockFileEx(file_.Get(), 0, 1, 0, &whole);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    HRESULT Status() const { return status_; }

  private:
    UniqueHandle file_;
    HRESULT status_ = S_OK;
};

HRESULT ReadImage(const std::wstring& path, EepromImage& image) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return LastError();
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size)) {
        return LastError();
    }
    if (size.QuadPart != static_cast<LONGLONG>(kEepromSize)) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    }
    EepromImage read = {};
    DWORD count = 0;
    if (!ReadFile(file.Get(), read.data(), kEepromSize, &count, nullptr)) {
        return LastError();
    }
    if (count != kEepromSize) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    }
    image = read;
    return S_OK;
}

HRESULT WriteTemporary(const std::wstring& temporary, const EepromImage& image) {
    UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return LastError();
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), image.data(), kEepromSize, &written, nullptr)) {
        return LastError();
    }
    if (written != kEepromSize) {
        return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    }
    if (!FlushFileBuffers(file.Get()) || !file.Reset()) {
        return LastError();
    }
    return S_OK;
}

// Whether the file, when it exists, may be replaced. Windows refuses to write
// a read-only file, or one held open against writers, and to rename over
// either; Wine lets the rename through (and, run by root, the write too), so
// the save asks first and fails as Windows would.
HRESULT CheckWritable(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(error);
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    }
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid() ? S_OK : LastError();
}

// The save itself; the caller holds the lock exclusively.
HRESULT SaveImage(const std::wstring& path, const EepromImage& image,
                  const BeforeSwap& beforeSwap) {
    HRESULT status = CheckWritable(path);
    if (FAILED(status)) {
        return status;
    }
    const std::wstring temporary = path + kEepromTemporarySuffix;
    status = WriteTemporary(temporary, image);
    if (SUCCEEDED(status) && beforeSwap) {
        status = beforeSwap(temporary);
    }
    if (SUCCEEDED(status) && !MoveFileExW(temporary.c_str(), path.c_str(),
                                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        status = LastError();
    }
    if (FAILED(status)) {
        DeleteFileW(temporary.c_str());
    }
    return status;
}

}  // namespace

HRESULT LoadEepromFile(const std::wstring& path, EepromImage& image) {
    const FileLock lock(path, false);
    if (FAILED(lock.Status())) {
        return lock.Status();
    }
    return ReadImage(path, image);
}

HRESULT SaveEepromFile(const std::wstring& path, const EepromImage& image,
                       const BeforeSwap& beforeSwap) {
    const FileLock lock(path, true);
    if (FAILED(lock.Status())) {
        return lock.Status();
    }
    return SaveImage(path, image, beforeSwap);
}

HRESULT OpenEepromFile(const std::wstring& path, EepromImage& image) {
    HRESULT status = LoadEepromFile(path, image);
    if (status != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
        return status;
    }
    // Another process may create it meanwhile: look again under the lock.
    const FileLock lock(path, true);
    if (FAILED(lock.Status())) {
        return lock.Status();
    }
    status = ReadImage(path, image);
    if (status != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
        return status;
    }
    const EepromImage fresh = FreshProductEeprom();
    const HRESULT saved = SaveImage(path, fresh, {});
    if (SUCCEEDED(saved)) {
        image = fresh;
    }
    return saved;
}

HRESULT WriteEepromFileBytes(const std::wstring& path, BYTE offset, const BYTE* data, size_t count,
                             EepromImage& image) {
    const FileLock lock(path, true);
    if (FAILED(lock.Status())) {
        return lock.Status();
    }
    EepromImage stored;
    HRESULT status = ReadImage(path, stored);
    if (FAILED(status)) {
        return status;
    }
    EepromImage changed = stored;
    for (size_t i = 0; i < count; ++i) {
        changed[static_cast<BYTE>(offset + i)] = data[i];
    }
    status = SaveImage(path, changed, {});
    image = SUCCEEDED(status) ? changed : stored;
    return status;
}

}  // namespace sim
