#include "tests/common/test_support.h"

#include <gtest/gtest.h>

HRESULT MockCustomProperty::QueryInterface(REFIID iid, void** object) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(ICustomProperty)) {
        *object = static_cast<ICustomProperty*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG MockCustomProperty::Release() {
    const ULONG refs = --refs_;
    if (refs == 0) {
        delete this;
    }
    return refs;
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
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IBaseFilter)) {
        *object = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    if (iid == __uuidof(ICustomProperty) && driver_) {
        return driver_->QueryInterface(iid, object);
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG FakeCaptureFilter::Release() {
    const ULONG refs = --refs_;
    if (refs == 0) {
        delete this;
    }
    return refs;
}

namespace {
HRESULT Unexpected(const char* method) {
    ADD_FAILURE() << "unexpected call of IBaseFilter::" << method;
    return E_NOTIMPL;
}
}  // namespace

HRESULT FakeCaptureFilter::GetClassID(CLSID*) {
    return Unexpected("GetClassID");
}
HRESULT FakeCaptureFilter::Stop() {
    return Unexpected("Stop");
}
HRESULT FakeCaptureFilter::Pause() {
    return Unexpected("Pause");
}
HRESULT FakeCaptureFilter::Run(REFERENCE_TIME) {
    return Unexpected("Run");
}
HRESULT FakeCaptureFilter::GetState(DWORD, FILTER_STATE*) {
    return Unexpected("GetState");
}
HRESULT FakeCaptureFilter::SetSyncSource(IReferenceClock*) {
    return Unexpected("SetSyncSource");
}
HRESULT FakeCaptureFilter::GetSyncSource(IReferenceClock**) {
    return Unexpected("GetSyncSource");
}
HRESULT FakeCaptureFilter::EnumPins(IEnumPins**) {
    return Unexpected("EnumPins");
}
HRESULT FakeCaptureFilter::FindPin(LPCWSTR, IPin**) {
    return Unexpected("FindPin");
}
HRESULT FakeCaptureFilter::QueryFilterInfo(FILTER_INFO*) {
    return Unexpected("QueryFilterInfo");
}
HRESULT FakeCaptureFilter::JoinFilterGraph(IFilterGraph*, LPCWSTR) {
    return Unexpected("JoinFilterGraph");
}
HRESULT FakeCaptureFilter::QueryVendorInfo(LPWSTR*) {
    return Unexpected("QueryVendorInfo");
}
