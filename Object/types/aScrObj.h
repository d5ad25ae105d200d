// ScrollBarObject: a page control that shows and edits an integer between a
// minimum and a maximum: a scroll bar with arrows, a fixed-size slider, a
// thin-track slider, a progress bar or a round knob. It may follow a row of
// another object's event-sink table and set that row when moved; pressed
// arrows and track repeat on the ability's clock.
#pragma once

#include <memory>
#include <string>

#include "aObjClass.h"

struct FillObject;

// Kinds, in the order of their type ids.
enum ScrollKind {
    SCROLLKIND_FIXEDSLIDER = 0,
    SCROLLKIND_SCROLL = 1,
    SCROLLKIND_PROGRESS = 2,
    SCROLLKIND_SLIDER = 3,
    SCROLLKIND_KNOB = 4
};
// What the pointer holds.
enum ScrollPress {
    SCROLLPRESS_NONE = 0,
    SCROLLPRESS_ARROW1 = 1,
    SCROLLPRESS_ARROW2 = 2,
    SCROLLPRESS_THUMB = 3,
    SCROLLPRESS_TRACK = 4
};
// Arrow directions.
enum ScrollArrowDir {
    SCROLLDIR_UP = 1,
    SCROLLDIR_DOWN = 2,
    SCROLLDIR_LEFT = 3,
    SCROLLDIR_RIGHT = 4
};

// One of the four parts. Arrows also use the pressed fill and the
// direction, the thumb the two alpha values.
struct ScrollPart {
    enum Role { ARROW, TRACK, THUMB };
    explicit ScrollPart(Role role);
    ~ScrollPart();
    ScrollPart(const ScrollPart&) = delete;
    ScrollPart& operator=(const ScrollPart&) = delete;
    bool Ok() const { return fill && (role != ARROW || pressedFill); }
    HRESULT Load(ITeskStream* stream);
    HRESULT Save(ITeskStream* stream) const;

    Role role;
    RECT rect;  // relative to the object's top-left
    LONG visible, bevel;
    COLORREF light, shadow, face, dark;
    FillObject* fill;
    FillObject* pressedFill;
    LONG direction;
    LONG alphaStart, alphaEnd;
};

class ScrollBarObject : public ScrollBarObjectClass<ScrollBarObject> {
public:
    ScrollBarObject();
    ~ScrollBarObject() override;
    HRESULT SetUp();

    // ---- IScrollBarDispObj ----
    STDMETHOD(get_ObjMaxValue)(LONG* out) override { return Get(out, m_max); }
    STDMETHOD(put_ObjMaxValue)(LONG v) override;
    STDMETHOD(get_ObjMinValue)(LONG* out) override { return Get(out, m_min); }
    STDMETHOD(put_ObjMinValue)(LONG v) override;
    STDMETHOD(get_ObjValue)(LONG* out) override { return Get(out, m_value); }
    STDMETHOD(put_ObjValue)(LONG v) override;
    STDMETHOD(get_ObjPageValue)(LONG* out) override { return Get(out, m_page); }
    STDMETHOD(put_ObjPageValue)(LONG v) override;
    STDMETHOD(Step)(LONG forward) override;
    STDMETHOD(Page)(LONG forward) override;
    STDMETHOD(get_ObjOwnerDraw)(LONG* out) override { return Get(out, m_bevel); }
    STDMETHOD(put_ObjOwnerDraw)(LONG v) override;

    // ---- IScrollBarDispObjEx ----
    STDMETHOD(GetVertical)(LONG* out) override { return Get(out, m_vertical); }
    STDMETHOD(SetVertical)(LONG v) override;
    STDMETHOD(GetKind)(LONG* out) override { return Get(out, m_kind); }
    STDMETHOD(SetKind)(LONG kind) override;
    STDMETHOD(GetTrackFill)(IUnknown** out) override { return GiveFill(m_track->fill, out); }
    STDMETHOD(GetThumbFill)(IUnknown** out) override { return GiveFill(m_thumb->fill, out); }
    STDMETHOD(GetArrow2PressedFill)(IUnknown** out) override {
        return GiveFill(m_arrow2->pressedFill, out);
    }
    STDMETHOD(GetArrow2Fill)(IUnknown** out) override { return GiveFill(m_arrow2->fill, out); }
    STDMETHOD(GetArrow1PressedFill)(IUnknown** out) override {
        return GiveFill(m_arrow1->pressedFill, out);
    }
    STDMETHOD(GetArrow1Fill)(IUnknown** out) override { return GiveFill(m_arrow1->fill, out); }
    STDMETHOD(GetLinkRow)(BSTR* out) override;
    STDMETHOD(SetLinkRow)(BSTR name) override;
    STDMETHOD(GetLinkObject)(BSTR* out) override;
    STDMETHOD(SetLinkObject)(BSTR name) override;
    STDMETHOD(GetLinked)(LONG* out) override { return Get(out, m_linked); }
    STDMETHOD(SetLinked)(LONG v) override;
    STDMETHOD(OnSinkNotify)(IEventSinkTable* sink, LONG flags) override;

