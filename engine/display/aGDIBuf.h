// GDI pixel buffers: 32-bit pixels in a DIB section on a paging-file
// mapping, drawn with GDI through a memory DC and read and written directly
// by the pixel kernels.
//   CGDIBuffer        pixels, information, blit, dirty region, fill
//   CGDIBitmapBuffer  + its own memory DC, origin, resize and scroll
//   CGDIViewBuffer    + IBufferView: a logical area mapped onto a device area
#pragma once

#include "aBufferBase.h"

class CGDIBuffer : public CPixelBufferBase {
public:
    BEGIN_COM_MAP(CGDIBuffer)
    COM_INTERFACE_ENTRY(IPixelBuffer)
    END_COM_MAP()

    CGDIBuffer();
    ~CGDIBuffer() override;

    // IPixelBuffer
    STDMETHOD(Blit)
    (const RECT* dest, IPixelBuffer* source, const RECT* src, DWORD reserved) override;
    STDMETHOD(GetDC)(HDC* dc) override;
    STDMETHOD(ReleaseDC)(HDC dc) override;
    STDMETHOD(FillRect)(const RECT* rect, DWORD color) override;
    STDMETHOD(Create)(int width, int height) override;
    STDMETHOD(SetOrigin)(int x, int y) override;
    STDMETHOD(Resize)(int width, int height) override;
    STDMETHOD(Scroll)(int dx, int dy) override;
    STDMETHOD_(int, HasSurface)() override;
    STDMETHOD_(IDirectDrawSurface4*, GetSurface)() override;
    STDMETHOD(SetOwner)(DXOwner* owner) override;
    STDMETHOD(GetOwner)(DXOwner** owner) override;
    STDMETHOD(Lock)(DWORD flags) override;
    STDMETHOD(Unlock)() override;
    STDMETHOD_(void, Destroy)(UINT flags) override;
    STDMETHOD(ReleaseSurface)() override;

    // Frees the DIB section and the mapping; the buffer has no pixels after.
    void CloseMapping();

protected:
    // Makes pixels of the given size in the DC's format; the old ones must
    // be gone.
    HRESULT MakePixels(HDC dc, int width, int height);

    HBITMAP m_hSavedBitmap;
    HBITMAP m_hDIB;
    HANDLE m_hMapping;
};

class CGDIBitmapBuffer : public CGDIBuffer {
public:
    CGDIBitmapBuffer();
    ~CGDIBitmapBuffer() override;
    HRESULT FinalConstruct();

    STDMETHOD(GetDC)(HDC* dc) override;
    STDMETHOD(ReleaseDC)(HDC dc) override;
    STDMETHOD(AddDirtyRect)(const RECT* rect) override;
    STDMETHOD(Create)(int width, int height) override;
    STDMETHOD(SetOrigin)(int x, int y) override;
    STDMETHOD(Resize)(int width, int height) override;
    STDMETHOD(Scroll)(int dx, int dy) override;
    STDMETHOD_(void, Destroy)(UINT flags) override;

protected:
    HDC m_hDC;
};

class CGDIViewBuffer : public CGDIBitmapBuffer, public CBufferViewBase {
public:
    BEGIN_COM_MAP(CGDIViewBuffer)
    COM_INTERFACE_ENTRY(IPixelBuffer)
    COM_INTERFACE_ENTRY(IBufferView)
    END_COM_MAP()

    CGDIViewBuffer();

    STDMETHOD(Blit)
    (const RECT* dest, IPixelBuffer* source, const RECT* src, DWORD reserved) override;
    STDMETHOD(GetDC)(HDC* dc) override;

    // IBufferView
    STDMETHOD(CreateLike)(IPixelBuffer* other) override;
    STDMETHOD(CopyViewRect)(IPixelBuffer* other, BOOL fromOther) override;
    STDMETHOD(GetViewportOrigin)(POINT* origin) override;
};

// Size of the mapping behind a width x height buffer: two spare rows after
// the last one and 56 bytes before the first. False when it does not fit.
bool GDIMappingSize(int width, int height, DWORD* size);

// A top-down 32-bit DIB section of width x (height + 2) at byte 56 of a new
// paging-file mapping; null (logged, the failure's code left as the last
// error) on failure.
HBITMAP CreateDIBSectionUseMapping(HDC dc, int width, int height, BYTE** pixels, HANDLE* mapping);

// A new CGDIBuffer with pixels (reference count 1), or null.
IPixelBuffer* CreateGDIBuffer(int width, int height);

// A new CGDIBuffer holding the picture of a packed DIB (a global memory
// block: header, palette, rows), or null.
IPixelBuffer* CreateGDIBufferFromDIB(HGLOBAL dib);
