// Transition plug-ins: page and object transitions, decorations and the drop
// shadow, each a small COM-style class created by class identifier and
// driven with a progress from 0 to 1 (or the play time).
//   move        ITransitionMove    the rectangle of the moving content
//   region      ITransitionRegion  a GDI region showing the new content
//   mask        ITransitionMask    one byte per pixel, 255 keeps the target
//   decoration  ITransitionDecor   drawing from the play time
//   blend       ITransitionBlend   a shadow of one buffer composed into another
// Region and mask classes answer their identifiers with the outer interface
// (the whole plug-in record, tiled forms); the role's own interface comes
// from its GetRole.
#pragma once

#include <windows.h>

#include "aPixBuf.h"
#include "bStorage.h"

// {C0BC2681-1049-11D4-9EEB-00104B04B807}
struct ITransitionMove : public IUnknown {
    STDMETHOD(GetClassID)(CLSID* clsid) = 0;   // 3
    STDMETHOD(Load)(ITeskStream* stream) = 0;  // 4
    STDMETHOD(Save)(ITeskStream* stream) = 0;  // 5
    STDMETHOD(Reserved6)() = 0;                // 6
    // Where the content stands at progress x.
    STDMETHOD(MoveRect)(const RECT* rect, double x, RECT* out) = 0;  // 7
    // The parts of the rectangle that the content leaves uncovered, in an
    // array that the plug-in keeps until its next call.
    STDMETHOD(GetUncoveredRects)
    (const RECT* rect, double x, int* count, const RECT** rects) = 0;  // 8
    STDMETHOD(Reserved9)() = 0;                                        // 9
};
DECLARE_IID(ITransitionMove, 0xC0BC2681, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// The region role itself (reached through ITransitionRegion::GetRole).
struct ITransitionRegionRole : public IUnknown {
    STDMETHOD(Load)(ITeskStream* stream) = 0;  // 3 the role's record only
    STDMETHOD(Save)(ITeskStream* stream) = 0;  // 4
    // The region (caller owns it; null when empty) for progress x on the
    // rectangle, inside the clip (null: the rectangle).
    STDMETHOD(BuildRegion)(HRGN* out, double x, const RECT* rect, const RECT* clip) = 0;  // 5
    STDMETHOD(Reserved6)() = 0;                                                           // 6
    STDMETHOD(Reserved7)() = 0;                                                           // 7
};
DECLARE_IID(ITransitionRegionRole, 0x2219200F, 0x1554, 0x4024, 0xB4, 0x0E, 0xF8, 0x57, 0xD1, 0x27,
            0x7F, 0x94);

// {C0BC2682-1049-11D4-9EEB-00104B04B807}
struct ITransitionRegion : public IUnknown {
    STDMETHOD(GetClassID)(CLSID* clsid) = 0;               // 3
    STDMETHOD(Load)(ITeskStream* stream) = 0;              // 4 tiling record, then the role's
    STDMETHOD(Save)(ITeskStream* stream) = 0;              // 5
    STDMETHOD(GetRole)(ITransitionRegionRole** role) = 0;  // 6
    // The role's region tile by tile, each tile at its local progress.
    STDMETHOD(BuildTiledRegion)(HRGN* out, double x, const RECT* rect, const RECT* clip) = 0;  // 7
};
DECLARE_IID(ITransitionRegion, 0xC0BC2682, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// The mask role itself (reached through ITransitionMask::GetRole).
struct ITransitionMaskRole : public IUnknown {
    STDMETHOD(Load)(ITeskStream* stream) = 0;  // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;  // 4
    // width x height bytes of the rectangle, row by row; the caller frees
    // them with FreeTransitionMask.
    STDMETHOD(BuildMask)(BYTE** out, double x, const RECT* rect, DWORD reserved) = 0;  // 5
    STDMETHOD(Reserved6)() = 0;  // 6 no caller in this system
    STDMETHOD(Reserved7)() = 0;  // 7
};
DECLARE_IID(ITransitionMaskRole, 0x83691965, 0x2426, 0x4ABE, 0x96, 0xF4, 0x3C, 0x4F, 0x61, 0x1C,
            0xBC, 0xD1);

// {C0BC2683-1049-11D4-9EEB-00104B04B807}
struct ITransitionMask : public IUnknown {
    STDMETHOD(GetClassID)(CLSID* clsid) = 0;             // 3
    STDMETHOD(Load)(ITeskStream* stream) = 0;            // 4 tiling record, then the role's
    STDMETHOD(Save)(ITeskStream* stream) = 0;            // 5
    STDMETHOD(GetRole)(ITransitionMaskRole** role) = 0;  // 6
    // The mask of the rectangle (0 outside the clip), tile by tile.
    STDMETHOD(BuildTiledMask)(BYTE** out, double x, const RECT* rect, const RECT* clip) = 0;  // 7
    // target = (target * m + source * (256 - m)) / 256 inside clip and rect;
    // the mask's rows are the rectangle's width apart.
    STDMETHOD(ApplyMask)
    (IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask, double progress,
     const RECT* rect, const RECT* clip) = 0;  // 8
    STDMETHOD(ApplyTiledMask)
    (IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask, double progress,
     const RECT* rect, const RECT* clip) = 0;  // 9
};
DECLARE_IID(ITransitionMask, 0xC0BC2683, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// {C0BC2684-1049-11D4-9EEB-00104B04B807}
struct ITransitionDecor : public IUnknown {
    STDMETHOD(GetClassID)(CLSID* clsid) = 0;                                    // 3
    STDMETHOD(Load)(ITeskStream* stream) = 0;                                   // 4
    STDMETHOD(Save)(ITeskStream* stream) = 0;                                   // 5
    STDMETHOD(Reserved6)() = 0;                                                 // 6
    STDMETHOD(Draw)(IPixelBuffer* target, const RECT* rect, DWORD timeMs) = 0;  // 7
};
DECLARE_IID(ITransitionDecor, 0xC0BC2684, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// {C0BC2642-1049-11D4-9EEB-00104B04B807}
struct ITransitionBlend : public IUnknown {
    STDMETHOD(GetClassID)(CLSID* clsid) = 0;  // 3
    STDMETHOD(Reserved4)() = 0;               // 4
    // The shadow of source composed with source into target, which must have
    // the size of GetOutputRect of the source.
    STDMETHOD(Render)(IPixelBuffer* source, IPixelBuffer* target) = 0;  // 5
    STDMETHOD(GetOutputRect)(const RECT* in, RECT* out) = 0;            // 6
    STDMETHOD(Load)(ITeskStream* stream) = 0;                           // 7
    STDMETHOD(Save)(ITeskStream* stream) = 0;                           // 8
    STDMETHOD(Reserved9)() = 0;                                         // 9
    // Takes the parameters from another object's shadow properties.
    STDMETHOD(CopyFrom)(IUnknown* other) = 0;  // 10
};
DECLARE_IID(ITransitionBlend, 0xC0BC2642, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// The primary interface of every plug-in: its parameters by index, in the
// order of its record (move: kind; region 3: type, reverse; region 4:
// sectors, start, reverse; dissolve: random, softness; masks 6, 7, 10:
// kind, reverse; mask 8: kind, count, start, twist, flags; mask 9: kind;
// decorations: corner or direction, colour; blend: colour, angle,
// softness, distance, spread). Setters check their ranges.
struct ITransitionParams : public IUnknown {
    STDMETHOD(SetParam)(int index, double value) = 0;   // 3
    STDMETHOD(GetParam)(int index, double* value) = 0;  // 4
};
DECLARE_IID(ITransitionParams, 0xF422C224, 0x4990, 0x483C, 0xAC, 0xEA, 0x8D, 0xC4, 0xBA, 0xFB, 0xDD,
            0x39);

// Tiling of region and mask plug-ins: columns x rows tiles started in an
// order, each with overlap of its neighbours' time.
struct TransitionTiling {
    DWORD columns;   // 1
    DWORD rows;      // 1
    double overlap;  // 1.0
    DWORD order;     // 0 all at once .. 9 random
    DWORD reverse;   // 0
};

// {89E39038-593C-44A6-A692-3CEB4846805B}
struct ITransitionTiling : public IUnknown {
    STDMETHOD(SetTiling)(const TransitionTiling* tiling) = 0;  // 3
    STDMETHOD(GetTiling)(TransitionTiling* tiling) = 0;        // 4
};
DECLARE_IID(ITransitionTiling, 0x89E39038, 0x593C, 0x44A6, 0xA6, 0x92, 0x3C, 0xEB, 0x48, 0x46, 0x80,
            0x5B);

// The shadow-properties interface whose values CopyFrom takes.
// {7CF35A62-7096-11D3-B459-00A0C991E1C1}
struct IShadowProperties : public IUnknown {
    STDMETHOD(GetColor)(DWORD* color) = 0;    // 3
    STDMETHOD(GetAngle)(int* degrees) = 0;    // 4
    STDMETHOD(GetSoftness)(int* pixels) = 0;  // 5
    STDMETHOD(GetDistance)(int* pixels) = 0;  // 6
    STDMETHOD(GetSpread)(int* percent) = 0;   // 7
};
DECLARE_IID(IShadowProperties, 0x7CF35A62, 0x7096, 0x11D3, 0xB4, 0x59, 0x00, 0xA0, 0xC9, 0x91, 0xE1,
            0xC1);

// Class identifiers of the thirteen plug-ins, in registration order.
extern const CLSID CLSID_TransMove;       // 1 slide or grow
extern const CLSID CLSID_TransWipe;       // 2 straight and diagonal wipes
extern const CLSID CLSID_TransShape;      // 3 bands, boxes, ellipses, ...
extern const CLSID CLSID_TransClock;      // 4 clock (fan) wipe
extern const CLSID CLSID_TransDissolve;   // 5 8 x 8 dissolve
extern const CLSID CLSID_TransRamp;       // 6 linear ramps
extern const CLSID CLSID_TransShapeRamp;  // 7 shape ramps
extern const CLSID CLSID_TransSpiral;     // 8 clock and spiral ramps
extern const CLSID CLSID_TransFade;       // 9 uniform fade
extern const CLSID CLSID_TransSine;       // 10 sine patterns
extern const CLSID CLSID_TransStars;      // 11 twinkling corner stars
extern const CLSID CLSID_TransEdge;       // 12 moving patterned edge
extern const CLSID CLSID_TransShadow;     // 13 drop shadow

enum { TRANSITION_CLASS_COUNT = 13 };
// The class identifier of plug-in number 1..13, or null.
const CLSID* TransitionClassId(int number);
// Creates plug-in number 1..13 and queries it for iid.
HRESULT CreateTransitionPlugin(int number, REFIID iid, void** out);
// The same by class identifier; CLASS_E_CLASSNOTAVAILABLE for others.
HRESULT CreateTransitionPluginByClsid(REFCLSID clsid, REFIID iid, void** out);

// Masks are allocated by the plug-ins and freed by their callers.
BYTE* AllocTransitionMask(size_t bytes);
void FreeTransitionMask(BYTE* mask);

// Tile order of tile (column, row): its local progress at x.
double TileProgress(const TransitionTiling& tiling, int column, int row, double x,
                    const int* randomOrder);

// The monochrome pattern bitmaps of the moving edge (columns 6112, rows
// 6111), made in memory: 0 bits take the colour, 1 bits keep the target.
HBITMAP LoadEdgeBitmap(int id);
