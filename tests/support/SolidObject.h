// The solid-colour test kind: an object of the object base that fills its
// bounds with one colour.
#pragma once

#include "aObjBase.h"

// {5B0E7C31-6F1D-4E52-9C6A-0B7E5D3A2F10}
DEFINE_GUID(CLSID_SolidObject, 0x5B0E7C31, 0x6F1D, 0x4E52, 0x9C, 0x6A, 0x0B, 0x7E, 0x5D, 0x3A, 0x2F,
            0x10);

// The type id the tests give the kind.
const DWORD kSolidType = 0x7F000001;

class SolidObject : public ObjectBase<SolidObject> {
public:
    // The rectangle is logical; FillRect takes buffer pixels, which are
    // moved by the buffer's offset.
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override {
        ++draws;
        BufferInfo info = {};
        info.dwSize = sizeof(info);
        info.wMask = BIM_OFFSET;
        RECT r = *rect;
        if (SUCCEEDED(target->GetBufferInfo(&info)))
            OffsetRect(&r, info.nOffsetX, info.nOffsetY);
        return target->FillRect(&r, color);
    }
    COLORREF color = 0xFFFFFF;
    int draws = 0;
};

// Module creator of the test kind (IUnknown, one reference).
HRESULT CreateSolidObject(IUnknown** out);
