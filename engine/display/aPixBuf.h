// The pixel buffer interface: every page, canvas, object, picture, fill and
// transition draws through IPixelBuffer into an off-screen buffer of 32-bit
// pixels (0x00RRGGBB, alpha in the top byte where a buffer carries it).
// GDI buffers (aGDIBuf.h) and DirectDraw buffers implement it alike.
#pragma once

#include <ddraw.h>

#include "bComBase.h"

// The DirectDraw owner record of the play site: IDirectDraw4 first, then the
// driver's capabilities. Buffers refer to it without a reference.
struct DXOwner;

// Field bits of BufferInfo::wMask.
enum BufferInfoMask : WORD {
    BIM_HEIGHT = 0x001,
    BIM_WIDTH = 0x002,
    BIM_PITCH = 0x004,
    BIM_CONSTALPHA = 0x008,
    BIM_COLORKEY = 0x020,
    BIM_EXTRA = 0x040,
    BIM_PIXELS = 0x080,
    BIM_ALWAYS = 0x100,  // no field; part of every buffer's mask
    BIM_OFFSET = 0x200,
    BIM_FLAGS = 0x400,  // the 32-bit flag word replaces wMask and wReserved
    BIM_NEW = 0x768,    // a buffer before it has pixels
    BIM_GEOMETRY = 0x087,
    BIM_ALL = 0x7EF  // a buffer with pixels
};

// Switch bits of a buffer's flag word (the low 16 bits are its field mask).
// They decide how the buffer is drawn when it is the source of a blit.
enum BufferFlags : DWORD {
    BUFFLAG_MASK = 0x0000FFFF,
    BUFFLAG_COLORKEY = 0x01000000,
    BUFFLAG_PIXELALPHA = 0x02000000,
    BUFFLAG_CONSTALPHA = 0x04000000
};

// Bits of the 16-bit blit code that selects a pixel kernel.
enum BlitCodeBits : UINT {
    BLIT_VFLIP = 0x01,
    BLIT_HFLIP = 0x02,
    BLIT_STRETCHX = 0x04,
    BLIT_STRETCHY = 0x08,
    BLIT_COLORKEY = 0x20,
    BLIT_CONSTALPHA = 0x40,
    BLIT_PIXELALPHA = 0x80
};

// Lock flags for direct pixel access (DirectDraw's wait + read or write).
enum : DWORD {
    PIXLOCK_READ = DDLOCK_WAIT | DDLOCK_READONLY,   // 17
    PIXLOCK_WRITE = DDLOCK_WAIT | DDLOCK_WRITEONLY  // 33
};

// The buffer information record exchanged by GetBufferInfo/SetBufferInfo.
struct BufferInfo {
    DWORD dwSize;      // size of the record, set by the caller
    WORD wMask;        // fields requested or supplied
    WORD wReserved;    // with BIM_FLAGS: the upper half of the flag word
    LONG nHeight;      // 0x001
    LONG nWidth;       // 0x002
    LONG nPitch;       // 0x004 bytes from one row to the next
    BYTE bConstAlpha;  // 0x008
    BYTE bExtra;       // 0x040 stored and returned only
    DWORD dwKeyLow;    // 0x020 colour-key range, 0x00RRGGBB
    DWORD dwKeyHigh;   // 0x020
    LONG nOffsetX;     // 0x200 logical + offset = buffer coordinate
    LONG nOffsetY;     // 0x200
    BYTE* pPixels;     // 0x080 first pixel of the top row, or null
};

