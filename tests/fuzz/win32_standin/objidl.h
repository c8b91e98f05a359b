// The moniker names the native fuzzing build meets (windows.h here says why):
// no moniker is made there, so no display name is ever asked.
#pragma once

#include <unknwn.h>

typedef wchar_t* LPOLESTR;
MIDL_INTERFACE("0000000E-0000-0000-C000-000000000046") IBindCtx : public IUnknown{};
MIDL_INTERFACE("0000000F-0000-0000-C000-000000000046") IMoniker : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx * context, IMoniker * left,
                                                     LPOLESTR * name) = 0;
};
inline HRESULT CreateBindCtx(DWORD, IBindCtx** context) {
    *context = nullptr;
    return E_NOTIMPL;
}
