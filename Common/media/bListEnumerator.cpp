#include "bListEnumerator.h"

#include <string.h>

HRESULT MediaTypeCopy(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE* to) {
    *to = from;
    to->pbFormat = nullptr;
    to->cbFormat = 0;
    if (from.cbFormat && from.pbFormat) {
        to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
        if (!to->pbFormat) {
            to->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        memcpy(to->pbFormat, from.pbFormat, from.cbFormat);
        to->cbFormat = from.cbFormat;
    }
    if (to->pUnk)
        to->pUnk->AddRef();
    return S_OK;
}

void MediaTypeClear(AM_MEDIA_TYPE* type) {
    if (type->pbFormat)
        CoTaskMemFree(type->pbFormat);
    type->pbFormat = nullptr;
    type->cbFormat = 0;
    if (type->pUnk)
        type->pUnk->Release();
    type->pUnk = nullptr;
}
