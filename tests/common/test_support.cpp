#include "tests/common/test_support.h"

#include <gtest/gtest.h>

HRESULT MockCustomProperty::QueryInterface(REFIID iid, void** object) {
    const bool known = iid == __uuidof(IUnknown) || iid == __uuidof(ICustomProperty);
    *object = known ? static_cast<ICustomProperty*>(this) : nullptr;
    return known ? (AddRef(), S_OK) : E_NOINTERFACE;
}

HRESULT MockCustomProperty::ReservedSlot3() {
    ADD_FAILURE() << "slot 3 of ICustomProperty is never called";
    return E_NOTIMPL;
}

FakeCaptureFilter::FakeCaptureFilter(ICustomProperty* driver) : driver_(driver) {
    if (driver_) {
        driver_->AddRef();
    }
}

FakeCaptureFilter::~FakeCaptureFilter() {
    if (driver_) {
        driver_->Release();
    }
}

HRESULT FakeCaptureFilter::QueryInterface(REFIID iid, void** object) {
    if (iid == __uuidof(ICustomProperty) && driver_) {
        return driver_->QueryInterface(iid, object);
    }
    const bool known = iid == __uuidof(IUnknown) || iid == __uuidof(IBaseFilter);
    *object = known ? static_cast<IBaseFilter*>(this) : nullptr;
    return known ? (AddRef(), S_OK) : E_NOINTERFACE;
}

HRESULT FakeCaptureFilter::Unexpected() {
    ADD_FAILURE() << "unexpected call of an IBaseFilter method";
    return E_NOTIMPL;
}

SimBound::SimBound(const sim::ChipIdentity& identity, std::optional<sim::EepromImage> eeprom)
    : chip(std::make_shared<sim::SimChip>(identity, eeprom)), driver(sim::CreateSimDriver(chip)) {
    auto* filter = new FakeCaptureFilter(driver);
    EXPECT_EQ(dc.BindFilter(filter), driver);
    filter->Release();
    base = driver->CallCount();
    driver->ClearLog();
}

SimBound::~SimBound() {
    dc.Close();
    EXPECT_EQ(driver->RefCount(), 1u) << "the device kept or dropped a driver reference";
    driver->Release();
}
