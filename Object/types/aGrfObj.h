// GraphObject: a vector drawing of the project's media (a Windows metafile,
// an enhanced metafile or a DXF drawing) inside the object's rectangle, which
// the viewer may zoom and pan when the work allows it. The drawing comes from
// a named media item or from a database field.
#pragma once

#include "aObjClass.h"

// Flag bits of the graphic object.
enum GraphFlags : WORD {
    GRFFLAG_LOADSTATE = 0x0003,  // 3 while an enhanced metafile is held
    GRFFLAG_CLEARED_ON_LOAD = 0x000C,
    GRFFLAG_ZOOM = 0x0010,
    GRFFLAG_CLICKZOOM = 0x0020,
};
// Bits of the second word.
enum GraphStateBits : WORD {
    GRFSTATE_KEEPASPECT = 0x0001,
    GRFSTATE_PRESENT = 0x0002,  // loaded for this page
    GRFSTATE_DRAGGING = 0x0004,
    GRFSTATE_RESIZING = 0x0008,
};
enum { GRAPH_RATIO_MAX = 100000 };

class GraphObject : public GraphObjectClass<GraphObject> {
public:
    GraphObject();
    ~GraphObject() override;

    // ---- IGraphDispObj ----
    STDMETHOD(get_ObjMediaName)(BSTR* out) override;
    STDMETHOD(put_ObjMediaName)(BSTR name) override;
    STDMETHOD(get_ObjSizeRatio)(LONG* out) override { return Get(out, m_ratio); }
    STDMETHOD(put_ObjSizeRatio)(LONG ratio) override;
    STDMETHOD(ScrollBy)(LONG dx, LONG dy) override;

    // ---- media data, database link ----
    STDMETHOD(TakeData)(const void* bytes, DWORD count, const char* name) override;
    STDMETHOD(ApplyData)(BOOL mediaFlag, const char* text, const void* extra, int type) override;

    // ---- render and event parts ----
    STDMETHOD(OnEnter)() override;
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;

    // The graphic's own record after the shared one.
    HRESULT LoadKind(ITeskStream* stream);

    // Sets the media by name; an empty name or a zero flag does nothing.
    HRESULT SetMediaByName(const char* name, BOOL flag);
    // An editor's resize through `handle` (1-11) to `width` x `height`: with
    // the keep-aspect bit the other side follows the drawing's aspect.
    void KeepAspect(int handle, LONG* width, LONG* height);

    WORD Flags() const { return m_flags; }
    WORD State() const { return m_state; }
    HENHMETAFILE MetaFile() const { return m_meta; }
    POINT ViewOrigin() const { return {m_viewX, m_viewY}; }
    const RECT& FrameRect() const { return m_frameRect; }
    // The box the drawing is played into for the object's rectangle.
    RECT PlayBox(const RECT& rect) const;
    void SetFlags(WORD flags) { m_flags = flags; }

protected:
    HRESULT DbRefresh(int code) override;

private:
    void DeleteMeta();
    void ResetView();
    void Pan(long long dx, long long dy);
    void Redraw() { this->InvalidateObject(nullptr); }
    bool ZoomAllowed() const { return (m_flags & GRFFLAG_ZOOM) != 0; }
    bool ClickZoomAllowed() const {
        return (m_flags & (GRFFLAG_ZOOM | GRFFLAG_CLICKZOOM)) == (GRFFLAG_ZOOM | GRFFLAG_CLICKZOOM);
    }

    WORD m_flags;
    WORD m_state;
    HENHMETAFILE m_meta;
    LONG m_viewX, m_viewY;
    LONG m_ratio;
    LONG m_dragX, m_dragY;
    RECT m_frameRect;
};

// The frame of an enhanced metafile's header in pixels of a screen with the
// given sizes (millimetres) and resolutions (pixels).
RECT MetaFramePixels(const RECTL& frame, int horzSize, int horzRes, int vertSize, int vertRes);

HRESULT CreateGraphObject(IUnknown** out);
