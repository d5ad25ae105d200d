#include "aGrfObj.h"

#include <string.h>

#include <math.h>

#include <algorithm>

#include "bMediaManager.h"
#include "bMetaFile.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bTraceLog.h"

namespace {

// Longest media name a record may carry, in characters.
enum { MEDIA_NAME_CHARS = 260 };

// A fraction above one half rounds up, otherwise down.
LONG RoundHalfDown(double v) {
    double whole = floor(v);
    return (LONG)(v - whole > 0.5 ? whole + 1 : whole);
}

LONG Clamp64(long long v, long long low, long long high) {
    if (v < low)
        v = low;
    if (v > high)
        v = high;
    return (LONG)std::max<long long>(LONG_MIN, std::min<long long>(LONG_MAX, v));
}

}  // namespace

RECT MetaFramePixels(const RECTL& frame, int horzSize, int horzRes, int vertSize, int vertRes) {
    RECT r = {0, 0, 0, 0};
    if (horzSize <= 0 || horzRes <= 0 || vertSize <= 0 || vertRes <= 0)
        return r;
    // Hundredths of a millimetre over hundredths of a millimetre per pixel.
    const double x = 100.0 * horzSize / horzRes, y = 100.0 * vertSize / vertRes;
    r.left = RoundHalfDown(frame.left / x);
    r.top = RoundHalfDown(frame.top / y);
    r.right = RoundHalfDown(frame.right / x);
    r.bottom = RoundHalfDown(frame.bottom / y);
    return r;
}

GraphObject::GraphObject()
    : m_flags(0),
      m_state(0),
      m_meta(nullptr),
      m_viewX(0),
      m_viewY(0),
      m_ratio(100),
      m_dragX(0),
      m_dragY(0),
      m_frameRect{0, 0, 0, 0} {}

GraphObject::~GraphObject() {
    DeleteMeta();
}

void GraphObject::DeleteMeta() {
    if (m_meta)
        DeleteEnhMetaFile(m_meta);
    m_meta = nullptr;
}

void GraphObject::ResetView() {
    m_ratio = 100;
    m_viewX = m_frameRect.left;
    m_viewY = m_frameRect.top;
    Redraw();
}

// ---- the media ----

STDMETHODIMP GraphObject::get_ObjMediaName(BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = BstrFromMultibyte(MediaName());
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP GraphObject::put_ObjMediaName(BSTR name) {
    std::string text = MultibyteFromBstr(name);
    if (!StoreName(text.c_str()))
        return S_OK;
    HRESULT hr = MediaName()[0] ? LoadMediaData(MediaName()) : E_FAIL;
    Redraw();
    if (SUCCEEDED(hr) && m_meta) {
        this->SetWidth(m_frameRect.right - m_frameRect.left);
        this->SetHeight(m_frameRect.bottom - m_frameRect.top);
    } else {
        this->SetWidth(100);
        this->SetHeight(100);
    }
    Redraw();
    return S_OK;
}

HRESULT GraphObject::SetMediaByName(const char* name, BOOL flag) {
    if (!name || !name[0] || !flag)
        return S_OK;
    HRESULT hr = SetName(name);
    if (FAILED(hr))
        LOG_MSG("SetMedia func Failed.");
    return hr;
}

STDMETHODIMP GraphObject::TakeData(const void* bytes, DWORD count, const char* name) {
    TRACE_POINT();
    IPlayerSite* site = ClassSite();
    IMediaManager* manager = nullptr;
    if (!site || FAILED(site->GetMediaManager(&manager)))
        manager = nullptr;
    m_flags &= ~GRFFLAG_LOADSTATE;
    if (!manager)
        return E_FAIL;
    int type = 0, subtype = 0;
    HRESULT hr = manager->GetMediaType(name ? name : "", &type, &subtype);
    if (FAILED(hr))
        return hr;
    DeleteMeta();
    HDC screen = ::GetDC(nullptr);
    m_meta = MetaFileFromBits(static_cast<const BYTE*>(bytes), count, screen, subtype);
    if (!m_meta) {
        if (screen)
            ::ReleaseDC(nullptr, screen);
        return E_FAIL;
    }
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(m_meta, sizeof(header), &header);
    m_frameRect = MetaFramePixels(header.rclFrame, GetDeviceCaps(screen, HORZSIZE),
                                  GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTSIZE),
                                  GetDeviceCaps(screen, VERTRES));
    if (screen)
        ::ReleaseDC(nullptr, screen);
    m_flags = (WORD)((m_flags & ~GRFFLAG_CLEARED_ON_LOAD) | GRFFLAG_LOADSTATE);
    ResetView();
    return S_OK;
}