    // ---- object base, render, event and ability parts ----
    STDMETHOD(Init)(ObjectCreationRecord* record) override;
    STDMETHOD(InvalidateBounds)(IPixelBuffer* target) override;
    STDMETHOD_(int, HitTestPoint)(LONG x, LONG y) override;
    STDMETHOD_(int, TestRegion)(HRGN) override { return 0; }
    STDMETHOD(UnionInvalid)() override;
    STDMETHOD(CollectFiles)(IFileCollector* collector) override;
    STDMETHOD(OnChange)(int code) override;
    STDMETHOD(BeforeEnter)() override;
    STDMETHOD(BeforeExit)() override;
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    STDMETHOD(OnClock)() override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;
    STDMETHOD(LoadExtension)(ITeskStream* stream) override;
    STDMETHOD(SaveExtension)(ITeskStream* stream) override;

    // Stops a running repeat.
    void StopRepeat();
    // The parts after laying out and placing the thumb (relative rectangles).
    const ScrollPart& Arrow1() { return Placed(*m_arrow1); }
    const ScrollPart& Arrow2() { return Placed(*m_arrow2); }
    const ScrollPart& Track() { return Placed(*m_track); }
    const ScrollPart& Thumb() { return Placed(*m_thumb); }
    LONG PressMode() const { return m_pressMode; }
    IEventSinkTable* LinkedSink() const { return m_sink; }
    LONG StepAmount() const { return m_step; }

private:
    static HRESULT GiveFill(FillObject* fill, IUnknown** out);
    const ScrollPart& Placed(const ScrollPart& part) {
        PositionThumb();
        return part;
    }
    void Changed() { this->InvalidateObject(nullptr); }
    void ApplyKind();
    void LayOut();
    void LayOutIfNeeded();
    void PositionThumb();
    // Track length and thumb length along the bar, and the track's start.
    void Measure(LONG* trackLength, LONG* thumbLength, LONG* start) const;
    LONG PointerValue(LONG p) const;
    LONG Along(LONG x, LONG y) const { return m_vertical ? y : x; }
    void SetValue64(long long v);
    bool InObject(LONG x, LONG y) const;
    void OnPress(LONG x, LONG y);
    void OnMove(LONG x, LONG y);
    void OnRelease(LONG x, LONG y);
    void Repeat();
    void Bind();
    void Unbind();
    IUnknown* SinkSelf() {
        return static_cast<IDispatch*>(static_cast<ScrollBarDispDefaults*>(this));
    }
    void DrawPart(HDC dc, IPixelBuffer* target, const ScrollPart& part, const RECT& object,
                  bool sunken, bool pressed);
    void DrawKnob(IPixelBuffer* target, const ScrollPart& part, const RECT& object);

    LONG m_value, m_max, m_min, m_page, m_step;
    LONG m_kind, m_bevel, m_vertical, m_linked;
    std::string m_linkObject, m_linkRow;
    std::unique_ptr<ScrollPart> m_arrow1, m_arrow2, m_track, m_thumb;
    IEventSinkTable* m_sink;
    LONG m_sinkRow;
    LONG m_pressMode, m_pressedInside;
    LONG m_pressX, m_pressY, m_pressValue, m_trackTarget;
    LONG m_laidWidth, m_laidHeight;  // the size the parts were laid out for
};

// Test hook: the left button's state as GetKeyState gives it (the default).
// Returns the old function.
typedef SHORT(WINAPI* PFNSCROLLKEYSTATE)(int key);
PFNSCROLLKEYSTATE SetScrollBarKeyState(PFNSCROLLKEYSTATE fn);

HRESULT CreateScrollBarObject(IUnknown** out);
