// DrawBoardObject: a page object scripts draw on at run time (points, lines,
// rectangles, ellipses, texts and curves of an expression), each call adding
// one shape with the drawing settings of that moment to the board's frame.
// Shapes are kept relative to the object's centre.
#pragma once

#include <string>

#include "aMFrame.h"
#include "aObjClass.h"
#include "aVecFrm.h"

class CMetaBase;

// Board coordinates given to a curve are stepped in 64 bits; one call draws
// at most this many pieces.
enum { DRAWBOARD_MAX_CURVE_PIECES = 65536 };

class DrawBoardObject : public DrawBoardObjectClass<DrawBoardObject> {
public:
    DrawBoardObject();
    ~DrawBoardObject() override;
    HRESULT SetUp();

    // ---- IDrawBoardDispObj ----
    STDMETHOD(SetUpdateMode)(LONG directly) override;
    STDMETHOD(SetLineStyle)(LONG style) override;
    STDMETHOD(SetLineColor)(LONG color) override;
    STDMETHOD(SetLineBkColor)(LONG color) override;
    STDMETHOD(SetLineWidth)(LONG width) override;
    STDMETHOD(SetFillMode)(LONG mode) override;
    STDMETHOD(SetFillType)(LONG type) override;
    STDMETHOD(SetFillColor)(LONG color) override;
    STDMETHOD(SetFillColor2)(LONG color) override;
    STDMETHOD(SetFontName)(BSTR face) override;
    STDMETHOD(SetFontProp)(LONG italic, LONG bold, LONG underline) override;
    STDMETHOD(SetFontSize)(LONG points) override;
    STDMETHOD(SetTextColor)(LONG color) override;
    STDMETHOD(DrawPixel)(LONG x, LONG y) override;
    STDMETHOD(DrawLine)(LONG x1, LONG y1, LONG x2, LONG y2) override;
    STDMETHOD(DrawRect)(LONG x1, LONG y1, LONG x2, LONG y2) override;
    STDMETHOD(DrawEllipse)(LONG x1, LONG y1, LONG x2, LONG y2) override;
    STDMETHOD(DrawLineCurve)(BSTR function, LONG x1, LONG x2, LONG dx) override;
    STDMETHOD(DrawPixelCurve)(BSTR function, LONG x1, LONG x2, LONG dx) override;
    STDMETHOD(DrawText)(LONG x, LONG y, BSTR text) override;
    STDMETHOD(Erase)(INT index) override;
    STDMETHOD(EraseLast)() override;
    STDMETHOD(EraseAll)() override;
    STDMETHOD(OffsetMeta)(INT index, INT dx, INT dy) override;
    STDMETHOD(Update)() override;
    STDMETHOD(get_ObjOrgX)(LONG* out) override { return Get(out, m_orgX); }
    STDMETHOD(put_ObjOrgX)(LONG v) override;
    STDMETHOD(get_ObjOrgY)(LONG* out) override { return Get(out, m_orgY); }
    STDMETHOD(put_ObjOrgY)(LONG v) override;
    STDMETHOD(get_ObjMetaPosX)(INT index, LONG* out) override;
    STDMETHOD(put_ObjMetaPosX)(INT index, LONG v) override;
    STDMETHOD(get_ObjMetaPosY)(INT index, LONG* out) override;
    STDMETHOD(put_ObjMetaPosY)(INT index, LONG v) override;
    STDMETHOD(get_ObjCount)(LONG* out) override;
    STDMETHOD(HitTestMeta)(LONG x, LONG y, LONG* index) override;

    // ---- render part ----
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;
    STDMETHOD(OnGeometryChanged)(const RECT* before, const RECT* after, int code) override;

    // Drawing settings, kept value, frame.
    HRESULT LoadKind(ITeskStream* stream);
    HRESULT SaveKind(ITeskStream* stream);

    CMetaEnv* Env() const { return m_env; }
    CVecFrame* Frame() const { return m_vecFrame; }
    IMediaFrame* MediaFrame() const { return m_frame; }
    int KeptValue() const { return m_kept; }
    COLORREF TextColor() const { return m_textColor; }

protected:
    HRESULT LoadAttachedPart(ITeskStream* stream) override;

private:
    // What the frame and its metas ask of the board.
    struct Owner final : IVecFrameOwner, IMetaEnv {
        void ToOwnerPoints(POINT* points, int n) override;
        void FromOwnerPoints(POINT* points, int n) override;
        HRESULT OwnerHitTest(POINT point) override;
        HRESULT GetOwnerRect(RECT* rect) override;
        HRESULT GetOwnerCenter(POINT* centre) override;
        int GetOwnerDegree() override;
        CMetaEnv* GetOwnerEnv() override { return board->m_env; }
        IMetaEnv* GetMetaEnv() override { return this; }
        IPlayerSite* GetPlaySite() override { return board->ClassSite(); }
        BOOL IgnoresUnfilledArea() override { return FALSE; }
        void GetEditState(MetaEditState* state) override;
        BOOL GetMediaFolder(char* folder, size_t size) override;
        DrawBoardObject* board = nullptr;
    } m_owner;

    // Board coordinates to meta coordinates and back.
    POINT ToMeta(LONG x, LONG y);
    POINT FromMeta(POINT p);
    void BoardArea(RECT* area);
    HRESULT AddShape(int kind, const POINT* points, int n);
    HRESULT DrawCurve(BSTR function, LONG x1, LONG x2, LONG dx, bool lines);
    void Changed();
    // The rectangle shapes are drawn relative to: DrawContent's while it
    // draws, else the object's bounds.
    RECT OwnerRect();

    CMetaEnv* m_env;
    CVecFrame* m_vecFrame;
    IMediaFrame* m_frame;
    int m_kept;
    LONG m_orgX, m_orgY;
    LONG m_updateMode;
    COLORREF m_textColor;
    const RECT* m_drawRect;
};

HRESULT CreateDrawBoardObject(IUnknown** out);