STDMETHODIMP GraphObject::ApplyData(BOOL mediaFlag, const char* text, const void*, int) {
    HRESULT hr = SetMedia(mediaFlag ? TRUE : FALSE, text, nullptr, 0);
    Redraw();
    return hr;
}

STDMETHODIMP GraphObject::OnEnter() {
    HRESULT hr = ClassBase::OnEnter();
    if (!(m_state & GRFSTATE_PRESENT)) {
        HRESULT loaded = S_OK;
        if (Linked())
            loaded = DbRefresh(DB_REFRESH_BIND);
        else if (MediaName()[0])
            loaded = LoadMediaData(MediaName());
        if (SUCCEEDED(loaded) && m_meta)
            m_state |= GRFSTATE_PRESENT;
    }
    ResetView();
    return hr;
}

HRESULT GraphObject::DbRefresh(int code) {
    if (code == DB_REFRESH_BIND && !Linked()) {
        HRESULT hr = MediaName()[0] ? LoadMediaData(MediaName()) : S_OK;
        Redraw();
        return hr;
    }
    HRESULT hr = DbLinkAbility::DbRefresh(code);
    if (FAILED(hr) && Linked() && m_meta) {
        DeleteMeta();
        m_flags &= ~GRFFLAG_LOADSTATE;
        Redraw();
    }
    return hr;
}

// ---- zoom and panning ----

STDMETHODIMP GraphObject::put_ObjSizeRatio(LONG ratio) {
    if (!ZoomAllowed() || ratio <= 0)
        return S_OK;
    m_ratio = std::min<LONG>(ratio, GRAPH_RATIO_MAX);
    Redraw();
    return S_OK;
}

void GraphObject::Pan(long long dx, long long dy) {
    const long long ratio = m_ratio > 0 ? m_ratio : 100;
    const long long w = this->GetWidth(), h = this->GetHeight();
    m_viewX = Clamp64(m_viewX + dx, m_frameRect.left - w * 100 / ratio, m_frameRect.right);
    m_viewY = Clamp64(m_viewY + dy, m_frameRect.top - h * 100 / ratio, m_frameRect.bottom);
}

STDMETHODIMP GraphObject::ScrollBy(LONG dx, LONG dy) {
    if (!ZoomAllowed())
        return S_OK;
    Pan(dx, dy);
    Redraw();
    return S_OK;
}

STDMETHODIMP GraphObject::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    const LONG x = (SHORT)LOWORD((DWORD)arg2), y = (SHORT)HIWORD((DWORD)arg2);
    const long long ratio = m_ratio > 0 ? m_ratio : 100;
    switch (id) {
        case EVT_LBUTTONDOWN:
            if (ZoomAllowed() && this->IsFlag8()) {
                m_state |= GRFSTATE_DRAGGING;
                m_dragX = x;
                m_dragY = y;
            }
            break;
        case EVT_MOUSEHOVER:
            if (ZoomAllowed() && (m_state & GRFSTATE_DRAGGING) && this->IsFlag8()) {
                Pan((m_dragX - (long long)x) * 100 / ratio, (m_dragY - (long long)y) * 100 / ratio);
                m_dragX = x;
                m_dragY = y;
                Redraw();
            }
            break;
        case EVT_LBUTTONUP:
            m_state &= ~GRFSTATE_DRAGGING;
            break;
        case EVT_CLICK:
            m_state &= ~GRFSTATE_DRAGGING;
            // At the cap a click changes nothing.
            if (ClickZoomAllowed() && m_ratio < GRAPH_RATIO_MAX) {
                RECT r;
                this->GetBoundsRect(&r);
                const long long old = ratio;
                m_ratio = (LONG)std::min<long long>(old * 2, GRAPH_RATIO_MAX);
                Pan((x - (long long)(r.right - r.left) / 4 - r.left) * 100 / old,
                    (y - (long long)(r.bottom - r.top) / 4 - r.top) * 100 / old);
                Redraw();
            }
            break;
        case EVT_DBCLICK:
            m_state &= ~GRFSTATE_DRAGGING;
            if (ClickZoomAllowed())
                ResetView();
            break;
        default:
            break;
    }
    return ClassBase::FireEvent(id, arg1, arg2, prev);
}

