// The few Win32 declarations the input-reading code uses, for its native
// (Linux, clang) fuzzing build: types and constants as Windows has them, files
// over POSIX, a process-local mutex, text conversion between UTF-8 and wchar_t
// (32-bit here), and no waiting (Sleep returns at once so a slow recording
// fuzzes fast). The other system header names include this one.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#define WINAPI
#define STDMETHODCALLTYPE
#define __stdcall
#define MIDL_INTERFACE(x) struct __declspec(uuid(x))

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD, ULONG, UINT;
typedef int32_t LONG, HRESULT, BOOL;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef wchar_t WCHAR;
typedef void* HANDLE;
typedef struct HKEY__* HKEY;
typedef struct HINSTANCE__* HMODULE;
typedef struct HWND__* HWND;
typedef void* PSECURITY_DESCRIPTOR;
typedef void* HLOCAL;
typedef long long (*FARPROC)();
typedef union {
    LONGLONG QuadPart;
} LARGE_INTEGER;
typedef struct _GUID {
    DWORD Data1;
    WORD Data2, Data3;
    BYTE Data4[8];
} GUID, IID, CLSID;
typedef const IID& REFIID;
inline bool operator==(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) {
    return !(a == b);
}
typedef struct {
    void* Ptr;
} SRWLOCK;
typedef struct {
    DWORD nLength;
    void* lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES;
typedef struct {
    uintptr_t Internal, InternalHigh;
    DWORD Offset, OffsetHigh;
    HANDLE hEvent;
} OVERLAPPED;
typedef struct {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_FAIL ((HRESULT)0x80004005)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define HRESULT_FROM_WIN32(x) \
    ((HRESULT)(x) <= 0 ? (HRESULT)(x) : (HRESULT)(((x)&0x0000FFFF) | (7 << 16) | 0x80000000))
enum : DWORD {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_INVALID_DATA = 13,
    ERROR_WRITE_PROTECT = 19,
    ERROR_BAD_COMMAND = 22,
    ERROR_NOT_READY = 21,
    ERROR_WRITE_FAULT = 29,
    ERROR_READ_FAULT = 30,
    ERROR_NOT_SUPPORTED = 50,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_INVALID_NAME = 123,
    ERROR_TIMEOUT = 1460,
    ERROR_NOT_FOUND = 1168,
    ERROR_SET_NOT_FOUND = 1170,
    ERROR_DEVICE_NOT_CONNECTED = 1167,
};
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
enum : DWORD {
    GENERIC_READ = 0x80000000u,
    GENERIC_WRITE = 0x40000000u,
    FILE_SHARE_READ = 1,
    FILE_SHARE_WRITE = 2,
    FILE_SHARE_DELETE = 4,
    CREATE_ALWAYS = 2,
    OPEN_EXISTING = 3,
    OPEN_ALWAYS = 4,
    FILE_ATTRIBUTE_READONLY = 1,
    FILE_ATTRIBUTE_NORMAL = 0x80,
    FILE_TYPE_DISK = 1,
    FILE_TYPE_CHAR = 2,
    LOCKFILE_EXCLUSIVE_LOCK = 2,
    MOVEFILE_REPLACE_EXISTING = 1,
    MOVEFILE_WRITE_THROUGH = 8,
    PAGE_READWRITE = 4,
    FILE_MAP_ALL_ACCESS = 0xF001F,
    SYNCHRONIZE = 0x100000,
    MUTEX_MODIFY_STATE = 1,
    WAIT_OBJECT_0 = 0,
    WAIT_ABANDONED = 0x80,
    WAIT_ABANDONED_0 = 0x80,
    FILE_BEGIN = 0,
    WAIT_FAILED = 0xFFFFFFFFu,
    CP_ACP = 0,
    CP_UTF8 = 65001,
    COINIT_APARTMENTTHREADED = 2,
    WC_ERR_INVALID_CHARS = 0x80,
    WC_NO_BEST_FIT_CHARS = 0x400,
    MAXDWORD = 0xFFFFFFFFu,
    STD_OUTPUT_HANDLE = (DWORD)-11,
    STD_ERROR_HANDLE = (DWORD)-12,
};
#define SRWLOCK_INIT \
    { nullptr }
#define LOBYTE(w) ((BYTE)((w)&0xFF))
#define LOWORD(l) ((WORD)((l)&0xFFFF))
#define HIWORD(l) ((WORD)(((l) >> 16) & 0xFFFF))

namespace win32_standin {
inline DWORD& LastError() {
    static thread_local DWORD error = 0;
    return error;
}
// A handle: an open file, or a mutex of this process (held count).
struct Object {
    int fd = -1;
    DWORD holds = 0;
};
inline BOOL Fail(DWORD error) {
    LastError() = error;
    return FALSE;
}
inline std::string Narrow(const wchar_t* text) {
    std::string bytes;
    for (; *text; ++text) {
        const auto c = static_cast<uint32_t>(*text);
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c < 0x800) {
            bytes += static_cast<char>(0xC0 | c >> 6);
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes += static_cast<char>(0xE0 | c >> 12);
            bytes += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | c >> 18);
            bytes += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            bytes += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return bytes;
}
// The code points of UTF-8 bytes; a byte that starts no valid sequence is U+FFFD.
inline std::wstring Widen(const char* bytes, size_t size) {
    std::wstring text;
    for (size_t i = 0; i < size;) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const size_t length = lead < 0x80                   ? 1
                              : lead >= 0xC2 && lead < 0xE0 ? 2
                              : lead >= 0xE0 && lead < 0xF0 ? 3
                              : lead >= 0xF0 && lead < 0xF5 ? 4
                                                            : 0;
        uint32_t c = length == 1   ? lead
                     : length == 2 ? lead & 0x1F
                     : length == 3 ? lead & 0x0F
                                   : lead & 0x07;
        size_t k = 1;
        for (; length && k < length && i + k < size && (bytes[i + k] & 0xC0) == 0x80; ++k) {
            c = c << 6 | (bytes[i + k] & 0x3F);
        }
        const bool whole = length && k == length &&
                           !(length == 3 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) &&
                           !(length == 4 && (c < 0x10000 || c > 0x10FFFF));
        text += whole ? static_cast<wchar_t>(c) : L'\xFFFD';
        i += whole ? length : (length ? k : 1);
    }
    return text;
}
}  // namespace win32_standin

inline DWORD GetLastError() {
    return win32_standin::LastError();
}
inline void SetLastError(DWORD error) {
    win32_standin::LastError() = error;
}

inline HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD, SECURITY_ATTRIBUTES*,
                          DWORD disposition, DWORD, HANDLE) {
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    flags |= disposition == CREATE_ALWAYS ? O_CREAT | O_TRUNC
             : disposition == OPEN_ALWAYS ? O_CREAT
                                          : 0;
    const int fd = open(win32_standin::Narrow(path).c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return new win32_standin::Object{fd};
}
inline BOOL CloseHandle(HANDLE handle) {
    auto* object = static_cast<win32_standin::Object*>(handle);
    if (object->fd >= 0) {
        close(object->fd);
    }
    delete object;
    return TRUE;
}
inline BOOL ReadFile(HANDLE handle, void* data, DWORD size, DWORD* done, OVERLAPPED*) {
    const ssize_t count = read(static_cast<win32_standin::Object*>(handle)->fd, data, size);
    *done = count > 0 ? static_cast<DWORD>(count) : 0;
    return count >= 0 ? TRUE : win32_standin::Fail(ERROR_READ_FAULT);
}
inline BOOL WriteFile(HANDLE handle, const void* data, DWORD size, DWORD* done, OVERLAPPED*) {
    const ssize_t count = write(static_cast<win32_standin::Object*>(handle)->fd, data, size);
    *done = count > 0 ? static_cast<DWORD>(count) : 0;
    return count >= 0 ? TRUE : win32_standin::Fail(ERROR_WRITE_FAULT);
}
inline BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) {
    struct stat status;
    if (fstat(static_cast<win32_standin::Object*>(handle)->fd, &status) != 0) {
        return win32_standin::Fail(ERROR_INVALID_HANDLE);
    }
    size->QuadPart = status.st_size;
    return TRUE;
}
inline BOOL FlushFileBuffers(HANDLE) {
    return TRUE;
}
inline BOOL LockFileEx(HANDLE, DWORD, DWORD, DWORD, DWORD, OVERLAPPED*) {
    return TRUE;
}
inline BOOL UnlockFileEx(HANDLE, DWORD, DWORD, DWORD, OVERLAPPED*) {
    return TRUE;
}
inline DWORD GetFileAttributesW(const wchar_t* path) {
    struct stat status;
    if (stat(win32_standin::Narrow(path).c_str(), &status) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return FILE_ATTRIBUTE_NORMAL;
}
inline BOOL DeleteFileW(const wchar_t* path) {
    return unlink(win32_standin::Narrow(path).c_str()) == 0
               ? TRUE
               : win32_standin::Fail(ERROR_FILE_NOT_FOUND);
}
inline BOOL MoveFileExW(const wchar_t* from, const wchar_t* to, DWORD) {
    return rename(win32_standin::Narrow(from).c_str(), win32_standin::Narrow(to).c_str()) == 0
               ? TRUE
               : win32_standin::Fail(ERROR_ACCESS_DENIED);
}
inline DWORD GetFullPathNameW(const wchar_t* path, DWORD size, wchar_t* full, wchar_t**) {
    const size_t length = std::wcslen(path);
    if (size <= length) {
        return static_cast<DWORD>(length + 1);
    }
    std::wmemcpy(full, path, length + 1);
    return static_cast<DWORD>(length);
}
inline HANDLE GetStdHandle(DWORD) {
    return INVALID_HANDLE_VALUE;
}
inline DWORD GetFileType(HANDLE) {
    return FILE_TYPE_DISK;
}
inline BOOL GetConsoleMode(HANDLE, DWORD*) {
    return FALSE;
}
inline BOOL WriteConsoleW(HANDLE, const void*, DWORD, DWORD*, void*) {
    return FALSE;
}

inline HANDLE CreateMutexW(SECURITY_ATTRIBUTES*, BOOL, const wchar_t*) {
    return new win32_standin::Object;
}
inline HANDLE OpenMutexW(DWORD, BOOL, const wchar_t*) {
    return new win32_standin::Object;
}
inline DWORD WaitForSingleObject(HANDLE handle, DWORD) {
    ++static_cast<win32_standin::Object*>(handle)->holds;
    return WAIT_OBJECT_0;
}
// One process, one thread: every wait is met at once.
inline DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL all, DWORD) {
    for (DWORD i = 0; i < (all ? count : 1); ++i) {
        WaitForSingleObject(handles[i], 0);
    }
    return WAIT_OBJECT_0;
}
inline ULONGLONG GetTickCount64() {
    return 0;
}
inline BOOL ReleaseMutex(HANDLE handle) {
    auto* object = static_cast<win32_standin::Object*>(handle);
    return object->holds > 0 ? (--object->holds, TRUE) : win32_standin::Fail(ERROR_ACCESS_DENIED);
}
inline HANDLE CreateFileMappingW(HANDLE, SECURITY_ATTRIBUTES*, DWORD, DWORD, DWORD,
                                 const wchar_t*) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
}
inline void* MapViewOfFile(HANDLE, DWORD, DWORD, DWORD, size_t) {
    return nullptr;
}
inline BOOL UnmapViewOfFile(const void*) {
    return TRUE;
}
inline BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER to, LARGE_INTEGER*, DWORD) {
    const int fd = static_cast<win32_standin::Object*>(handle)->fd;
    return lseek(fd, to.QuadPart, SEEK_SET) >= 0 ? TRUE
                                                 : win32_standin::Fail(ERROR_INVALID_PARAMETER);
}
inline BOOL SetEndOfFile(HANDLE handle) {
    const int fd = static_cast<win32_standin::Object*>(handle)->fd;
    const off_t at = lseek(fd, 0, SEEK_CUR);
    return at >= 0 && ftruncate(fd, at) == 0 ? TRUE : win32_standin::Fail(ERROR_WRITE_FAULT);
}
inline DWORD GetTempPathW(DWORD size, wchar_t* path) {
    const wchar_t folder[] = L"/tmp/";
    if (size < sizeof folder / sizeof folder[0]) {
        return sizeof folder / sizeof folder[0];
    }
    std::wcscpy(path, folder);
    return sizeof folder / sizeof folder[0] - 1;
}
inline void* CoTaskMemAlloc(size_t bytes) {
    return std::malloc(bytes);
}
inline void CoTaskMemFree(void* memory) {
    std::free(memory);
}
inline HLOCAL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}
inline void AcquireSRWLockExclusive(SRWLOCK*) {}
inline void ReleaseSRWLockExclusive(SRWLOCK*) {}
inline void AcquireSRWLockShared(SRWLOCK*) {}
inline void ReleaseSRWLockShared(SRWLOCK*) {}
inline LONG InterlockedIncrement(volatile LONG* value) {
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(volatile LONG* value) {
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline void MemoryBarrier() {
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
}
inline void Sleep(DWORD) {}
inline void GetSystemTime(SYSTEMTIME* now) {
    *now = SYSTEMTIME{2026, 12, 3, 9, 12, 0, 0, 0};
}
inline BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    static LONGLONG ticks = 0;
    count->QuadPart = ticks += 10;
    return TRUE;
}
inline BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    frequency->QuadPart = 1000000;
    return TRUE;
}
inline HMODULE GetModuleHandleW(const wchar_t*) {
    return nullptr;
}
inline BOOL FreeLibrary(HMODULE) {
    return TRUE;
}
inline FARPROC GetProcAddress(HMODULE, const char*) {
    return nullptr;
}
inline LONG RegCloseKey(HKEY) {
    return 0;
}
inline UINT GetACP() {
    return CP_UTF8;
}
inline HRESULT CoInitializeEx(void*, DWORD) {
    return S_OK;
}
inline void CoUninitialize() {}

