// CRenderBase, the drawing part of every object: geometry (centre, size,
// angle, mirror flags), alpha, visibility and state, drawing into the
// caller's pixel buffer with the alpha path, invalidation, hit and region
// tests by polygon arithmetic, and the life-cycle reactions with their events
// and scheduling. The object type supplies its content drawing; ObjectBase
// supplies the object's site, record and event interface.
#pragma once

#include "aEffectRender.h"
#include "aObjItf.h"

class CRenderBase : public II_IRender {
public:
    CRenderBase();
    virtual ~CRenderBase();

    // II_IRender
    STDMETHOD_(LONG, GetHeight)() override { return m_height; }
    STDMETHOD(SetHeight)(LONG h) override;
    STDMETHOD_(LONG, GetWidth)() override { return m_width; }
    STDMETHOD(SetWidth)(LONG w) override;
    STDMETHOD_(LONG, GetXCenter)() override { return m_x; }
    STDMETHOD(SetXCenter)(LONG x) override;
    STDMETHOD_(LONG, GetYCenter)() override { return m_y; }
    STDMETHOD(SetYCenter)(LONG y) override;
    STDMETHOD_(LONG, GetAbsoluteX)() override;
    STDMETHOD_(LONG, GetAbsoluteY)() override;
    STDMETHOD(GetOffsetX)(LONG* out) override;
    STDMETHOD(GetOffsetY)(LONG* out) override;
    STDMETHOD(MoveTo)(LONG x, LONG y) override;
    STDMETHOD(MoveBy)(LONG dx, LONG dy) override;
    STDMETHOD(SetAnchor)(LONG x, LONG y) override;
    STDMETHOD(OffsetBounds)(LONG dx, LONG dy) override;
    STDMETHOD_(LONG, GetAngle)() override { return m_angle; }
    STDMETHOD(SetAngle)(LONG a) override;
    STDMETHOD(AddAngle)(LONG d) override;
    STDMETHOD(RotateBy)(LONG d) override;
    STDMETHOD(Draw)(IPixelBuffer* target) override;
    STDMETHOD(InvalidateBounds)(IPixelBuffer* target) override;
    STDMETHOD_(int, HitTestPoint)(LONG x, LONG y) override;
    STDMETHOD(SetVisible)(BOOL on) override;
    STDMETHOD_(int, IsVisible)() override { return (m_flags & RF_VISIBLE) ? 0 : 1; }
    STDMETHOD_(int, IsActive)() override;
    STDMETHOD(SetState)(int state) override;
    STDMETHOD_(int, GetState)() override { return m_state; }
    STDMETHOD(Deactivate)() override;
    STDMETHOD_(int, TestRegion)(HRGN region) override;
    STDMETHOD(GetBoundsRect)(RECT* out) override;
    STDMETHOD(GetTransformedBounds)(RECT* out) override;
    STDMETHOD(GetTransition)(int which, IUnknown** out) override;
    STDMETHOD(GetEffect)(IUnknown** out) override;
    STDMETHOD(GetAttachedPart)(IUnknown** out) override;
    STDMETHOD(Reserved38)() override { return S_OK; }
    STDMETHOD(UnionInvalid)() override;
    STDMETHOD(SetFlag8)(BOOL on) override;
    STDMETHOD_(int, IsFlag8)() override { return (m_flags & RF_FLAG8) ? 0 : 1; }
    STDMETHOD_(int, IsFlag16)() override { return (m_flags & RF_FLAG16) ? 0 : 1; }
    STDMETHOD(Reserved43)() override { return S_OK; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}
    STDMETHOD(GetSite)(IPlayerSite** out) override;
    STDMETHOD(CreateParts)(ObjectCreationRecord* record) override;
    STDMETHOD_(LONG, GetStoredWidth)() override { return m_storedWidth; }
    STDMETHOD_(LONG, GetStoredHeight)() override { return m_storedHeight; }
    STDMETHOD(ResetLayout)() override;
    STDMETHOD_(int, GetAlpha)() override { return m_alpha; }
    STDMETHOD(SetAlpha)(int alpha) override;
    STDMETHOD_(LONG, GetRotation)() override { return m_angle / 100; }
    STDMETHOD(SetRotation)(LONG degrees) override;
    STDMETHOD_(int, PrepareDraw)(IPixelBuffer* target) override;
    STDMETHOD(CollectFiles)(IFileCollector* collector) override;
    STDMETHOD(Reserved56)() override { return E_NOTIMPL; }
    STDMETHOD(OnEnter)() override;
    STDMETHOD(OnHold)() override;
    STDMETHOD(OnLeave)() override;
    STDMETHOD(OnExit)() override;
    STDMETHOD(OnTick)(int arg) override;
    STDMETHOD(OnNotify)(int code) override;
    STDMETHOD(Refresh)() override { return OnChange(0); }
    STDMETHOD(Invalidate)(const RECT* rect) override;
    STDMETHOD(OnGeometryChanged)(const RECT* before, const RECT* after, int code) override;
    STDMETHOD(OnAngleChanged)(LONG) override { return S_OK; }
    STDMETHOD(OnChange)(int) override { return S_OK; }
    STDMETHOD(BeforeEnter)() override { return S_OK; }
    STDMETHOD(BeforeHold)() override { return S_OK; }
    STDMETHOD(BeforeLeave)() override { return S_OK; }
    STDMETHOD(BeforeExit)() override { return S_OK; }
    STDMETHOD(BeginChange)(RECT* save) override;
    STDMETHOD(EndChange)(const RECT* saved) override;

