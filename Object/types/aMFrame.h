// The media frame: the border and background that media objects draw around
// their content (a one-pixel outline, an outer bevel, a flat middle band, an
// inner bevel, and a fill of the area inside), its stream record and the
// inner rectangle the content lays out in.
#pragma once

#include "aObjItf.h"

struct FillObject;
struct IPixelBuffer;

// Parts and shades of SetWidth, SetColor and GetColor.
enum MediaFramePart { MFPART_OUTER = 0, MFPART_MIDDLE = 1, MFPART_INNER = 2 };
enum MediaFrameShade { MFSHADE_FIRST = 0, MFSHADE_SECOND = 1, MFSHADE_BOTH = 2 };
// Flag word bits.
enum MediaFrameFlags : WORD { MFFLAG_OUTLINE = 0x0001, MFFLAG_SHOWN = 0x0002 };
// The fixed head of the frame record; the fill's record follows.
enum { MEDIAFRAME_RECORD_SIZE = 40, MEDIAFRAME_ALT_RECORD_SIZE = 34 };

// {C0BC2655-...}
struct IMediaFrame : public IUnknown {
    STDMETHOD(GetThickness)(WORD* out) = 0;                        // 3
    STDMETHOD(SetWidth)(int part, WORD width) = 0;                 // 4
    STDMETHOD(GetWidth)(int part, WORD* out) = 0;                  // 5
    STDMETHOD(SetColor)(int part, int shade, COLORREF color) = 0;  // 6
    STDMETHOD(GetColor)(int part, int shade, COLORREF* out) = 0;   // 7
    // 1 when the frame takes half the rectangle or more, else 0.
    STDMETHOD_(int, GetInnerRect)(const RECT* rect, RECT* out) = 0;  // 8
    STDMETHOD_(int, IsHidden)() = 0;                                 // 9
    STDMETHOD(SetShown)(BOOL on) = 0;                                // 10
    STDMETHOD(GetOutline)(BOOL* out) = 0;                            // 11
    STDMETHOD(SetOutline)(BOOL on) = 0;                              // 12
    STDMETHOD(SetOutlineColor)(COLORREF color) = 0;                  // 13
    STDMETHOD(GetOutlineColor)(COLORREF* out) = 0;                   // 14
    STDMETHOD(GetFill)(FillObject** out) = 0;                        // 15
    STDMETHOD(SetOwner)(II_IRender* owner) = 0;                      // 16
    STDMETHOD(GetOwner)(II_IRender** out) = 0;                       // 17
    STDMETHOD(Draw)
    (IPixelBuffer* target, const RECT* rect, const RECT* clip, IPlayerSite* site) = 0;  // 18
    STDMETHOD(Load)(ITeskStream* stream) = 0;                                           // 19
    STDMETHOD(Save)(ITeskStream* stream) = 0;                                           // 20
    STDMETHOD(CopyFrom)(IMediaFrame* other) = 0;                                        // 21
    STDMETHOD(LoadAlternative)(ITeskStream* stream) = 0;                                // 22
    STDMETHOD_(void, Destroy)(UINT flags) = 0;                                          // 23
};
TESK_IID(IMediaFrame, 0x55);

// A new frame; the caller holds the only reference. E_FAIL when it cannot
// be made.
HRESULT CreateMediaFrame(IMediaFrame** out);
