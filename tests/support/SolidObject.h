// The solid-colour test kind: an object of the object base that fills its
// bounds with one colour.
#pragma once

#include "aObjBase.h"

// {5B0E7C31-6F1D-4E52-9C6A-0B7E5D3A2F10}
DEFINE_GUID(CLSID_SolidObject, 0x5B0E7C31, 0x6F1D, 0x4E52, 0x9C, 0x6A, 0x0B, 0x7E, 0x5D, 0x3A, 0x2F,
            0x10);

class SolidObject : public ObjectBase<SolidObject> {
public:
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override {
        ++draws;
        return target->FillRect(rect, color);
    }
    COLORREF color = 0xFFFFFF;
    int draws = 0;
};

// Module creator of the test kind (IUnknown, one reference).
HRESULT CreateSolidObject(IUnknown** out);
