// What the GDI and the DirectDraw pixel buffers have in common:
//   CPixelBufferBase  the information record's fields, the source switches,
//                     the dirty region and the row work on addressable pixels
//   CBufferViewBase   the logical and device rectangles of IBufferView and the
//                     mapping between them
#pragma once

#include "aBlit.h"
#include "aPixBuf.h"

// Row copy between two 32-bit pixel blocks, each stepped with its own pitch.
void CopyPixelRows(BYTE* dst, int dstPitch, const BYTE* src, int srcPitch, const RECT& area);
// Copies the packed 32-bit rows of a DIB (top-down or bottom-up) into
// pixels stepped with their own pitch, top row first.
void CopyDibRows(BYTE* dst, int dstPitch, const BYTE* rows, int width, int height, bool topDown);

class CPixelBufferBase : public CComObjectRootBase, public IPixelBuffer {
public:
    CPixelBufferBase();
    virtual ~CPixelBufferBase();

    STDMETHOD(GetBufferInfo)(BufferInfo* info) override;
    STDMETHOD(SetBufferInfo)(const BufferInfo* info) override;
    STDMETHOD(AddDirtyRect)(const RECT* rect) override;
    STDMETHOD(ClearDirty)() override;
    STDMETHOD(Reserved10)() override { return S_OK; }
    STDMETHOD(Reserved11)() override { return S_OK; }
    STDMETHOD(EnableColorKey)(BOOL on) override;
    STDMETHOD(EnableConstAlpha)(BOOL on) override;
    STDMETHOD(EnablePixelAlpha)(BOOL on) override;

    // The dirty region in buffer coordinates (null: nothing is dirty). The
    // buffer keeps it; callers copy it with CombineRgn.
    HRGN GetDirtyRegion() const { return m_hDirty; }
    // The working values of the last blit into this buffer.
    const BlitWork& GetBlitWork() const { return m_work; }

protected:
    // Sets or clears one of the source switches.
    HRESULT SetFlag(DWORD flag, BOOL on);
    // Adds a rectangle in buffer coordinates, clipped to the buffer.
    void AddDirtyBufferRect(const RECT& rect);
    // Adds a rectangle in drawing coordinates (moved by the offset).
    void AddDirtyDrawRect(const RECT& rect);
    // Marks what grew past the old size as dirty.
    void AddGrownDirty(int oldWidth, int oldHeight);
    // True, with the whole buffer marked dirty, when a move by (dx, dy)
    // leaves none of the old pixels in the buffer.
    bool ScrollsOutWholly(int dx, int dy);
    // Moves the pixels so that (x, y) goes to (x + dx, y - dy); the pixels
    // must be addressable and the move smaller than the buffer.
    void MoveRows(int dx, int dy);
    // Marks what a move by (dx, dy) left stale: the columns it did not write
    // and the rows at the edge it moved away from.
    void AddScrolledDirty(int dx, int dy);

    BYTE* m_pPixels;
    LONG m_nHeight;
    LONG m_nWidth;
    LONG m_nPitch;
    DWORD m_dwFlags;
    BYTE m_bConstAlpha;
    BYTE m_bExtra;
    DWORD m_dwKeyLow;
    DWORD m_dwKeyHigh;
    LONG m_nOffsetX;
    LONG m_nOffsetY;
    HRGN m_hDirty;
    BlitWork m_work;
};

class CBufferViewBase : public IBufferView {
public:
    CBufferViewBase();

    STDMETHOD(SetLogicalRect)(const RECT* rect) override;
    STDMETHOD(GetLogicalRect)(RECT* rect) override;
    STDMETHOD(SetDeviceRect)(const RECT* rect) override;
    STDMETHOD(GetDeviceRect)(RECT* rect) override;
    STDMETHOD(SetClipToView)(BOOL on) override;
    STDMETHOD_(BOOL, GetClipToView)() override;

protected:
    // Maps a blit from logical to device coordinates, cut to the view when
    // clipping is on (the source shrinks in proportion). E_FAIL for an empty
    // logical rectangle, S_FALSE when nothing is left to draw, else S_OK.
    HRESULT MapViewBlit(const RECT& dest, const RECT& src, RECT* mappedDest, RECT* mappedSrc) const;
    // The device point where the logical origin lands, for a buffer whose
    // drawing coordinates are moved by (offsetX, offsetY).
    HRESULT ViewportOrigin(LONG offsetX, LONG offsetY, POINT* origin) const;
    // Sets up the DC to draw logical coordinates onto the device area, the
    // logical origin landing at the given point.
    void PrepareViewDC(HDC dc, LONG offsetX, LONG offsetY, const POINT& origin) const;
    // The buffer area CopyViewRect copies between two buffers of the given
    // bounds; false when there is none.
    bool ViewCopyArea(LONG offsetX, LONG offsetY, const RECT& ownBounds, const RECT& otherBounds,
                      RECT* area) const;

    RECT m_rcLogical;
    RECT m_rcDevice;
    int m_bClipToView;
};
