// The simulated capture device as a DirectShow filter: a minimal IBaseFilter
// without pins (it never streams), ICustomProperty over a simulated chip
// (through SimDriver, with its fault injection), IPersistPropertyBag to learn
// which registered device it is, and ISpecifyPropertyPages with one page.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <string>

#include "devctl/custom_property.h"
#include "simdevice/chip/driver.h"
#include "simdevice/devices/device_settings.h"
#include "simdevice/devices/device_ids.h"

namespace sim {

class SimCaptureFilter : public IBaseFilter,
                         public ICustomProperty,
                         public IPersistPropertyBag,
                         public ISpecifyPropertyPages,
                         public ISimDeviceInfo {
  public:
    SimCaptureFilter();
    SimCaptureFilter(const SimCaptureFilter&) = delete;
    SimCaptureFilter& operator=(const SimCaptureFilter&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IPersist, IMediaFilter, IBaseFilter
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;

    // ICustomProperty
    HRESULT STDMETHODCALLTYPE ReservedSlot3() override;
    HRESULT STDMETHODCALLTYPE Set(DWORD id, const void* data) override;
    HRESULT STDMETHODCALLTYPE Get(DWORD id, void* data) override;
    HRESULT STDMETHODCALLTYPE Invoke(DWORD first, DWORD second, DWORD third) override;
    HRESULT STDMETHODCALLTYPE Transfer(DWORD target, DWORD writeLength, const void* writeData,
                                       DWORD readLength, void* readData) override;
    HRESULT STDMETHODCALLTYPE SetDirect(DWORD id, DWORD value) override;

    // IPersistPropertyBag
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty,
                                   BOOL saveAllProperties) override;

    // ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

    // ISimDeviceInfo
    HRESULT STDMETHODCALLTYPE GetSnapshot(SimDeviceSnapshot* snapshot) override;

  private:
    virtual ~SimCaptureFilter();
    HRESULT Configure(const DeviceSettings& settings, const std::wstring& friendlyName);
    SimDriver* Driver();
    // What answers the driver slots: the replay when the device has one, else
    // the simulated chip's driver.
    ICustomProperty* Answering();

    LONG refs_ = 1;
    DeviceSettings settings_;
    std::wstring friendlyName_;
    Microsoft::WRL::ComPtr<SimDriver> driver_;
    Microsoft::WRL::ComPtr<ICustomProperty> replay_;
    FILTER_STATE state_ = State_Stopped;
    Microsoft::WRL::ComPtr<IReferenceClock> clock_;
    IFilterGraph* graph_ = nullptr;  // not owned: the graph owns the filter
    std::wstring graphName_;
};

HRESULT CreateSimCaptureFilter(REFIID iid, void** object);
HRESULT CreateSimDevicePropertyPage(REFIID iid, void** object);

}  // namespace sim
