// Small owners of Win32 resources, so that every path closes what it opened:
// registry keys, kernel handles, loaded modules, the COM apartment of a scope, VARIANTs, a
// slim reader/writer lock held for a scope and a mutex's ownership.
// Header-only: the library, the simulated device and the tools all use them.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace velto1 {

// An open registry key, closed when the owner goes.
class UniqueRegKey {
  public:
    UniqueRegKey() = default;
    ~UniqueRegKey() { Reset(); }
    UniqueRegKey(const UniqueRegKey&) = delete;
    UniqueRegKey& operator=(const UniqueRegKey&) = delete;

    HKEY Get() const { return key_; }
    // For a Reg*Ex call that opens the key: closes any key held first.
    HKEY* Put() {
        Reset();
        return &key_;
    }
    void Reset() {
        if (key_) {
            RegCloseKey(key_);
            key_ = nullptr;
        }
    }

  private:
    HKEY key_ = nullptr;
};

// A kernel handle (file, process, event, pipe end), closed when the owner
// goes. Both null and INVALID_HANDLE_VALUE mean "none", since Win32 calls
// disagree on which one they return for a failure.
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE* Put() {
        Reset();
        return &handle_;
    }
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    // Closes the handle held; returns FALSE only when CloseHandle failed.
    BOOL Reset(HANDLE handle = nullptr) {
        const BOOL closed = Valid() ? CloseHandle(handle_) : TRUE;
        handle_ = handle;
        return closed;
    }

  private:
    HANDLE handle_ = nullptr;
};

// A loaded module (a DLL, or a program mapped to read its resources), freed
// when the owner goes.
class UniqueModule {
  public:
    explicit UniqueModule(HMODULE module) : module_(module) {}
    ~UniqueModule() {
        if (module_) {
            FreeLibrary(module_);
        }
    }
    UniqueModule(const UniqueModule&) = delete;
    UniqueModule& operator=(const UniqueModule&) = delete;

    HMODULE Get() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }

  private:
    HMODULE module_;
};

// Initialises COM (single-threaded apartment) for one scope and undoes it at
// the end only when this scope's call succeeded (S_OK or S_FALSE), so that a
// thread already in another apartment is left as it was.
class ComInitScope {
  public:
    ComInitScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComInitScope() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ComInitScope(const ComInitScope&) = delete;
    ComInitScope& operator=(const ComInitScope&) = delete;

    HRESULT Result() const { return result_; }
    bool Initialised() const { return SUCCEEDED(result_); }

  private:
    HRESULT result_;
};

// A VARIANT, cleared when the owner goes. It starts as VT_EMPTY, which
// clearing leaves alone, so a failed read leaves nothing to free.
class UniqueVariant {
  public:
    UniqueVariant() { VariantInit(&value_); }
    ~UniqueVariant() { VariantClear(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;

    VARIANT* Get() { return &value_; }
    const VARIANT* Get() const { return &value_; }
    // The string the VARIANT holds, or null when it holds none.
    const wchar_t* String() const {
        return V_VT(&value_) == VT_BSTR && V_BSTR(&value_) ? V_BSTR(&value_) : nullptr;
    }

  private:
    VARIANT value_;
};

// A slim reader/writer lock held exclusively for one scope.
class ExclusiveLockScope {
  public:
    explicit ExclusiveLockScope(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLockScope() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLockScope(const ExclusiveLockScope&) = delete;
    ExclusiveLockScope& operator=(const ExclusiveLockScope&) = delete;

  private:
    SRWLOCK& lock_;
};

// The ownership of a mutex, taken by waiting for it at most the time given and
// released when the owner goes. A mutex its last owner left without releasing
// (WAIT_ABANDONED) is taken too: the new owner proceeds. A null mutex is held
// at once, for an object that has none to take.
class MutexOwnership {
  public:
    MutexOwnership(HANDLE mutex, DWORD waitMilliseconds) {
        if (!mutex) {
            held_ = true;
            return;
        }
        const DWORD wait = WaitForSingleObject(mutex, waitMilliseconds);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
            mutex_ = mutex;
            held_ = true;
            abandoned_ = wait == WAIT_ABANDONED;
        } else if (wait == WAIT_FAILED) {
            error_ = GetLastError();
        }
    }
    ~MutexOwnership() {
        if (mutex_) {
            ReleaseMutex(mutex_);
        }
    }
    MutexOwnership(const MutexOwnership&) = delete;
    MutexOwnership& operator=(const MutexOwnership&) = delete;

    bool Held() const { return held_; }
    // Whether the last owner had ended without releasing it.
    bool Abandoned() const { return abandoned_; }
    // Why the wait failed (not a time-out): the system's error code, else 0.
    DWORD Error() const { return error_; }

  private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
    bool abandoned_ = false;
    DWORD error_ = 0;
};

}  // namespace velto1
