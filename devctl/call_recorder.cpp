// The recorder's header and file, and the recording driver that feeds it.
#include "devctl/call_recorder.h"

#include <algorithm>
#include <new>
#include <set>
#include <vector>

#include "common/call_recording.h"
#include "common/com_object.h"
#include "common/win32_owners.h"
#include "devctl/i2c_word.h"
#include "devctl/recording_driver.h"

#ifndef VELTO1_VERSION
#define VELTO1_VERSION "0"
#endif

namespace {

#if defined(_WIN64)
constexpr char kArchitecture[] = "x64";
#else
constexpr char kArchitecture[] = "x86";
#endif

// The version that Windows tells, not the one its compatibility shims show.
std::string WindowsVersion() {
    struct VersionInfo {
        ULONG size;
        ULONG major;
        ULONG minor;
        ULONG build;
        ULONG platform;
        WCHAR servicePack[128];
    } info = {};
    info.size = sizeof info;
    using RtlGetVersionFunction = LONG(WINAPI*)(VersionInfo*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto getVersion = ntdll ? reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(
                                        GetProcAddress(ntdll, "RtlGetVersion")))
                                  : nullptr;
    if (!getVersion || getVersion(&info) != 0) {
        return "unknown";
    }
    return std::to_string(info.major) + "." + std::to_string(info.minor) + "." +
           std::to_string(info.build);
}

std::string UtcNow() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

// The recording drivers alive in the process, so that one is known by its
// address alone (asking a driver's QueryInterface would trust the driver).
class LiveRecordingDrivers {
  public:
    void Add(const void* driver) { Change(driver, true); }
    void Remove(const void* driver) { Change(driver, false); }
    bool Contains(const void* driver) {
        AcquireSRWLockShared(&lock_);
        const bool found = drivers_.count(driver) != 0;
        ReleaseSRWLockShared(&lock_);
        return found;
    }

  private:
    void Change(const void* driver, bool add) {
        AcquireSRWLockExclusive(&lock_);
        if (add) {
            drivers_.insert(driver);
        } else {
            drivers_.erase(driver);
        }
        ReleaseSRWLockExclusive(&lock_);
    }
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::set<const void*> drivers_;
};

LiveRecordingDrivers& RecordingDrivers() {
    static LiveRecordingDrivers drivers;
    return drivers;
}

}  // namespace

CallRecorder::CallRecorder(const char* program)
    : header_(std::string(velto1::kRecordingMagic) + " " +
              std::to_string(velto1::kRecordingVersion) + "\nprogram " +
              velto1::EscapeRecordingText(program ? program : "") + " " VELTO1_VERSION " " +
              kArchitecture + "\n"),
      device_("device \nfound-by none\n"),
      dateAndWindows_("date " + UtcNow() + "\nwindows " + WindowsVersion() + "\n") {}

void CallRecorder::SetDevice(const char* friendlyName, const char* foundBy) {
    device_ = "device " + velto1::EscapeRecordingText(friendlyName ? friendlyName : "") +
              "\nfound-by " + velto1::EscapeRecordingText(foundBy ? foundBy : "") + "\n";
}

void CallRecorder::Clear() {
    calls_.clear();
    callCount_ = 0;
}

std::string CallRecorder::Text() const {
    return header_ + device_ + dateAndWindows_ + calls_ + "end " + std::to_string(callCount_) +
           "\n";
}

DWORD CallRecorder::Save(const wchar_t* path) const {
    if (!path || !*path) {
        return ERROR_INVALID_NAME;
    }
    const std::string text = Text();
    velto1::UniqueHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return GetLastError();
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        return GetLastError();
    }
    return written == text.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

