// ButtonObject: the page's clickable control, one class for push, two- and
// three-value buttons, check boxes and radio buttons. A button draws one of
// four looks of its value from a face (a fill with a chain of image
// effects), a caption through its text object and, for check boxes and radio
// buttons, a small glyph; a click advances the value.
#pragma once

#include <vector>

#include "aObjClass.h"

struct FillObject;
struct FontObject;
struct ITransitionBlend;

// Looks of a value.
enum ButtonLook { LOOK_NORMAL = 0, LOOK_PRESSED = 1, LOOK_HOT = 2, LOOK_DISABLED = 3 };
// Kinds.
enum ButtonType { BTNTYPE_BUTTON = 0, BTNTYPE_CHECK = 1, BTNTYPE_RADIO = 2 };
// Flag bits.
enum ButtonFlags : LONG { BTNFLAG_ENABLED = 1, BTNFLAG_FRAME = 2, BTNFLAG_ALIGN = 0x1C };
// Base string ids of the style names per type.
enum { BUTTON_STYLE_NAMES = 25406, BUTTON_STYLE_COUNT = 5 };

// One face: a fill and its image effects, owned.
struct ButtonFace {
    ButtonFace();
    ~ButtonFace();
    ButtonFace(const ButtonFace&) = delete;
    ButtonFace& operator=(const ButtonFace&) = delete;
    FillObject* fill;
    std::vector<ITransitionBlend*> effects;
};

class ButtonObject : public ButtonObjectClass<ButtonObject> {
public:
    ButtonObject();
    ~ButtonObject() override;
    HRESULT SetUp();

    // ---- IButtonDispObj ----
    STDMETHOD(get_ObjMaxValue)(LONG* out) override { return Get(out, m_maxValue); }
    STDMETHOD(get_ObjValue)(LONG* out) override { return Get(out, m_value); }
    STDMETHOD(put_ObjValue)(LONG v) override;
    STDMETHOD(get_ObjEnable)(LONG* out) override { return Get(out, m_flags & BTNFLAG_ENABLED); }
    STDMETHOD(put_ObjEnable)(LONG v) override;
    STDMETHOD(get_ObjDrawFrame)(LONG* out) override {
        return Get(out, (m_flags & BTNFLAG_FRAME) ? 1 : 0);
    }
    STDMETHOD(put_ObjDrawFrame)(LONG v) override;
    STDMETHOD(get_ObjType)(LONG* out) override { return Get(out, m_type); }
    STDMETHOD(get_ObjMaxType)(LONG* out) override { return Get(out, 2); }
    STDMETHOD(get_ObjStyle)(LONG* out) override { return Get(out, m_style); }
    STDMETHOD(put_ObjStyle)(LONG v) override;
    STDMETHOD(get_ObjMaxStyle)(INT type, LONG* out) override {
        return Get(out, type >= 0 && type <= 2 ? BUTTON_STYLE_COUNT - 1 : 0);
    }
    STDMETHOD(get_ObjFrameColor)(LONG* out) override { return Get(out, (LONG)m_frameColor); }
    STDMETHOD(put_ObjFrameColor)(LONG v) override;
    STDMETHOD(get_ObjTextAlign)(LONG* out) override { return Get(out, (m_flags >> 2) & 7); }
    STDMETHOD(put_ObjTextAlign)(LONG v) override;
    STDMETHOD(get_ObjTextContent)(BSTR* out) override;
    STDMETHOD(put_ObjTextContent)(BSTR text) override;
    STDMETHOD(get_ObjTextColor)(LONG* out) override;
    STDMETHOD(put_ObjTextColor)(LONG v) override;

    // ---- private operations ----
    STDMETHOD(GetLook)(LONG* out) override { return Get(out, Look()); }
    STDMETHOD(SetMaxValue)(LONG n) override;
    STDMETHOD(GetFace)(LONG value, LONG look, ButtonFace** out) override;
    STDMETHOD(GetStyleName)(LONG style, BSTR* out) override;
    STDMETHOD(RenderFacePreview)
    (LONG width, LONG height, ButtonFace* face, IPixelBuffer** out) override;

    // ---- object base, render and event parts ----
    STDMETHOD(Init)(ObjectCreationRecord* record) override;
    // The content drawn into the target at the bounds, as Draw does at alpha
    // 255 without a transition.
    STDMETHOD(InvalidateBounds)(IPixelBuffer* target) override;
    STDMETHOD_(int, HitTestPoint)(LONG x, LONG y) override;
    STDMETHOD_(int, TestRegion)(HRGN) override { return IsVisible(); }
    STDMETHOD(GetBoundsRect)(RECT* out) override;
    STDMETHOD(CollectFiles)(IFileCollector* collector) override;
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;
    STDMETHOD(LoadExtension)(ITeskStream* stream) override;
    STDMETHOD(SaveExtension)(ITeskStream* stream) override;

    int Look() const;
    int FaceCount() const { return (int)m_faces.size(); }
    LONG Hot() const { return m_hot; }
    LONG Released() const { return m_released; }
    // The caption object, to change: composed faces are no longer reused.
    FontObject* Caption() {
        m_lent = true;
        return m_caption;
    }

private:
    ButtonFace* FaceAt(int entry) const;
    HRESULT NewDefaultFaces();
    void ClearFaces();
    HRESULT ResizeFaces(int count);
    void Advance();
    HRESULT LoadFace(ITeskStream* stream, ButtonFace* face);
    // Draws the face into a buffer of the target's kind, w x h.
    IPixelBuffer* DrawFace(ButtonFace* face, int w, int h, IPixelBuffer* model);
    IPixelBuffer* DrawCaption(int w, int h, IPixelBuffer* model);
    IPixelBuffer* ApplyEffects(ButtonFace* face, IPixelBuffer* buffer, RECT* rect);
    void Changed() { this->InvalidateObject(nullptr); }
    // A face or the caption changed in a way the fields do not show.
    void Restyled();

    // What a composed face was drawn from: a draw with the same key copies
    // the composed face instead of drawing it again.
    struct FaceKey {
        const ButtonFace* face;
        int w, h;
        LONG type, style, flags, value;
        COLORREF frameColor;
        IPlayerSite* site;
        unsigned stamp;
        bool operator==(const FaceKey& o) const {
            return face == o.face && w == o.w && h == o.h && type == o.type && style == o.style &&
                   flags == o.flags && value == o.value && frameColor == o.frameColor &&
                   site == o.site && stamp == o.stamp;
        }
    };
    void DropComposedFace();

    LONG m_value, m_maxValue, m_flags, m_type, m_style;
    COLORREF m_frameColor;
    FontObject* m_caption;
    std::vector<ButtonFace*> m_faces;
    std::vector<LONG> m_alias;  // -1: the entry's own face
    LONG m_hot, m_released;
    // The last face composed for a GDI target (effects applied), and its key.
    IPixelBuffer* m_composed;
    FaceKey m_composedKey;
    unsigned m_stamp;  // counts the changes of Restyled
    // A face or the caption was handed out to be changed: nothing is reused.
    bool m_lent;
};

// Test and benchmark hook: false draws every face anew. Returns the old value.
bool SetButtonFaceReuse(bool enable);

// The shape cut of a push-type style on a w x h buffer of 0xAARRGGBB
// pixels: outside 0x00FFFFFF, the edge faded.
void CutButtonShape(DWORD* pixels, int pitchPixels, int w, int h, int style);
// The hit test of a push-type style for a point relative to the top-left
// corner of a w x h rectangle.
bool ButtonShapeHit(int style, int w, int h, LONG x, LONG y);

HRESULT CreateButtonObject(IUnknown** out);
