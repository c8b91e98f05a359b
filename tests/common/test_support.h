// Shared test support: access to DeviceControl's fields, a stand-in capture
// filter, a DeviceControl bound to a simulated chip, and its device lock held
// elsewhere.
#pragma once

#include <gmock/gmock.h>
#include <strmif.h>
#include <wrl/client.h>

#include <future>
#include <thread>

#include "common/shared_objects.h"
#include "common/win32_owners.h"
#include "devctl/device_control.h"
#include "devctl/device_lock.h"
#include "common/com_object.h"
#include "simdevice/chip/driver.h"

// Reads and plants DeviceControl's fields for tests that need to see or set
// state that has no operation of its own.
struct DeviceControlTestAccess {
    // Makes dc hold the driver as if bound to it (takes a reference of its own).
    static void Attach(DeviceControl& dc, ICustomProperty* driver) {
        driver->AddRef();
        dc.driver = driver;
    }
    // clang-format off
#define VELTO1_FIELD(Type, Name, field) static Type& Name(DeviceControl& dc) { return dc.field; }
    VELTO1_FIELD(ICustomProperty*, Driver, driver)
    VELTO1_FIELD(DWORD, GpioInputMask, gpioInputMask)
    VELTO1_FIELD(HRESULT, LastResult, lastResult)
    VELTO1_FIELD(DWORD, RemoteToggle, remoteToggle)
    VELTO1_FIELD(DWORD, BoardConfig, boardConfig)
    VELTO1_FIELD(DWORD, RemoteAddress, remoteAddress)
    VELTO1_FIELD(DWORD, ChipId, chipId)
    VELTO1_FIELD(DWORD, RemoteI2cAddress, remoteI2cAddress)
    VELTO1_FIELD(DWORD, NewGeneration, newGeneration)
#undef VELTO1_FIELD
};
// clang-format on

// The moniker every stand-in filter of this process is bound with, whose
// display name names a device of this process's own. Test processes that run
// at once are then kept apart as two devices are; a filter bound alone holds
// every device, and one test's device held elsewhere would hold up another
// process's binds.
inline Microsoft::WRL::ComPtr<IMoniker> TestDeviceMoniker() {
    Microsoft::WRL::ComPtr<IMoniker> moniker;
    const std::wstring item = L"velto1-test-device-" + std::to_wstring(GetCurrentProcessId());
    EXPECT_EQ(CreateItemMoniker(L"!", item.c_str(), &moniker), S_OK);
    return moniker;
}

// A stand-in capture filter that answers QueryInterface for IUnknown,
// IBaseFilter, and ICustomProperty when it holds a driver (it may be null).
// Every other method fails the test: the library has no business calling it.
class FakeCaptureFilter : public velto1::ComObject<IBaseFilter> {
  public:
    explicit FakeCaptureFilter(ICustomProperty* driver) : driver_(driver) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(ICustomProperty) && driver_) {
            return driver_->QueryInterface(iid, object);
        }
        return ComObject::QueryInterface(iid, object);
    }

  private:
    static HRESULT Unexpected() {
        ADD_FAILURE() << "unexpected call of an IBaseFilter method";
        return E_NOTIMPL;
    }
    Microsoft::WRL::ComPtr<ICustomProperty> driver_;

  public:
    // clang-format off
#define VELTO1_UNEXPECTED(method) HRESULT STDMETHODCALLTYPE method override { return Unexpected(); }
    VELTO1_UNEXPECTED(GetClassID(CLSID*))
    VELTO1_UNEXPECTED(Stop())
    VELTO1_UNEXPECTED(Pause())
    VELTO1_UNEXPECTED(Run(REFERENCE_TIME))
    VELTO1_UNEXPECTED(GetState(DWORD, FILTER_STATE*))
    VELTO1_UNEXPECTED(SetSyncSource(IReferenceClock*))
    VELTO1_UNEXPECTED(GetSyncSource(IReferenceClock**))
    VELTO1_UNEXPECTED(EnumPins(IEnumPins**))
    VELTO1_UNEXPECTED(FindPin(LPCWSTR, IPin**))
    VELTO1_UNEXPECTED(QueryFilterInfo(FILTER_INFO*))
    VELTO1_UNEXPECTED(JoinFilterGraph(IFilterGraph*, LPCWSTR))
    VELTO1_UNEXPECTED(QueryVendorInfo(LPWSTR*))
#undef VELTO1_UNEXPECTED
};
// clang-format on

// A DeviceControl bound through a FakeCaptureFilter to a SimDriver over a
// SimChip, as BindFilter leaves it. The driver's log starts empty after
// binding, and a sim::CallOf counts calls from there; UnplugFromCall numbers
// the calls from 1 there too. The destructor closes the object and expects
// the driver to hold the bench's reference alone.
struct SimBound {
    explicit SimBound(const sim::ChipIdentity& identity = {},
                      std::optional<sim::EepromImage> eeprom = sim::FreshProductEeprom())
        : chip(std::make_shared<sim::SimChip>(identity, eeprom)),
          driver(sim::CreateSimDriver(chip)) {
        auto* filter = new FakeCaptureFilter(driver);
        EXPECT_EQ(dc.BindFilter(filter, TestDeviceMoniker().Get()), driver);
        EXPECT_EQ(filter->Release(), 0u) << "the filter stays the caller's";
        base = driver->CallCount();
        driver->ClearLog();
    }
    ~SimBound() {
        dc.Close();
        EXPECT_EQ(driver->Release(), 0u) << "the device kept or dropped a driver reference";
    }
    void UnplugFromCall(unsigned call) { driver->Faults().unplugFromCall = base + call; }

    std::shared_ptr<sim::SimChip> chip;
    sim::SimDriver* driver;
    DeviceControl dc;
    unsigned base;
};

// Opens the mutex of the device of TestDeviceMoniker, which every hold of a
// filter bound with it takes (the caller owns it).
inline HANDLE OpenTestDeviceLock() {
    return velto1::CreateSharedMutex(
        devctl_internal::DeviceLockName(devctl_internal::DisplayNameOf(TestDeviceMoniker().Get())));
}

// Holds the device lock of SimBound's device on a thread of its own, as
// another program would, until it goes.
class LockHeldElsewhere {
  public:
    LockHeldElsewhere() : lock_(OpenTestDeviceLock()) {
        std::future<void> isHeld = held_.get_future();
        thread_ = std::thread([this] {
            WaitForSingleObject(lock_.Get(), INFINITE);
            held_.set_value();
            stop_.get_future().wait();
            ReleaseMutex(lock_.Get());
        });
        isHeld.wait();
    }
    ~LockHeldElsewhere() {
        stop_.set_value();
        thread_.join();
    }

  private:
    velto1::UniqueHandle lock_;
    std::promise<void> held_;
    std::promise<void> stop_;
    std::thread thread_;
};