    // The render record of the object stream, with the parts it announces.
    HRESULT LoadRender(ITeskStream* stream);
    // The four corners after rotation and mirroring.
    void GetCorners(POINT corners[4]) const;
    // The path-motion slot that the built-in ability "PathAnimate" binds.
    IUnknown** PathMotionSlot() { return &m_pathMotion; }
    DWORD Flags() const { return m_flags; }
    const RECT& RegionBounds() const { return m_regionBounds; }

protected:
    // What the render part needs of its object.
    virtual IObjectSite* RenderObjectSite() = 0;
    virtual IObjectEvent* RenderEvent() = 0;
    virtual IUnknown* RenderSelf() = 0;
    virtual IUnknown* RenderParent() = 0;
    virtual LONG RenderSchedule(int which) = 0;  // 1 to 4
    virtual ICursorAbility* RenderCursor() = 0;
    virtual IToolTipProp* RenderToolTip() = 0;
    // The type draws its content at `rect` (logical units of the target).
    virtual HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) = 0;
    // The type's attached part (a media frame), held with a reference; its
    // record follows the render record when the parts word announces it,
    // and the type reads it.
    void AttachPart(IUnknown* part);
    virtual HRESULT LoadAttachedPart(ITeskStream* stream);

    // The show, hide and effect parts' records.
    HRESULT LoadParts(ITeskStream* stream);
    void ReleaseParts();
    void DoEnter();
    void DoHold();
    void DoLeave();
    void DoExit(bool withEvent);
    void Fire(DWORD id);
    void ScheduleStep(DWORD code, long long due);
    DWORD PageClock();
    void SetGeometry(LONG* field, LONG value, int code);
    HRESULT DrawAlpha(IPixelBuffer* target, const RECT& bounds);
    HRESULT DrawTransition(IPixelBuffer* target, const RECT& bounds, IEffectRender* transition,
                           double progress);
    void StartTransition(IEffectRender* transition, IAbility* clock, LONG duration);
    void StopTransition(IEffectRender* transition);

    LONG m_storedAngle;
    LONG m_storedX, m_storedY;
    LONG m_storedWidth, m_storedHeight;
    DWORD m_flags;
    LONG m_angle;
    LONG m_x, m_y;
    LONG m_width, m_height;
    int m_alpha;
    IEffectRender* m_showTransition;
    IEffectRender* m_hideTransition;
    IDecorRender* m_effect;
    IUnknown* m_attached;
    IUnknown* m_pathMotion;
    RECT m_invalid;
    RECT m_regionBounds;
    int m_state;
    long long m_enterTime;
    long long m_leaveTime;
    int m_busy;
    IPixelBuffer* m_alphaBuffer;  // kept between draws of the alpha path
    IAbility* m_showClock;        // the transitions' clocks on the page sequencer
    IAbility* m_hideClock;
    IAbility* m_effectClock;
    bool m_effectAttached;  // the effect part takes the object's events while it holds
    // What the show, hide and effect parts draw for: this render.
    struct Target : IRenderTarget {
        HRESULT GetRect(RECT* rect) override { return owner->GetBoundsRect(rect); }
        HRESULT Redraw(const RECT* rect) override { return owner->Invalidate(rect); }
        HRESULT Invalidate(const RECT* rect) override { return owner->Invalidate(rect); }
        CRenderBase* owner = nullptr;
    } m_target;
};

// Point-in-polygon by the winding rule (edges of the closed polygon).
bool PointInPolygonWinding(const POINT* points, int count, LONG x, LONG y);
// Whether a convex or concave polygon and a rectangle share area.
bool PolygonTouchesRect(const POINT* points, int count, const RECT& rect);
