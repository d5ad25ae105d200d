// The line style object: how a shape's outline is drawn (type, width,
// colours, gaps, smoothing, the tiles of a decorative border), and the
// drawing of outlines into device contexts and pixel buffers.
#pragma once

#include <windows.h>

#include "bComBase.h"

struct IPixelBuffer;
struct ITeskStream;

// Line types.
enum LineType {
    LINE_DOT = 0,
    LINE_DASH = 1,
    LINE_DASHDOT = 2,
    LINE_DASHDOTDOT = 3,
    LINE_NONE = 4,
    LINE_SOLID = 5,
    LINE_DOUBLE = 6,
    LINE_FANCY = 7
};

// Shape kinds of Draw.
enum LineShapeKind {
    SHAPE_LINE = 0,
    SHAPE_POLYLINE = 1,
    SHAPE_RECT = 2,
    SHAPE_ROUNDRECT = 3,
    SHAPE_BEZIER = 4,
    SHAPE_BEZIER2 = 5,
    SHAPE_ELLIPSE = 6,
    SHAPE_POLYGON = 7
};

// Flag bits of a line style.
enum LineStyleFlags : WORD { LINEFLAG_OPAQUE_GAPS = 0x0001, LINEFLAG_SMOOTH = 0x0002 };

// Size of the stored form.
enum { LINESTYLE_RECORD_SIZE = 48 };

// {C0BC262D-1049-11D4-9EEB-00104B04B807}
struct LineStyleObject : public IUnknown {
    STDMETHOD(Load)(ITeskStream* stream) = 0;             // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;             // 4
    STDMETHOD(Reserved5)(void* a) = 0;                    // 5
    STDMETHOD(Reserved6)(void* a, void* b, void* c) = 0;  // 6
    // points: count points of the shape (a rectangle as two corners);
    // mapping 1: the points are in 1/256 units. The caller's points are not
    // changed.
    STDMETHOD(Draw)
    (HDC dc, int kind, const POINT* points, int count, int cornerPercent, int mapping) = 0;  // 7
    STDMETHOD(DrawToBuffer)
    (IPixelBuffer* buffer, int kind, const POINT* points, int count, int cornerPercent) = 0;  // 8
    // ORs the outline's area of a rectangle-based shape into target.
    STDMETHOD(AddOutlineRegion)
    (int kind, const RECT* rect, int cornerPercent, HRGN target) = 0;                    // 9
    STDMETHOD(InterpolateLineStyle)(LineStyleObject* a, LineStyleObject* b, int p) = 0;  // 10
    STDMETHOD(CopyFrom)(LineStyleObject* other) = 0;                                     // 11
    STDMETHOD(GetLineType)(int* type) = 0;                                               // 12
    STDMETHOD(SetLineType)(int type) = 0;                                                // 13
    STDMETHOD(GetWidth)(WORD* width) = 0;                                                // 14
    STDMETHOD(SetWidth)(WORD width) = 0;                                                 // 15
    STDMETHOD(GetColor)(COLORREF* color) = 0;                                            // 16
    STDMETHOD(SetColor)(COLORREF color) = 0;                                             // 17
    STDMETHOD(GetColor2)(COLORREF* color) = 0;                                           // 18
    STDMETHOD(SetColor2)(COLORREF color) = 0;                                            // 19
    STDMETHOD(GetTransparent)(int* value) = 0;                                           // 20
    STDMETHOD(SetTransparent)(int value) = 0;                                            // 21
    STDMETHOD(GetBackColor)(COLORREF* color) = 0;                                        // 22
    STDMETHOD(SetBackColor)(COLORREF color) = 0;                                         // 23
    STDMETHOD(GetTileCode)(WORD* code) = 0;                                              // 24
    STDMETHOD(SetTileCode)(WORD code) = 0;                                               // 25
    STDMETHOD(GetSmooth)(int* value) = 0;                                                // 26
    STDMETHOD(SetSmooth)(int value) = 0;                                                 // 27
    // The deleting destructor: bit 0 of flags frees the object as well.
    STDMETHOD_(void, Destroy)(UINT flags) = 0;  // 28
};
DECLARE_IID(LineStyleObject, 0xC0BC262D, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// A new line style (solid, black, one unit, opaque white gaps, smooth) with
// one reference, or null.
LineStyleObject* CreateLineStyObj();

// The border tiles (resource 5804 "FancyTable"): 204 tiles of 32 bytes, or
// null (logged) when the program carries none. Loaded once per process.
const BYTE* GetFancyTable();