void GraphObject::KeepAspect(int handle, LONG* width, LONG* height) {
    const LONG w = this->GetWidth(), h = this->GetHeight();
    if (!(m_state & GRFSTATE_KEEPASPECT) || (m_state & GRFSTATE_RESIZING) || !m_meta || w <= 0 ||
        h <= 0)
        return;
    m_state |= GRFSTATE_RESIZING;
    switch (handle) {
        case 1:
        case 5:
        case 11:
            *width = (LONG)((long long)w * *height / h);
            break;
        case 2:
        case 3:
        case 4:
        case 6:
        case 7:
        case 8:
        case 10:
            *height = (LONG)((long long)h * *width / w);
            break;
        default:
            break;
    }
    m_state &= ~GRFSTATE_RESIZING;
}

// ---- drawing ----

RECT GraphObject::PlayBox(const RECT& rect) const {
    const long long ratio = m_ratio;
    const long long left = rect.left - ((long long)m_viewX - m_frameRect.left) * ratio / 100;
    const long long top = rect.top - ((long long)m_viewY - m_frameRect.top) * ratio / 100;
    const long long w = (long long)(rect.right - rect.left) * ratio / 100;
    const long long h = (long long)(rect.bottom - rect.top) * ratio / 100;
    return {Clamp64(left, LONG_MIN, LONG_MAX), Clamp64(top, LONG_MIN, LONG_MAX),
            Clamp64(left + w, LONG_MIN, LONG_MAX), Clamp64(top + h, LONG_MIN, LONG_MAX)};
}

HRESULT GraphObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect || IsRectEmpty(rect) ||
        (m_flags & GRFFLAG_LOADSTATE) != GRFFLAG_LOADSTATE || !m_meta)
        return S_OK;
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)) || !dc)
        return S_OK;
    const int saved = SaveDC(dc);
    POINT corners[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
    LPtoDP(dc, corners, 2);
    if (HRGN clip = CreateRectRgn(corners[0].x, corners[0].y, corners[1].x, corners[1].y)) {
        ExtSelectClipRgn(dc, clip, RGN_AND);
        DeleteObject(clip);
    }
    const RECT box = PlayBox(*rect);
    if (!PlayEnhMetaFile(dc, m_meta, &box))
        LOG_MSG("PlayEnhMetaFile failed: %s", MediaName());
    RestoreDC(dc, saved);
    target->ReleaseDC(dc);
    return S_OK;
}

// ---- the record ----

HRESULT GraphObject::LoadKind(ITeskStream* stream) {
    DWORD flags = 0, count = 0;
    if (!StreamReadValue(stream, &flags) || !StreamReadValue(stream, &count))
        return E_FAIL;
    if (count > MEDIA_NAME_CHARS || !StreamHas(stream, 2ULL * count)) {
        LOG_MSG("Graph record: name of %lu characters refused", (unsigned long)count);
        return E_FAIL;
    }
    char name[MEDIA_NAME_CHARS * 2 + 1] = {};
    if (count)
        stream->ReadWideString(name, count);
    // Nothing is held yet: the load state and the page's marks start clear.
    m_flags = (WORD)(flags & ~(GRFFLAG_LOADSTATE | GRFFLAG_CLEARED_ON_LOAD));
    m_state = (WORD)((flags >> 16) & ~(GRFSTATE_PRESENT | GRFSTATE_DRAGGING | GRFSTATE_RESIZING));
    StoreName(name);
    HRESULT hr = DbLinkAbility::Load(stream);
    this->CRenderBase::Refresh();
    return hr;
}

HRESULT CreateGraphObject(IUnknown** out) {
    return CreateObjectOfClass<GraphObject>(out);
}
