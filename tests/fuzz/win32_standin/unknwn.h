// IUnknown for the native fuzzing build (windows.h here says why).
#pragma once

#include <windows.h>

MIDL_INTERFACE("00000000-0000-0000-C000-000000000046")
IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
