// simdevice.dll: the in-process COM server of the simulated capture device
// (the filter and its property page), its registration, and the count of its
// live objects for tests that check every reference was released.
#include <windows.h>

#include "common/module_folder.h"
#include "simdevice/chip/driver.h"
#include "simdevice/devices/device_ids.h"
#include "simdevice/filter/filter.h"
#include "simdevice/filter/module.h"
#include "simdevice/filter/server_registration.h"

namespace {

HINSTANCE moduleInstance = nullptr;
LONG moduleObjects = 0;
LONG serverLocks = 0;

using Creator = HRESULT (*)(REFIID, void**);

class ClassFactory : public IClassFactory {
  public:
    explicit ClassFactory(Creator create) : create_(create) {}

    // Static objects: their lifetime is the module's.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer) {
            return CLASS_E_NOAGGREGATION;
        }
        return create_(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&serverLocks);
        } else {
            InterlockedDecrement(&serverLocks);
        }
        return S_OK;
    }

  private:
    Creator create_;
};

ClassFactory filterFactory(sim::CreateSimCaptureFilter);
ClassFactory pageFactory(sim::CreateSimDevicePropertyPage);

}  // namespace

namespace sim {

void ModuleObjectCreated() {
    InterlockedIncrement(&moduleObjects);
}
void ModuleObjectDestroyed() {
    InterlockedDecrement(&moduleObjects);
}
HINSTANCE ModuleInstance() {
    return moduleInstance;
}

}  // namespace sim

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

// Objects of this module alive in the process: filters, pin enumerators,
// property pages and the driver objects behind the filters.
LONG WINAPI SimDeviceLiveObjects() {
    return moduleObjects + sim::SimDriver::LiveObjects();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (clsid == sim::CLSID_SimCaptureFilter) {
        return filterFactory.QueryInterface(iid, object);
    }
    if (clsid == sim::CLSID_SimDevicePropertyPage) {
        return pageFactory.QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return SimDeviceLiveObjects() == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    const std::wstring path = velto1::ModulePath();
    if (path.empty()) {
        return E_UNEXPECTED;
    }
    return sim::RegisterServer(path);
}

STDAPI DllUnregisterServer() {
    return sim::UnregisterServer();
}

}  // extern "C"
