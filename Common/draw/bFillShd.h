// The fill object: a fill type, a drawing mode, an optional 8x8 pattern
// drawn over the fill, an alpha, and one inner fill that paints (solid,
// gradient, picture or texture). Shapes, backgrounds, buttons and vector
// drawings fill pixel buffers and device contexts with it.
#pragma once

#include <windows.h>

#include "bComBase.h"

struct IPixelBuffer;
struct IPlayerSite;
struct ITeskStream;

// Fill types and drawing modes.
enum FillType { FILL_SOLID = 0, FILL_GRADIENT = 1, FILL_PICTURE = 2, FILL_TEXTURE = 3 };
enum FillMode { FILLMODE_NONE = 0, FILLMODE_FILL = 1, FILLMODE_PATTERN = 2 };

// Bits of the pattern word: overlay number, base pattern number, as stored.
enum FillPatternBits {
    FILLPAT_OVERLAY = 0x0007,
    FILLPAT_BASE = 0x00F8,
    FILLPAT_BASE_SHIFT = 3,
    FILLPAT_UNROTATED = 0x0100
};

// Flag bits of a fill object.
enum FillFlags : BYTE { FILLFLAG_PATTERN_TRANSPARENT = 0x01, FILLFLAG_PATTERN_COLOR = 0x02 };

// Receives the media names a value object uses (the project's media
// bookkeeping implements it).
struct IMediaCollector : public IUnknown {
    // kind 2: a picture; name: a 260-byte buffer.
    STDMETHOD(AddMedia)(int kind, const char* name) = 0;  // 3
};

struct FillObject;

// {C0BC262C-1049-11D4-9EEB-00104B04B807}
struct FillObject : public IUnknown {
    STDMETHOD(Load)(ITeskStream* stream) = 0;                      // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;                      // 4
    STDMETHOD(Reserved5)(void* a, void* b, void* c, void* d) = 0;  // 5
    STDMETHOD(RenderToDC)
    (HDC dc, const RECT* bounds, const RECT* clip, IPlayerSite* site) = 0;  // 6
    // bounds and clip in the buffer's logical units; null bounds: the whole
    // buffer; null clip: the bounds.
    STDMETHOD(Render)
    (const RECT* bounds, IPixelBuffer* buffer, const RECT* clip, IPlayerSite* site) = 0;  // 7
    STDMETHOD(CopyFrom)(FillObject* other) = 0;                                           // 8
    STDMETHOD(InterpolateFill)(FillObject* a, FillObject* b, int percent) = 0;            // 9
    STDMETHOD(SetFillType)(int type) = 0;                                                 // 10
    STDMETHOD(GetFillType)(int* type) = 0;                                                // 11
    // The inner fill's parameter interface (borrowed, not counted).
    STDMETHOD(GetFillParams)(void** params) = 0;                                // 12
    STDMETHOD(SetMode)(int mode) = 0;                                           // 13
    STDMETHOD(GetMode)(int* mode) = 0;                                          // 14
    STDMETHOD(SetPattern)(int pattern) = 0;                                     // 15
    STDMETHOD(GetPattern)(int* pattern) = 0;                                    // 16
    STDMETHOD(SetPatternTransparent)(int value) = 0;                            // 17
    STDMETHOD(GetPatternTransparent)(int* value) = 0;                           // 18
    STDMETHOD(SetPatternColor)(COLORREF color) = 0;                             // 19
    STDMETHOD(GetPatternColor)(COLORREF* color) = 0;                            // 20
    STDMETHOD(SetAlpha)(BYTE alpha) = 0;                                        // 21
    STDMETHOD(GetAlpha)(BYTE* alpha) = 0;                                       // 22
    STDMETHOD(ScaleAlpha)(const RECT* rect, IPixelBuffer* buffer, BYTE a) = 0;  // 23
    STDMETHOD(ReportMedia)(IMediaCollector* collector) = 0;                     // 24
    STDMETHOD(Reserved25)() = 0;                                                // 25
    // The deleting destructor: bit 0 of flags frees the object as well.
    STDMETHOD_(void, Destroy)(UINT flags) = 0;  // 26
    // The whole flag byte as it is stored: older frame records set bits the
    // operations above never do.
    STDMETHOD(SetFlagByte)(BYTE flags) = 0;  // 27
};
DECLARE_IID(FillObject, 0xC0BC262C, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07);

// A new fill object (solid white, mode 1, alpha 255) with one reference, or
// null.
FillObject* CreateFillObject();

// Parameter interface of the solid fill (type 0).
struct ISolidFillParams {
    STDMETHOD(SetColor)(COLORREF color) = 0;   // 0
    STDMETHOD(GetColor)(COLORREF* color) = 0;  // 1
};

// The inner fills' shared contract. Each is owned by one fill object.
class FillBase {
public:
    FillBase() : m_alpha(255) {}
    virtual ~FillBase() {}
    virtual HRESULT Load(ITeskStream* stream) = 0;
    virtual HRESULT Save(ITeskStream* stream) = 0;
    virtual HRESULT RenderToDC(HDC, const RECT*, const RECT*, BYTE, IPlayerSite*) { return S_OK; }
    // Paints the clip part of a fill spanning the bounds; both rectangles
    // in pixel coordinates of the buffer.
    virtual HRESULT Render(const RECT* bounds, IPixelBuffer* buffer, BYTE alpha, const RECT* clip,
                           IPlayerSite* site) = 0;
    // Copies the parameters of another fill object's inner fill (same type).
    virtual HRESULT CopyFrom(FillObject* other) = 0;
    virtual HRESULT Interpolate(FillObject* a, FillObject* b, int percent) = 0;
    // The parameter interface handed out by GetFillParams.
    virtual void* GetParams() = 0;

protected:
    BYTE m_alpha;  // of the current drawing
};

// The buffer word of a fill colour: 0x00BBGGRR becomes 0xAARRGGBB.
inline DWORD FillPixel(COLORREF color, BYTE alpha) {
    return ((DWORD)alpha << 24) | ((color & 0xFF) << 16) | (color & 0xFF00) |
           ((color >> 16) & 0xFF);
}

// Channel blend of two colours for morphing: trunc(p/100 (b - a) + a),
// clamped; equal colours unchanged.
COLORREF BlendColor(COLORREF a, COLORREF b, int percent);

// n pixels of one value, at memcpy speed for long runs.
void FillPixels(DWORD* pixels, int n, DWORD value);

// Fills the clip of a locked buffer with one value: first row, then copies.
// clip in pixel coordinates, intersected with the buffer here.
HRESULT FillBufferRect(IPixelBuffer* buffer, const RECT* clip, DWORD value);

// A scratch buffer of the given size of the model's kind (one reference),
// or null.
IPixelBuffer* CreateFillBufferLike(int width, int height, IPixelBuffer* model);

// The pattern table (resource 5805): 39 rows of 8 bytes, or null when the
// program carries none. Loaded once per process.
const BYTE* GetFillPatternTable();

// The 8x8 mask of a pattern word (row y, bit 7 - x): base row, overlay
// OR-ed, turned unless bit 8 is set.
void BuildPatternMask(int pattern, BYTE mask[8]);
