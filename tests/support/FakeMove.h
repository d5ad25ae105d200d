// A transition move plug-in whose page slides in from the left edge: at
// progress x it stands moved right by (1 - x) of the width, and the strip
// left of it is uncovered.
#pragma once

#include <windows.h>

#include "aTransition.h"
#include "bComBase.h"

// {2D6B8E41-7C3A-4F19-A0B2-5E6D7C8B9A01}
const CLSID kFakeMoveClsid = {
    0x2D6B8E41, 0x7C3A, 0x4F19, {0xA0, 0xB2, 0x5E, 0x6D, 0x7C, 0x8B, 0x9A, 0x01}};

class FakeMove : public CComObjectRootBase, public ITransitionMove {
public:
    BEGIN_COM_MAP(FakeMove)
    COM_INTERFACE_ENTRY(ITransitionMove)
    END_COM_MAP()
    STDMETHOD(GetClassID)(CLSID* clsid) override {
        *clsid = kFakeMoveClsid;
        return S_OK;
    }
    STDMETHOD(Load)(ITeskStream*) override { return S_OK; }
    STDMETHOD(Save)(ITeskStream*) override { return S_OK; }
    STDMETHOD(Reserved6)() override { return S_OK; }
    STDMETHOD(MoveRect)(const RECT* r, double x, RECT* out) override {
        *out = *r;
        OffsetRect(out, (LONG)((1.0 - x) * (r->right - r->left)), 0);
        return S_OK;
    }
    STDMETHOD(GetUncoveredRects)(const RECT* r, double x, int* count, const RECT** rects) override {
        m_rect = *r;
        m_rect.right = m_rect.left + (LONG)((1.0 - x) * (r->right - r->left));
        *count = 1;
        *rects = &m_rect;
        return S_OK;
    }
    STDMETHOD(Reserved9)() override { return S_OK; }

private:
    RECT m_rect = {};
};

// Module creator of the plug-in (IUnknown, one reference).
inline HRESULT CreateFakeMove(IUnknown** out) {
    return ComCreateInstance<FakeMove>(IID_IUnknown, reinterpret_cast<void**>(out));
}
