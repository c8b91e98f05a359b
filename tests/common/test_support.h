// Shared test support: access to DeviceControl's fields, a GoogleMock
// ICustomProperty, a stand-in capture filter, and a DeviceControl bound to a
// simulated chip.
#pragma once

#include <gmock/gmock.h>
#include <strmif.h>

#include <memory>
#include <optional>

#include "devctl/device_control.h"
#include "simdevice/sim_driver.h"

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

// Real reference counting for the COM stand-ins: only Release destroys.
template <typename Interface>
class RefCounted : public Interface {
  public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG refs = --refs_;
        if (refs == 0) {
            delete this;
        }
        return refs;
    }
    ULONG RefCount() const { return refs_; }

  protected:
    virtual ~RefCounted() = default;

  private:
    ULONG refs_ = 1;
};

// A GoogleMock driver with the five driver slots mocked. Create with `new`;
// the test holds the first reference.
class MockCustomProperty : public RefCounted<ICustomProperty> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
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
};

// Matches a pointer argument whose first 32-bit word equals the given value.
MATCHER_P(PointsToWord, expected, "points to the word " + ::testing::PrintToString(expected)) {
    return arg != nullptr && *static_cast<const DWORD*>(arg) == static_cast<DWORD>(expected);
}

// Stores a 32-bit word through the data pointer (argument 1), returns the status.
ACTION_P2(DeliverWord, word, status) {
    *static_cast<DWORD*>(arg1) = static_cast<DWORD>(word);
    return status;
}

// A stand-in capture filter that answers QueryInterface for IUnknown,
// IBaseFilter, and ICustomProperty when it holds a driver (it may be null).
// Every other method fails the test: the library has no business calling it.
class FakeCaptureFilter : public RefCounted<IBaseFilter> {
  public:
    explicit FakeCaptureFilter(ICustomProperty* driver);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE Stop() override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE Pause() override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock**) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins**) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override {
        return Unexpected();
    }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return Unexpected(); }

  private:
    ~FakeCaptureFilter() override;
    static HRESULT Unexpected();
    ICustomProperty* driver_;
};

// A DeviceControl bound through a FakeCaptureFilter to a SimDriver over a
// SimChip, as BindFilter leaves it. The driver's log starts empty after
// binding, and FailCall numbers the calls from there.
struct SimBound {
    explicit SimBound(const sim::ChipIdentity& identity = {},
                      std::optional<sim::EepromImage> eeprom = sim::FreshProductEeprom());
    ~SimBound();
    void FailCall(unsigned call, HRESULT status) { driver->Faults().atCall[base + call] = status; }
    void UnplugFromCall(unsigned call) { driver->Faults().unplugFromCall = base + call; }

    std::shared_ptr<sim::SimChip> chip;
    sim::SimDriver* driver;
    DeviceControl dc;
    unsigned base;
};