// Passes every call on and records it. The bytes of a data property are as
// many as the selection this driver last passed on counts (the library never
// moves data after a failed select); every other property moves one word.
class RecordingDriver final : public velto1::ComObject<ICustomProperty> {
  public:
    RecordingDriver(ICustomProperty* driver, CallRecorder* recorder)
        : driver_(driver), recorder_(recorder) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        ticksPerSecond_ = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
        RecordingDrivers().Add(this);
    }
    void SetRecorder(CallRecorder* recorder) { recorder_ = recorder; }

    HRESULT STDMETHODCALLTYPE ReservedSlot3() override { return driver_->ReservedSlot3(); }

    HRESULT STDMETHODCALLTYPE Set(DWORD id, const void* data) override {
        if (!recorder_) {
            return driver_->Set(id, data);
        }
        velto1::RecordedCall call;
        call.slot = velto1::CallSlot::Set;
        call.id = id;
        call.sent = velto1::CallBytesAt(data, DataSize(id));
        const LONGLONG start = Now();
        call.status = driver_->Set(id, data);
        call.micros = MicrosSince(start);
        if (call.status >= 0) {
            selections_.Keep(id, data);
        }
        return Add(call);
    }

    HRESULT STDMETHODCALLTYPE Get(DWORD id, void* data) override {
        if (!recorder_) {
            return driver_->Get(id, data);
        }
        velto1::RecordedCall call;
        call.slot = velto1::CallSlot::Get;
        call.id = id;
        const LONGLONG start = Now();
        call.status = driver_->Get(id, data);
        call.micros = MicrosSince(start);
        call.returned = velto1::CallBytesAt(data, DataSize(id));
        return Add(call);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DWORD first, DWORD second, DWORD third) override {
        if (!recorder_) {
            return driver_->Invoke(first, second, third);
        }
        velto1::RecordedCall call;
        call.slot = velto1::CallSlot::Invoke;
        call.values[0] = first;
        call.values[1] = second;
        call.values[2] = third;
        const LONGLONG start = Now();
        call.status = driver_->Invoke(first, second, third);
        call.micros = MicrosSince(start);
        return Add(call);
    }

    HRESULT STDMETHODCALLTYPE Transfer(DWORD target, DWORD writeLength, const void* writeData,
                                       DWORD readLength, void* readData) override {
        if (!recorder_) {
            return driver_->Transfer(target, writeLength, writeData, readLength, readData);
        }
        velto1::RecordedCall call;
        call.slot = velto1::CallSlot::Transfer;
        call.id = target;
        call.readLength = readLength;
        call.sent = velto1::CallBytesAt(writeData, writeLength);
        const LONGLONG start = Now();
        call.status = driver_->Transfer(target, writeLength, writeData, readLength, readData);
        call.micros = MicrosSince(start);
        call.returned = velto1::CallBytesAt(readData, readLength);
        return Add(call);
    }

    HRESULT STDMETHODCALLTYPE SetDirect(DWORD id, DWORD value) override {
        if (!recorder_) {
            return driver_->SetDirect(id, value);
        }
        velto1::RecordedCall call;
        call.slot = velto1::CallSlot::SetDirect;
        call.id = id;
        call.values[0] = value;
        const LONGLONG start = Now();
        call.status = driver_->SetDirect(id, value);
        call.micros = MicrosSince(start);
        return Add(call);
    }

  private:
    ~RecordingDriver() override {
        RecordingDrivers().Remove(this);
        driver_->Release();
    }

    static LONGLONG Now() {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return now.QuadPart;
    }
    DWORD MicrosSince(LONGLONG start) const {
        const LONGLONG micros = (Now() - start) * 1000000 / ticksPerSecond_;
        return static_cast<DWORD>(
            std::min<LONGLONG>(std::max<LONGLONG>(micros, 0), velto1::kMaxRecordedMicros));
    }

    size_t DataSize(DWORD id) const {
        return selections_.DataBytes(id, FirstI2cReading(selections_.i2cTransfer).count);
    }
    HRESULT Add(const velto1::RecordedCall& call) {
        recorder_->AddLine(velto1::FormatRecordedCall(recorder_->CallCount() + 1, call));
        return call.status;
    }

    ICustomProperty* driver_;
    CallRecorder* recorder_;
    LONGLONG ticksPerSecond_ = 1;
    HeldSelections selections_;
};

ICustomProperty* RecordDriverCalls(ICustomProperty* driver, CallRecorder* recorder) {
    if (!driver) {
        return nullptr;
    }
    if (RecordingDrivers().Contains(driver)) {
        static_cast<RecordingDriver*>(driver)->SetRecorder(recorder);
        return driver;
    }
    if (!recorder) {
        return driver;
    }
    RecordingDriver* wrapped = new (std::nothrow) RecordingDriver(driver, recorder);
    return wrapped ? wrapped : driver;
}