// {C0BC2601-1049-11D4-9EEB-00104B04B807}
struct IPixelBuffer : public IUnknown {
    STDMETHOD(GetBufferInfo)(BufferInfo* info) = 0;        // 3
    STDMETHOD(SetBufferInfo)(const BufferInfo* info) = 0;  // 4
    STDMETHOD(Blit)
    (const RECT* dest, IPixelBuffer* source, const RECT* src,
     DWORD reserved) = 0;                           // 5
    STDMETHOD(GetDC)(HDC* dc) = 0;                  // 6
    STDMETHOD(ReleaseDC)(HDC dc) = 0;               // 7
    STDMETHOD(AddDirtyRect)(const RECT* rect) = 0;  // 8
    STDMETHOD(ClearDirty)() = 0;                    // 9
    STDMETHOD(Reserved10)() = 0;                    // 10
    STDMETHOD(Reserved11)() = 0;                    // 11
    STDMETHOD(EnableColorKey)(BOOL on) = 0;         // 12
    STDMETHOD(EnableConstAlpha)(BOOL on) = 0;       // 13
    STDMETHOD(EnablePixelAlpha)(BOOL on) = 0;       // 14
    // GDI buffers take a COLORREF, DirectDraw buffers a 0x00RRGGBB value.
    STDMETHOD(FillRect)(const RECT* rect, DWORD color) = 0;  // 15
    STDMETHOD(Create)(int width, int height) = 0;            // 16
    STDMETHOD(SetOrigin)(int x, int y) = 0;                  // 17
    STDMETHOD(Resize)(int width, int height) = 0;            // 18
    STDMETHOD(Scroll)(int dx, int dy) = 0;                   // 19
    STDMETHOD_(int, HasSurface)() = 0;                       // 20
    STDMETHOD_(IDirectDrawSurface4*, GetSurface)() = 0;      // 21
    STDMETHOD(SetOwner)(DXOwner* owner) = 0;                 // 22
    STDMETHOD(GetOwner)(DXOwner** owner) = 0;                // 23
    STDMETHOD(Lock)(DWORD flags) = 0;                        // 24
    STDMETHOD(Unlock)() = 0;                                 // 25
    // The deleting destructor: bit 0 of flags frees the object as well.
    STDMETHOD_(void, Destroy)(UINT flags) = 0;  // 26
    STDMETHOD(ReleaseSurface)() = 0;            // 27
};
DECLARE_IID(IPixelBuffer, 0xC0BC2601, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// {93B66312-65F3-4DCA-A4E9-F8DFB34517AE}
// Maps a logical area onto a device area of the buffer for scaled drawing.
struct IBufferView : public IUnknown {
    STDMETHOD(SetLogicalRect)(const RECT* rect) = 0;                   // 3
    STDMETHOD(GetLogicalRect)(RECT* rect) = 0;                         // 4
    STDMETHOD(SetDeviceRect)(const RECT* rect) = 0;                    // 5
    STDMETHOD(GetDeviceRect)(RECT* rect) = 0;                          // 6
    STDMETHOD(SetClipToView)(BOOL on) = 0;                             // 7
    STDMETHOD_(BOOL, GetClipToView)() = 0;                             // 8
    STDMETHOD(CreateLike)(IPixelBuffer* other) = 0;                    // 9
    STDMETHOD(CopyViewRect)(IPixelBuffer* other, BOOL fromOther) = 0;  // 10
    STDMETHOD(GetViewportOrigin)(POINT* origin) = 0;                   // 11
};
DECLARE_IID(IBufferView, 0x93B66312, 0x65F3, 0x4DCA, 0xA4, 0xE9, 0xF8, 0xDF, 0xB3, 0x45, 0x17,
            0xAE);

// Direct pixel access is bracketed: AddRef + Lock(flags) ... Unlock + Release.
// A failed lock leaves no reference behind.
inline HRESULT ScopedUseBegin(IPixelBuffer* buffer, DWORD flags) {
    if (!buffer)
        return E_POINTER;
    buffer->AddRef();
    HRESULT hr = buffer->Lock(flags);
    if (FAILED(hr))
        buffer->Release();
    return hr;
}
inline void ScopedUseEnd(IPixelBuffer* buffer) {
    if (!buffer)
        return;
    buffer->Unlock();
    buffer->Release();
}

// The fields of the mask from a buffer's information record (zero where the
// buffer gives none).
inline BufferInfo ReadBufferInfo(IPixelBuffer* buffer, WORD mask = BIM_ALL) {
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = mask;
    buffer->GetBufferInfo(&info);
    return info;
}

// Cuts a rectangle in buffer coordinates to the buffer; false when nothing is left.
inline bool ClipToBuffer(RECT* rect, const BufferInfo& info) {
    RECT whole = {0, 0, info.nWidth, info.nHeight};
    return IntersectRect(rect, rect, &whole) != FALSE;
}
