// PictureObject: one picture of the project's media inside the object's
// rectangle, fitted to it (auto zoom) or at a zoom ratio with a movable
// visible window, with an optional transparent colour or colour range. The
// picture comes from a named media item or from a database field.
#pragma once

#include "aMFrame.h"
#include "aObjClass.h"
#include "bPicBase.h"

// Flag bits of the picture object.
enum PictureFlags : DWORD {
    PICFLAG_NOT_PROPORTIONAL = 0x0002,
    PICFLAG_AUTOZOOM = 0x0004,
    PICFLAG_KEYMODE = 0x00F0,  // transparency mode 0-3
    PICFLAG_KEYSHIFT = 4,
};
// Transparency modes.
enum PictureKeyMode { PICKEY_NONE = 0, PICKEY_COLOR = 1, PICKEY_RANGE = 2, PICKEY_TOLERANCE = 3 };
// Rows of the event-sink table.
enum { PICROW_WIDTH = 0, PICROW_HEIGHT = 1 };
// Row arguments: what changed.
enum { SINKARG_VALUE = 16, SINKARG_VALUE_AND_MAXIMUM = 17 };

class PictureObject : public PictureObjectClass<PictureObject> {
public:
    PictureObject();
    ~PictureObject() override;
    HRESULT SetUp();

    // ---- IPictureDispObj ----
    STDMETHOD(get_ObjMediaName)(BSTR* out) override;
    STDMETHOD(put_ObjMediaName)(BSTR name) override;
    STDMETHOD(get_ObjMediaWidth)(LONG* out) override { return Get(out, m_mediaWidth); }
    STDMETHOD(get_ObjMediaHeight)(LONG* out) override { return Get(out, m_mediaHeight); }
    STDMETHOD(get_ObjMuti)(LONG* out) override { return Get(out, m_ratio); }
    STDMETHOD(put_ObjMuti)(LONG ratio) override;
    STDMETHOD(get_ObjSameProportion)(LONG* out) override {
        return Get(out, (m_flags & PICFLAG_NOT_PROPORTIONAL) ? 0 : 1);
    }
    STDMETHOD(put_ObjSameProportion)(LONG on) override;
    STDMETHOD(MultipleObj)(LONG ratio, LONG x, LONG y) override;
    STDMETHOD(get_ObjClipTop)(LONG* out) override { return Get(out, m_clipTop); }
    STDMETHOD(put_ObjClipTop)(LONG v) override;
    STDMETHOD(get_ObjClipLeft)(LONG* out) override { return Get(out, m_clipLeft); }
    STDMETHOD(put_ObjClipLeft)(LONG v) override;
    STDMETHOD(get_ObjAutoZoom)(LONG* out) override {
        return Get(out, (m_flags & PICFLAG_AUTOZOOM) ? 1 : 0);
    }
    STDMETHOD(put_ObjAutoZoom)(LONG on) override;
    STDMETHOD(get_ObjColorKey)(LONG* out) override { return Get(out, KeyMode()); }
    STDMETHOD(put_ObjColorKey)(LONG mode) override;
    STDMETHOD(get_ObjStartColor)(LONG* out) override { return Get(out, (LONG)m_startColor); }
    STDMETHOD(put_ObjStartColor)(LONG c) override { return SetKeyValue(&m_startColor, c); }
    STDMETHOD(get_ObjEndColor)(LONG* out) override { return Get(out, (LONG)m_endColor); }
    STDMETHOD(put_ObjEndColor)(LONG c) override { return SetKeyValue(&m_endColor, c); }
    STDMETHOD(get_ObjColorKeyRange)(LONG* out) override { return Get(out, m_tolerance); }
    STDMETHOD(put_ObjColorKeyRange)(LONG t) override { return SetKeyValue(&m_tolerance, t); }

    // ---- media data, database link, event-sink rows ----
    STDMETHOD(TakeData)(const void* bytes, DWORD count, const char* name) override;
    STDMETHOD(ApplyData)(BOOL mediaFlag, const char* text, const void* extra, int type) override;
    STDMETHOD_(int, IsBadRow)(LONG row) override;
    STDMETHOD(GetRowMaximum)(LONG row, LONG* out) override;
    STDMETHOD(GetRowPageStep)(LONG row, LONG* out) override;
    STDMETHOD(GetRowValue)(LONG row, LONG* out) override;
    STDMETHOD(SetRowValue)(LONG row, LONG value) override;

    // ---- render part ----
    STDMETHOD(OnEnter)() override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;

    // The picture's own record after the shared one.
    HRESULT LoadKind(ITeskStream* stream);

    IMediaFrame* Frame() const { return m_frame; }
    IPixelBuffer* PictureBuffer() const { return m_buffer; }
    // The source window and the destination of a draw at `inner` without
    // auto zoom; false when nothing of the picture is in it.
    bool ZoomWindow(const RECT& inner, RECT* src, RECT* dest) const;

protected:
    // The link's refresh: unlinked, a bind reloads the named item.
    HRESULT DbRefresh(int code) override;
    // The frame's record, announced by the render record.
    HRESULT LoadAttachedPart(ITeskStream* stream) override;

private:
    LONG KeyMode() const { return (LONG)((m_flags & PICFLAG_KEYMODE) >> PICFLAG_KEYSHIFT); }
    HRESULT SetKeyValue(LONG* field, LONG value);
    void ApplyTransparency();
    void ReleaseBuffer();
    LONG FrameWidth() const;
    void ResizeToPicture();
    void FireBoth(LONG argument);
    void Redraw() { this->InvalidateObject(nullptr); }

    // What the picture decoder needs of the play site: its codec list.
    struct CodecSite : IPictureCodecSite {
        STDMETHOD(GetCodecManager)(PictureCodecManager** manager) override;
        PictureObject* owner = nullptr;
    } m_codecSite;

    DWORD m_flags;
    LONG m_mediaWidth, m_mediaHeight;
    LONG m_ratio;
    LONG m_clipLeft, m_clipTop;
    LONG m_startColor, m_endColor, m_tolerance;
    IPixelBuffer* m_buffer;
    IMediaFrame* m_frame;
};

// The colour-key range of a transparency mode, as 0x00RRGGBB; false for
// mode 0 (no key).
bool PictureKeyRange(LONG mode, COLORREF start, COLORREF end, LONG tolerance, DWORD* low,
                     DWORD* high);

HRESULT CreatePictureObject(IUnknown** out);
