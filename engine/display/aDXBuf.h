// DirectDraw pixel buffers: 32-bit pixels in an off-screen plain surface in
// system memory, addressable between Lock and Unlock. Callers cannot tell
// them from the GDI buffers.
//   CDXBuffer         pixels, information, blit (hardware when the owner
//                     can, else the software kernels), dirty region, fill
//   CDXBackBuffer     + its device context with origin, resize and scroll
//   CDXSurfaceBuffer  + IBufferView for the object render code
#pragma once

#include <ddraw.h>

#include "aBufferBase.h"

// The play site's DirectDraw record: the interface first, then the driver's
// hardware capabilities that decide hardware blits.
struct DXOwner {
    IDirectDraw4* pDirectDraw;
    DDCAPS caps;
};

class CDXBuffer : public CPixelBufferBase {
public:
    BEGIN_COM_MAP(CDXBuffer)
    COM_INTERFACE_ENTRY(IPixelBuffer)
    END_COM_MAP()

    CDXBuffer();
    ~CDXBuffer() override;

    STDMETHOD(Blit)
    (const RECT* dest, IPixelBuffer* source, const RECT* src, DWORD reserved) override;
    STDMETHOD(GetDC)(HDC* dc) override;
    STDMETHOD(ReleaseDC)(HDC dc) override;
    // The colour is the pixel value 0x00RRGGBB itself.
    STDMETHOD(FillRect)(const RECT* rect, DWORD color) override;
    STDMETHOD(Create)(int width, int height) override;
    STDMETHOD(SetOrigin)(int x, int y) override;
    STDMETHOD(Resize)(int width, int height) override;
    STDMETHOD(Scroll)(int dx, int dy) override;
    STDMETHOD_(int, HasSurface)() override;
    STDMETHOD_(IDirectDrawSurface4*, GetSurface)() override;
    STDMETHOD(SetOwner)(DXOwner* owner) override;
    STDMETHOD(GetOwner)(DXOwner** owner) override;
    // Locks nest: the surface is locked by the first and unlocked by the last.
    STDMETHOD(Lock)(DWORD flags) override;
    STDMETHOD(Unlock)() override;
    STDMETHOD_(void, Destroy)(UINT flags) override;
    STDMETHOD(ReleaseSurface)() override;

protected:
    // Blits with the destination already mapped to buffer coordinates.
    HRESULT BlitMapped(const RECT* dest, IPixelBuffer* source, const RECT* src);
    // The hardware path of families 0 and 1; false when it does not apply.
    bool TryHardwareBlit(const BlitPlan& plan, IPixelBuffer* source);
    // A new surface of the size (the width already aligned).
    HRESULT MakeSurface(int width, int height, IDirectDrawSurface4** out);
    void RestoreIfLost();

    DXOwner* m_pOwner;
    IDirectDrawSurface4* m_pSurface;
    DDSURFACEDESC2 m_desc;
    int m_nLocks;
    int m_nDCs;
};

class CDXBackBuffer : public CDXBuffer {
public:
    CDXBackBuffer();
    STDMETHOD(GetDC)(HDC* dc) override;
    STDMETHOD(ReleaseDC)(HDC dc) override;
    STDMETHOD(AddDirtyRect)(const RECT* rect) override;
    STDMETHOD(Create)(int width, int height) override;
    STDMETHOD(SetOrigin)(int x, int y) override;
    // Keeps the old surface until the new one exists.
    STDMETHOD(Resize)(int width, int height) override;
    // Locks the surface itself when the caller holds no lock.
    STDMETHOD(Scroll)(int dx, int dy) override;

protected:
    HDC m_hDC;
};

class CDXSurfaceBuffer : public CDXBackBuffer, public CBufferViewBase {
public:
    BEGIN_COM_MAP(CDXSurfaceBuffer)
    COM_INTERFACE_ENTRY(IPixelBuffer)
    COM_INTERFACE_ENTRY(IBufferView)
    END_COM_MAP()

    CDXSurfaceBuffer();

    STDMETHOD(Blit)
    (const RECT* dest, IPixelBuffer* source, const RECT* src, DWORD reserved) override;
    STDMETHOD(GetDC)(HDC* dc) override;
    STDMETHOD(ReleaseDC)(HDC dc) override;

    STDMETHOD(CreateLike)(IPixelBuffer* other) override;
    // The area inside both buffers, each stepped with its own pitch.
    STDMETHOD(CopyViewRect)(IPixelBuffer* other, BOOL fromOther) override;
    STDMETHOD(GetViewportOrigin)(POINT* origin) override;
};

// A new CDXBuffer with a surface (one reference), or null when a size is 0
// or the surface cannot be made.
IPixelBuffer* CreateDXBuffer(DXOwner* owner, int width, int height);
// A new CDXBuffer holding the picture of a packed DIB, or null.
IPixelBuffer* CreateDXBufferFromDIB(DXOwner* owner, HGLOBAL dib);
// A buffer of the model's kind: a DirectDraw buffer of the model's owner
// when the model has one, else a GDI buffer; one reference, or null.
IPixelBuffer* CreateBufferLike(int width, int height, IPixelBuffer* model);
