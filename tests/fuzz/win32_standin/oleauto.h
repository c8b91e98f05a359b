// VARIANT as the handle owners (common/win32_owners.h) use it.
#pragma once

#include <windows.h>

enum : WORD { VT_EMPTY = 0, VT_BSTR = 8 };
typedef struct {
    WORD vt;
    wchar_t* bstrVal;
} VARIANT;
#define V_VT(v) ((v)->vt)
#define V_BSTR(v) ((v)->bstrVal)
inline void VariantInit(VARIANT* value) {
    *value = VARIANT{VT_EMPTY, nullptr};
}
inline HRESULT VariantClear(VARIANT* value) {
    VariantInit(value);
    return S_OK;
}