inline int MultiByteToWideChar(UINT, DWORD, const char* bytes, int size, wchar_t* text,
                               int capacity) {
    const std::wstring wide = win32_standin::Widen(bytes, size < 0 ? std::strlen(bytes) + 1 : size);
    if (capacity == 0) {
        return static_cast<int>(wide.size());
    }
    if (static_cast<size_t>(capacity) < wide.size()) {
        return 0;
    }
    std::wmemcpy(text, wide.data(), wide.size());
    return static_cast<int>(wide.size());
}
inline int WideCharToMultiByte(UINT, DWORD, const wchar_t* text, int size, char* bytes,
                               int capacity, const char*, BOOL*) {
    const std::wstring wide = size < 0 ? std::wstring(text) + L'\0' : std::wstring(text, size);
    std::string narrow;
    for (const wchar_t c : wide) {
        narrow += c == 0 ? std::string(1, '\0') : win32_standin::Narrow(std::wstring(1, c).c_str());
    }
    if (capacity == 0) {
        return static_cast<int>(narrow.size());
    }
    if (static_cast<size_t>(capacity) < narrow.size()) {
        return 0;
    }
    std::memcpy(bytes, narrow.data(), narrow.size());
    return static_cast<int>(narrow.size());
}

// Windows declares IUnknown with the rest.
#include <unknwn.h>
