#include "tests/common/test_support.h"

HRESULT FakeCaptureFilter::Unexpected() {
    ADD_FAILURE() << "unexpected call of an IBaseFilter method";
    return E_NOTIMPL;
}
