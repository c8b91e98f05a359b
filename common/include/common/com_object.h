// IUnknown for this project's own COM objects that expose one interface (the
// library's recording driver, the simulated device's objects): QueryInterface
// for that interface and IUnknown, and a reference count that deletes the
// object when it drops to zero.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace velto1 {

template <typename Interface>
class ComObject : public Interface {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (iid == __uuidof(IUnknown) || iid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) {
            delete this;
        }
        return static_cast<ULONG>(refs);
    }

  protected:
    ComObject() = default;
    // Only Release destroys the object.
    virtual ~ComObject() = default;

  private:
    LONG refs_ = 1;
};

}  // namespace velto1
