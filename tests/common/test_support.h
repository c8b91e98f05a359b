// Shared test support: a GoogleMock ICustomProperty, a stand-in capture
// filter, and access to DeviceControl's fields.
#pragma once

#include <gmock/gmock.h>
#include <strmif.h>

#include "devctl/device_control.h"

// Reads and plants DeviceControl's fields for tests that need to see or set
// state that has no operation of its own.
struct DeviceControlTestAccess {
    static ICustomProperty*& Driver(DeviceControl& dc) { return dc.driver; }
    static IBaseFilter*& AudioCaptureFilter(DeviceControl& dc) { return dc.audioCaptureFilter; }
    static IBaseFilter*& AudioDeviceFilter(DeviceControl& dc) { return dc.audioDeviceFilter; }
    static IBaseFilter*& AudioRendererFilter(DeviceControl& dc) { return dc.audioRendererFilter; }
    static DWORD& GpioInputMask(DeviceControl& dc) { return dc.gpioInputMask; }
    static HRESULT& LastResult(DeviceControl& dc) { return dc.lastResult; }
    static DWORD& RemoteToggle(DeviceControl& dc) { return dc.remoteToggle; }
    static DWORD& BoardConfig(DeviceControl& dc) { return dc.boardConfig; }
    static DWORD& RemoteAddress(DeviceControl& dc) { return dc.remoteAddress; }
    static DWORD& RemoteI2cAddress(DeviceControl& dc) { return dc.remoteI2cAddress; }
    static DWORD& ChipId(DeviceControl& dc) { return dc.chipId; }
    static DWORD& NewGeneration(DeviceControl& dc) { return dc.newGeneration; }

    // Makes dc hold the driver as if bound to it (takes a reference of its own).
    static void Attach(DeviceControl& dc, ICustomProperty* driver) {
        driver->AddRef();
        dc.driver = driver;
    }
};

// A GoogleMock driver. Reference counting is real; the five driver slots are
// mocked. Create with `new`; the test holds the first reference.
class MockCustomProperty : public ICustomProperty {
  public:
    MockCustomProperty() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE ReservedSlot3() override;

    MOCK_METHOD(HRESULT, Set, (DWORD id, const void* data),
                (override, Calltype(STDMETHODCALLTYPE)));
    MOCK_METHOD(HRESULT, Get, (DWORD id, void* data), (override, Calltype(STDMETHODCALLTYPE)));
    MOCK_METHOD(HRESULT, Invoke, (DWORD first, DWORD second, DWORD third),
                (override, Calltype(STDMETHODCALLTYPE)));
    MOCK_METHOD(HRESULT, Transfer,
                (DWORD target, DWORD writeLength, const void* writeData, DWORD readLength,
                 void* readData),
                (override, Calltype(STDMETHODCALLTYPE)));
    MOCK_METHOD(HRESULT, SetDirect, (DWORD id, DWORD value),
                (override, Calltype(STDMETHODCALLTYPE)));

    ULONG RefCount() const { return refs_; }

  protected:
    // Reference counted: only Release destroys it (NiceMock/StrictMock derive from it).
    virtual ~MockCustomProperty() = default;

  private:
    ULONG refs_ = 1;
};

// Matches a pointer argument whose first 32-bit word equals the given value.
MATCHER_P(PointsToWord, expected, "points to the word " + ::testing::PrintToString(expected)) {
    return arg != nullptr && *static_cast<const DWORD*>(arg) == static_cast<DWORD>(expected);
}

// An action that stores a 32-bit word through the data pointer (argument 1) and
// returns the status.
ACTION_P2(DeliverWord, word, status) {
    *static_cast<DWORD*>(arg1) = static_cast<DWORD>(word);
    return status;
}

// A stand-in capture filter that answers QueryInterface for what it was given
// (IUnknown, IBaseFilter, and ICustomProperty when it holds one). Every other
// IBaseFilter method fails the test: the library has no business calling it.
class FakeCaptureFilter : public IBaseFilter {
  public:
    explicit FakeCaptureFilter(ICustomProperty* driver);  // driver may be null

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;
    ULONG RefCount() const { return refs_; }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE*) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock**) override;
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins**) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO*) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override;

  private:
    virtual ~FakeCaptureFilter();
    ULONG refs_ = 1;
    ICustomProperty* driver_;
};
