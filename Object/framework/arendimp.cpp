#include "arendimp.h"

#include <stdlib.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <vector>

#include "aDXBuf.h"
#include "aGDIBuf.h"
#include "bStorage.h"
#include "aPixBuf.h"
#include "aablbase.h"
#include "bGrphLib.h"
#include "bTraceLog.h"

namespace {

RECT EmptyRect() {
    RECT r = {0, 0, 0, 0};
    return r;
}

bool RectEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

bool PointInPolygonWinding(const POINT* p, int n, LONG x, LONG y) {
    // Winding number with half-open edges, so shared edges count once.
    int winding = 0;
    for (int i = 0; i < n; ++i) {
        const POINT& a = p[i];
        const POINT& b = p[(i + 1) % n];
        long long cross = (long long)(b.x - a.x) * (y - a.y) - (long long)(x - a.x) * (b.y - a.y);
        if (a.y <= y) {
            if (b.y > y && cross > 0)
                ++winding;
        } else if (b.y <= y && cross < 0) {
            --winding;
        }
    }
    return winding != 0;
}

namespace {

// Liang-Barsky: whether the segment crosses the rectangle's inside.
bool SegmentTouchesRect(POINT a, POINT b, const RECT& r) {
    double t0 = 0, t1 = 1;
    double dx = b.x - a.x, dy = b.y - a.y;
    double p[4] = {-dx, dx, -dy, dy};
    double q[4] = {(double)a.x - r.left, (double)r.right - a.x, (double)a.y - r.top,
                   (double)r.bottom - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] <= 0)
                return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 >= t1)
            return false;
    }
    return true;
}

}  // namespace

bool PolygonTouchesRect(const POINT* p, int n, const RECT& r) {
    if (RectEmpty(r) || n < 3)
        return false;
    for (int i = 0; i < n; ++i)
        if (p[i].x >= r.left && p[i].x < r.right && p[i].y >= r.top && p[i].y < r.bottom)
            return true;
    if (PointInPolygonWinding(p, n, r.left, r.top))
        return true;
    for (int i = 0; i < n; ++i)
        if (SegmentTouchesRect(p[i], p[(i + 1) % n], r))
            return true;
    return false;
}

namespace {

// Times a transition on the page sequencer: the ability base as the
// render's clock; each tick also lets the render look at its time.
class CTransitionClock : public CComObjectRootBase, public CAbility {
public:
    BEGIN_COM_MAP(CTransitionClock)
    COM_INTERFACE_ENTRY(IAbility)
    END_COM_MAP()

    CTransitionClock() : m_client(nullptr) { m_adapter.owner = this; }
    void FinalRelease() { Stop(); }

    STDMETHOD(OnClock)() override {
        CAbility::OnClock();
        if (m_client)
            m_client->OnTick();
        return S_OK;
    }
    void Bind(IRenderClockClient* client) {
        m_client = client;
        if (client)
            client->SetClock(&m_adapter);
    }
    void Unbind() {
        if (m_client)
            m_client->SetClock(nullptr);
        m_client = nullptr;
    }

private:
    struct Adapter : IRenderClock {
        int GetState() override { return owner->m_state; }
        DWORD GetElapsed() override { return owner->m_total; }
        void UpdateFromSite() override {}
        HRESULT Start() override { return owner->Start(); }
        HRESULT Pause() override { return owner->Pause(); }
        HRESULT Resume() override { return owner->Resume(); }
        HRESULT Stop() override { return owner->Stop(); }
        HRESULT OnEvent(int code) override { return owner->CAbility::OnEvent((LONG)code); }
        void SetCodes(int startCode, int pauseCode) override {
            owner->m_startCode = startCode;
            owner->m_pauseCode = pauseCode;
        }
        HRESULT Load(ITeskStream* stream) override { return owner->LoadCodes(stream); }
        HRESULT Save(ITeskStream* stream) override { return owner->SaveCodes(stream); }
        CTransitionClock* owner = nullptr;
    };
    Adapter m_adapter;
    IRenderClockClient* m_client;  // the render, which owns this clock
};

IAbility* MakeClock(IUnknown* render, IPlayerSite* site) {
    CComPtr<IRenderClockClient> client;
    if (!render || FAILED(render->QueryInterface(__uuidof(IRenderClockClient),
                                                 reinterpret_cast<void**>(&client))))
        return nullptr;
    CComObject<CTransitionClock>* clock = nullptr;
    if (FAILED(CComObject<CTransitionClock>::CreateInstance(&clock)))
        return nullptr;
    clock->AddRef();
    clock->SetSite(site);
    clock->Bind(client);
    return clock;
}

void DropClock(IAbility*& clock) {
    if (!clock)
        return;
    clock->Stop();
    static_cast<CComObject<CTransitionClock>*>(clock)->Unbind();
    clock->Release();
    clock = nullptr;
}

}  // namespace

CRenderBase::CRenderBase()
    : m_storedAngle(0),
      m_storedX(10),
      m_storedY(10),
      m_storedWidth(200),
      m_storedHeight(150),
      m_flags(RF_VISIBLE | RF_FLAG16),
      m_angle(0),
      m_x(10),
      m_y(10),
      m_width(200),
      m_height(150),
      m_alpha(255),
      m_showTransition(nullptr),
      m_hideTransition(nullptr),
      m_effect(nullptr),
      m_attached(nullptr),
      m_pathMotion(nullptr),
      m_invalid(EmptyRect()),
      m_regionBounds(EmptyRect()),
      m_state(RS_IDLE),
      m_enterTime(-1),
      m_leaveTime(-1),
      m_busy(0),
      m_alphaBuffer(nullptr),
      m_showClock(nullptr),
      m_hideClock(nullptr),
      m_effectClock(nullptr),
      m_effectAttached(false) {
    m_target.owner = this;
}

CRenderBase::~CRenderBase() {
    ReleaseParts();
    for (IUnknown** part : {&m_attached, &m_pathMotion})
        if (*part) {
            (*part)->Release();
            *part = nullptr;
        }
    if (m_alphaBuffer)
        m_alphaBuffer->Release();
}

// ---- geometry ----

void CRenderBase::GetCorners(POINT c[4]) const {
    LONG w = m_width, h = m_height;
    c[0] = {m_x - w / 2, m_y - h / 2};
    c[1] = {m_x - w / 2, m_y + (h + 1) / 2};
    c[2] = {m_x + (w + 1) / 2, m_y + (h + 1) / 2};
    c[3] = {m_x + (w + 1) / 2, m_y - h / 2};
    if (m_angle % 36000 != 0)
        RotatePoints(4, c, m_x, m_y, m_angle);
    if (m_flags & RF_MIRROR_H)
        for (int i = 0; i < 4; ++i) c[i].x = 2 * m_x - c[i].x;
    if (m_flags & RF_MIRROR_V)
        for (int i = 0; i < 4; ++i) c[i].y = 2 * m_y - c[i].y;
}

STDMETHODIMP CRenderBase::GetBoundsRect(RECT* out) {
    if (!out)
        return E_POINTER;
    POINT c[4];
    GetCorners(c);
    RECT r = {c[0].x, c[0].y, c[0].x, c[0].y};
    for (int i = 1; i < 4; ++i) {
        r.left = std::min(r.left, c[i].x);
        r.top = std::min(r.top, c[i].y);
        r.right = std::max(r.right, c[i].x);
        r.bottom = std::max(r.bottom, c[i].y);
    }
    *out = r;
    return S_OK;
}

STDMETHODIMP CRenderBase::GetTransformedBounds(RECT* out) {
    // The attached part transforms the bounds when a type attaches one.
    return GetBoundsRect(out);
}

STDMETHODIMP CRenderBase::BeginChange(RECT* save) {
    if (save)
        GetBoundsRect(save);
    return S_OK;
}

STDMETHODIMP CRenderBase::EndChange(const RECT* saved) {
    RECT now;
    GetBoundsRect(&now);
    if (saved && !RectEmpty(*saved))
        UnionRect(&now, &now, saved);
    return Invalidate(&now);
}

void CRenderBase::SetGeometry(LONG* field, LONG value, int code) {
    RECT before, after;
    BeginChange(&before);
    *field = value;
    GetBoundsRect(&after);
    OnGeometryChanged(&before, &after, code);
    EndChange(&before);
}

STDMETHODIMP CRenderBase::SetHeight(LONG h) {
    m_storedHeight = h;
    SetGeometry(&m_height, h, 11);
    return S_OK;
}

STDMETHODIMP CRenderBase::SetWidth(LONG w) {
    m_storedWidth = w;
    SetGeometry(&m_width, w, 10);
    return S_OK;
}

STDMETHODIMP CRenderBase::SetXCenter(LONG x) {
    m_storedX += x - m_x;
    SetGeometry(&m_x, x, 16);
    return S_OK;
}

STDMETHODIMP CRenderBase::SetYCenter(LONG y) {
    m_storedY += y - m_y;
    SetGeometry(&m_y, y, 16);
    return S_OK;
}

STDMETHODIMP_(LONG) CRenderBase::GetAbsoluteX() {
    LONG offset = 0;
    CComPtr<II_IRender> parent;
    if (IUnknown* p = RenderParent())
        if (SUCCEEDED(p->QueryInterface(__uuidof(II_IRender), reinterpret_cast<void**>(&parent))))
            parent->GetOffsetX(&offset);
    return m_x + offset;
}

STDMETHODIMP_(LONG) CRenderBase::GetAbsoluteY() {
    LONG offset = 0;
    CComPtr<II_IRender> parent;
    if (IUnknown* p = RenderParent())
        if (SUCCEEDED(p->QueryInterface(__uuidof(II_IRender), reinterpret_cast<void**>(&parent))))
            parent->GetOffsetY(&offset);
    return m_y + offset;
}

STDMETHODIMP CRenderBase::GetOffsetX(LONG*) {
    return S_OK;
}

STDMETHODIMP CRenderBase::GetOffsetY(LONG*) {
    return S_OK;
}

STDMETHODIMP CRenderBase::MoveTo(LONG x, LONG y) {
    RECT before, after;
    BeginChange(&before);
    m_storedX += x - m_x;
    m_storedY += y - m_y;
    m_x = x;
    m_y = y;
    GetBoundsRect(&after);
    OnGeometryChanged(&before, &after, 16);
    return EndChange(&before);
}

STDMETHODIMP CRenderBase::MoveBy(LONG dx, LONG dy) {
    return MoveTo(m_x + dx, m_y + dy);
}

STDMETHODIMP CRenderBase::SetAnchor(LONG x, LONG y) {
    RECT before, after;
    BeginChange(&before);
    m_x = x;
    m_y = y;
    GetBoundsRect(&after);
    OnGeometryChanged(&before, &after, 16);
    return EndChange(&before);
}

STDMETHODIMP CRenderBase::OffsetBounds(LONG dx, LONG dy) {
    return SetAnchor(m_x + dx, m_y + dy);
}

STDMETHODIMP CRenderBase::SetAngle(LONG a) {
    LONG old = m_angle;
    m_angle = m_storedAngle = a % 36000;
    return OnAngleChanged(old);
}

STDMETHODIMP CRenderBase::AddAngle(LONG d) {
    LONG old = m_angle;
    m_angle = m_storedAngle = m_angle + d;
    return OnAngleChanged(old);
}

STDMETHODIMP CRenderBase::RotateBy(LONG d) {
    LONG old = m_angle;
    m_angle = (LONG)(((long long)m_angle + d) % 36000);
    return OnAngleChanged(old);
}

STDMETHODIMP CRenderBase::SetRotation(LONG degrees) {
    return SetAngle(degrees * 100);
}

STDMETHODIMP CRenderBase::ResetLayout() {
    RECT before, after;
    BeginChange(&before);
    LONG old = m_angle;
    m_angle = m_storedAngle;
    m_x = m_storedX;
    m_y = m_storedY;
    m_width = m_storedWidth;
    m_height = m_storedHeight;
    GetBoundsRect(&after);
    OnGeometryChanged(&before, &after, 32);
    OnAngleChanged(old);
    return EndChange(&before);
}

STDMETHODIMP CRenderBase::SetAlpha(int alpha) {
    RECT before;
    BeginChange(&before);
    m_alpha = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha;
    return EndChange(&before);
}

STDMETHODIMP CRenderBase::SetVisible(BOOL on) {
    RECT before;
    BeginChange(&before);
    if (on)
        m_flags |= RF_VISIBLE;
    else
        m_flags &= ~RF_VISIBLE;
    return EndChange(&before);
}

STDMETHODIMP CRenderBase::SetFlag8(BOOL on) {
    if (on)
        m_flags |= RF_FLAG8;
    else
        m_flags &= ~RF_FLAG8;
    return S_OK;
}

STDMETHODIMP_(int) CRenderBase::IsActive() {
    return (m_state >= RS_ENTERED && m_state <= RS_LEAVING) ? 0 : 1;
}

STDMETHODIMP CRenderBase::SetState(int state) {
    m_state = state;
    return S_OK;
}

// ---- hit and region tests ----

STDMETHODIMP_(int) CRenderBase::HitTestPoint(LONG x, LONG y) {
    LONG w = labs(m_width), h = labs(m_height);
    LONG left = m_x - w / 2, top = m_y - h / 2;
    if (m_angle % 36000 == 0) {
        // Both spans in one unsigned compare each and no branch between:
        // a list tests thousands of objects per point, most of them missed
        // on either axis at random.
        const bool inX = (unsigned long long)((long long)x - left) < (unsigned long long)w;
        const bool inY = (unsigned long long)((long long)y - top) < (unsigned long long)h;
        return (inX & inY) ? 0 : 1;
    }
    POINT c[4] = {{left, top}, {left, top + h}, {left + w, top + h}, {left + w, top}};
    RotatePoints(4, c, m_x, m_y, m_angle);
    if (m_flags & RF_MIRROR_H)
        for (int i = 0; i < 4; ++i) c[i].x = 2 * m_x - c[i].x;
    if (m_flags & RF_MIRROR_V)
        for (int i = 0; i < 4; ++i) c[i].y = 2 * m_y - c[i].y;
    return PointInPolygonWinding(c, 4, x, y) ? 0 : 1;
}

STDMETHODIMP_(int) CRenderBase::TestRegion(HRGN region) {
    if (!(m_flags & RF_VISIBLE) || !region)
        return 1;
    POINT c[4];
    GetCorners(c);
    RECT bounds;
    GetBoundsRect(&bounds);
    // Shown motion paths belong to the object's area.
    RECT paths = {0, 0, 0, 0};
    CComPtr<IPathAnimate> motion;
    if (m_pathMotion && SUCCEEDED(m_pathMotion->QueryInterface(__uuidof(IPathAnimate),
                                                               reinterpret_cast<void**>(&motion))))
        motion->GetBounds(&paths);
    // The region's rectangles against the polygon: no region is made.
    DWORD size = GetRegionData(region, 0, nullptr);
    if (!size)
        return 1;
    std::vector<BYTE> data(size);
    RGNDATA* rd = reinterpret_cast<RGNDATA*>(data.data());
    if (!GetRegionData(region, size, rd))
        return 1;
    const RECT* rects = reinterpret_cast<const RECT*>(rd->Buffer);
    bool touches = false;
    for (DWORD i = 0; i < rd->rdh.nCount && !touches; ++i) {
        RECT cut;
        if (IntersectRect(&cut, &rects[i], &bounds))
            touches = PolygonTouchesRect(c, 4, rects[i]);
        if (!touches && !RectEmpty(paths))
            touches = IntersectRect(&cut, &rects[i], &paths) != 0;
    }
    if (!touches)
        return 1;
    if (!RectEmpty(paths))
        UnionRect(&bounds, &bounds, &paths);
    m_regionBounds = bounds;
    return 0;
}

// ---- invalidation ----

STDMETHODIMP CRenderBase::Invalidate(const RECT* rect) {
    IObjectSite* site = RenderObjectSite();
    if (!site || !rect)
        return S_OK;
    return site->InvalidateRect(rect);
}

STDMETHODIMP CRenderBase::UnionInvalid() {
    RECT bounds;
    GetBoundsRect(&bounds);
    RECT all = m_invalid;
    if (RectEmpty(all))
        all = bounds;
    else
        UnionRect(&all, &all, &bounds);
    Invalidate(&all);
    m_invalid = bounds;
    return S_OK;
}

STDMETHODIMP CRenderBase::InvalidateBounds(IPixelBuffer*) {
    return S_OK;
}

STDMETHODIMP CRenderBase::GetSite(IPlayerSite** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    IObjectSite* site = RenderObjectSite();
    if (!site)
        return E_FAIL;
    return site->GetPlaySite(out);
}

STDMETHODIMP CRenderBase::GetTransition(int which, IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (which != 0 && which != 1)
        return E_FAIL;
    *out = which == 0 ? m_showTransition : m_hideTransition;
    if (*out)
        (*out)->AddRef();
    return S_OK;
}

STDMETHODIMP CRenderBase::GetEffect(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = m_effect;
    if (m_effect)
        m_effect->AddRef();
    return S_OK;
}

void CRenderBase::AttachPart(IUnknown* part) {
    if (part)
        part->AddRef();
    if (m_attached)
        m_attached->Release();
    m_attached = part;
}

HRESULT CRenderBase::LoadAttachedPart(ITeskStream*) {
    // A type without a part cannot say how long its record is.
    LOG_MSG("Render record: attached part announced without a part");
    return E_FAIL;
}

STDMETHODIMP CRenderBase::GetAttachedPart(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = m_attached;
    if (m_attached)
        m_attached->AddRef();
    return S_OK;
}

STDMETHODIMP CRenderBase::OnGeometryChanged(const RECT*, const RECT*, int) {
    // Running transitions follow the object.
    RECT bounds;
    GetBoundsRect(&bounds);
    if (m_showTransition && !m_showTransition->IsIdle())
        m_showTransition->SetRect(&bounds);
    if (m_hideTransition && !m_hideTransition->IsIdle())
        m_hideTransition->SetRect(&bounds);
    return S_OK;
}

STDMETHODIMP_(int) CRenderBase::PrepareDraw(IPixelBuffer* target) {
    // The paths of the object's motion, when it shows them, lie under it.
    CComPtr<IPathAnimate> paths;
    if (m_pathMotion && target &&
        SUCCEEDED(
            m_pathMotion->QueryInterface(__uuidof(IPathAnimate), reinterpret_cast<void**>(&paths))))
        paths->DrawPaths(target);
    return 1;
}

STDMETHODIMP CRenderBase::CollectFiles(IFileCollector* collector) {
    if (!collector)
        return E_POINTER;
    if (ICursorAbility* cursor = RenderCursor()) {
        LONG kind = 0;
        cursor->GetKind(&kind);
        char text[40] = "";
        if (kind == 1 || kind == 3) {
            cursor->GetText(text, sizeof(text));
            if (text[0])
                collector->AddFile(kind == 1 ? 2000 : 64, text);
        }
    }
    return S_OK;
}

// ---- drawing ----

STDMETHODIMP CRenderBase::Draw(IPixelBuffer* target) {
    if (!target)
        return E_POINTER;
    PrepareDraw(target);
    RECT bounds;
    GetBoundsRect(&bounds);
    if (RectEmpty(bounds) || m_alpha == 0)
        return S_OK;
    IEffectRender* running = nullptr;
    if (m_showTransition && !m_showTransition->IsIdle())
        running = m_showTransition;
    else if (m_hideTransition && !m_hideTransition->IsIdle())
        running = m_hideTransition;
    HRESULT hr = S_FALSE;
    if (running) {
        double progress = 1.0;
        running->GetProgress(&progress);
        hr = DrawTransition(target, bounds, running, progress);
    }
    if (hr == S_FALSE)
        hr = m_alpha == 255 ? DrawContent(target, &bounds) : DrawAlpha(target, bounds);
    if (SUCCEEDED(hr) && m_effect && !m_effect->IsIdle())
        m_effect->Render(target);
    return FAILED(hr) ? hr : S_OK;
}

namespace {

// A scratch buffer of at least w x h, kept in `slot` between draws.
IPixelBuffer* ScratchBuffer(IPixelBuffer*& slot, int w, int h) {
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    if (slot && (FAILED(slot->GetBufferInfo(&info)) || info.nWidth < w || info.nHeight < h)) {
        slot->Release();
        slot = nullptr;
    }
    if (!slot)
        slot = CreateGDIBuffer(w, h);
    return slot;
}

void SetTopBytes(IPixelBuffer* buffer, const RECT& area, BYTE alpha) {
    if (FAILED(ScopedUseBegin(buffer, PIXLOCK_WRITE)))
        return;
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    buffer->GetBufferInfo(&info);
    if (info.pPixels) {
        const DWORD top = (DWORD)alpha << 24;
        for (LONG y = area.top; y < area.bottom; ++y) {
            DWORD* row = reinterpret_cast<DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch);
            LONG x = area.left;
#ifdef __SSE2__
            const __m128i keep = _mm_set1_epi32(0x00FFFFFF), high = _mm_set1_epi32((int)top);
            for (; x + 4 <= area.right; x += 4) {
                __m128i* p = reinterpret_cast<__m128i*>(row + x);
                _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(p), keep), high));
            }
#endif
            for (; x < area.right; ++x) row[x] = (row[x] & 0x00FFFFFF) | top;
        }
    }
    ScopedUseEnd(buffer);
}

}  // namespace

HRESULT CRenderBase::DrawTransition(IPixelBuffer* target, const RECT& bounds,
                                    IEffectRender* transition, double progress) {
    CComPtr<ITransitionMove> move;
    CComPtr<ITransitionRegion> region;
    CComPtr<ITransitionMask> mask;
    transition->GetMove(&move);
    transition->GetRegion(&region);
    transition->GetMask(&mask);
    if (progress == 1.0 || (!move && !region && !mask))
        return S_FALSE;
    int w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
    // The content and a view of the target's area, both at their top left.
    // Buffers of the target's kind: DirectDraw surfaces for a DirectDraw target.
    IPixelBuffer* content = CreateBufferLike(w, h, target);
    IPixelBuffer* view = CreateBufferLike(w, h, target);
    if (!content || !view) {
        if (content)
            content->Release();
        if (view)
            view->Release();
        LOG_MSG("Draw: transition buffers %d x %d not made", w, h);
        return E_FAIL;
    }
    RECT whole = {0, 0, w, h};
    RECT drawRect = bounds;
    if (move) {
        move->MoveRect(&bounds, progress, &drawRect);
        IntersectRect(&drawRect, &drawRect, &bounds);
    }
    HRESULT hr = S_OK;
    if (!RectEmpty(drawRect)) {
        RECT local = drawRect;
        OffsetRect(&local, -bounds.left, -bounds.top);
        view->Blit(&whole, target, &bounds, 0);
        hr = DrawContent(content, &whole);
        if (SUCCEEDED(hr) && mask) {
            BYTE* bytes = nullptr;
            hr = mask->BuildTiledMask(&bytes, progress, &local, &local);
            if (SUCCEEDED(hr) && bytes) {
                if (m_alpha < 255 && (int)(progress * 100) != 0) {
                    size_t n = (size_t)(local.right - local.left) * (local.bottom - local.top);
                    for (size_t i = 0; i < n; ++i) bytes[i] = (BYTE)((bytes[i] * m_alpha) >> 8);
                }
                hr = mask->ApplyMask(view, content, bytes, progress, &local, &local);
                FreeTransitionMask(bytes);
            }
        } else if (SUCCEEDED(hr)) {
            // No mask: the content moves in, with the object's alpha.
            if (m_alpha < 255) {
                SetTopBytes(content, whole, (BYTE)m_alpha);
                content->EnablePixelAlpha(TRUE);
            }
            hr = view->Blit(&local, content, &whole, 0);
        }
        if (SUCCEEDED(hr)) {
            HRGN clip = nullptr;
            if (region) {
                RECT r = drawRect, b = bounds;
                region->BuildTiledRegion(&clip, progress, &r, &b);
            }
            if (region && !clip) {
                // An empty region shows nothing of the new content.
            } else if (clip) {
                HDC dc = nullptr, source = nullptr;
                if (SUCCEEDED(target->GetDC(&dc)) && dc) {
                    if (SUCCEEDED(view->GetDC(&source)) && source) {
                        POINT origin;
                        GetWindowOrgEx(dc, &origin);
                        OffsetRgn(clip, -origin.x, -origin.y);
                        SelectClipRgn(dc, clip);
                        BitBlt(dc, bounds.left, bounds.top, w, h, source, 0, 0, SRCCOPY);
                        SelectClipRgn(dc, nullptr);
                        view->ReleaseDC(source);
                    }
                    target->ReleaseDC(dc);
                }
                DeleteObject(clip);
            } else {
                hr = target->Blit(&bounds, view, &whole, 0);
            }
        }
    }
    content->Release();
    view->Release();
    return FAILED(hr) ? E_FAIL : S_OK;
}

void CRenderBase::StartTransition(IEffectRender* transition, IAbility* clock, LONG duration) {
    if (!transition || !clock || duration <= 0)
        return;
    RECT bounds;
    GetBoundsRect(&bounds);
    transition->SetDuration((DWORD)duration);
    transition->SetRect(&bounds);
    clock->Stop();
    clock->Start();
}

void CRenderBase::StopTransition(IEffectRender* transition) {
    CComPtr<IRenderClockClient> client;
    if (transition && SUCCEEDED(transition->QueryInterface(__uuidof(IRenderClockClient),
                                                           reinterpret_cast<void**>(&client))))
        client->Stop();
}

HRESULT CRenderBase::DrawAlpha(IPixelBuffer* target, const RECT& bounds) {
    int w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
    IPixelBuffer* scratch = ScratchBuffer(m_alphaBuffer, w, h);
    if (!scratch) {
        LOG_MSG("Draw: alpha buffer %d x %d not made", w, h);
        return E_FAIL;
    }
    // The content is drawn at the buffer's top left; each pixel's top byte
    // then carries the object's alpha for the per-pixel blit.
    RECT local = {0, 0, w, h};
    scratch->EnablePixelAlpha(FALSE);
    // The content lands on a copy of what it covers, so the pixels a shaped
    // content leaves alone blend back to themselves, not to older drawings.
    scratch->Blit(&local, target, &bounds, 0);
    HRESULT hr = DrawContent(scratch, &local);
    if (FAILED(hr))
        return hr;
    SetTopBytes(scratch, local, (BYTE)m_alpha);
    scratch->EnablePixelAlpha(TRUE);
    hr = target->Blit(&bounds, scratch, &local, 0);
    scratch->EnablePixelAlpha(FALSE);
    return hr;
}

// ---- life cycle ----

DWORD CRenderBase::PageClock() {
    DWORD now = 0;
    if (IObjectSite* site = RenderObjectSite())
        site->GetPageClock(&now);
    return now;
}

void CRenderBase::Fire(DWORD id) {
    if (IObjectEvent* events = RenderEvent())
        events->FireEvent(id, 0, 0, 0);
    // The effect part hears the object's events through its clock client.
    CComPtr<IRenderClockClient> client;
    if (m_effectAttached && m_effect &&
        SUCCEEDED(m_effect->QueryInterface(__uuidof(IRenderClockClient),
                                           reinterpret_cast<void**>(&client))))
        client->OnEvent((int)id, 0, 0);
}

void CRenderBase::ScheduleStep(DWORD code, long long due) {
    IObjectSite* site = RenderObjectSite();
    IObjectEvent* events = RenderEvent();
    ISequencer* sequencer = nullptr;
    if (!site || !events || FAILED(site->GetSequencer(&sequencer)) || !sequencer)
        return;
    DWORD time = due < 0 ? 0xFFFFFFFFu : (DWORD)due;
    if (due >= 0)
        site->AdjustTime(&time);
    SequencerEntry entry = {events, 0, code, 0};
    sequencer->Schedule(time, &entry);
}

namespace {

// Busy guard of the life-cycle reactions.
struct BusyGuard {
    explicit BusyGuard(int& busy) : m_busy(busy), m_entered(busy == 0) {
        if (m_entered)
            m_busy = 1;
    }
    ~BusyGuard() {
        if (m_entered)
            m_busy = 0;
    }
    int& m_busy;
    bool m_entered;
};

}  // namespace

STDMETHODIMP CRenderBase::OnEnter() {
    BusyGuard guard(m_busy);
    if (!guard.m_entered)
        return S_OK;
    DoEnter();
    return S_OK;
}

STDMETHODIMP CRenderBase::OnHold() {
    BusyGuard guard(m_busy);
    if (!guard.m_entered)
        return S_OK;
    DoHold();
    return S_OK;
}

STDMETHODIMP CRenderBase::OnLeave() {
    BusyGuard guard(m_busy);
    if (!guard.m_entered)
        return S_OK;
    DoLeave();
    return S_OK;
}

STDMETHODIMP CRenderBase::OnExit() {
    BusyGuard guard(m_busy);
    if (!guard.m_entered)
        return S_OK;
    DoExit(true);
    return S_OK;
}

STDMETHODIMP CRenderBase::Deactivate() {
    BusyGuard guard(m_busy);
    if (!guard.m_entered)
        return S_OK;
    DoExit(false);
    return S_OK;
}

void CRenderBase::DoEnter() {
    CComPtr<IGroupObject> group;
    if (IUnknown* parent = RenderParent())
        parent->QueryInterface(__uuidof(IGroupObject), reinterpret_cast<void**>(&group));
    if (group && group->ChildEnter(RenderSelf()) == 1)
        return;
    LONG x = m_x, y = m_y;
    ResetLayout();
    if (m_x != x || m_y != y)
        SetAnchor(x, y);
    if (m_pathMotion) {
        if (IObjectEvent* events = RenderEvent())
            events->AddListener(m_pathMotion);
        CComPtr<IAbility> ability;
        if (SUCCEEDED(m_pathMotion->QueryInterface(__uuidof(IAbility),
                                                   reinterpret_cast<void**>(&ability))))
            ability->Start();
    }
    BeforeEnter();
    m_state = RS_ENTERED;
    m_enterTime = PageClock();
    Fire(EVT_OBJECTENTER);
    LONG s2 = RenderSchedule(2);
    ScheduleStep(NOTIFY_HOLD, (long long)PageClock() + s2);
    StartTransition(m_showTransition, m_showClock, s2);
}

void CRenderBase::DoHold() {
    StopTransition(m_showTransition);
    if (m_effect) {
        m_effectAttached = true;
        if (IObjectEvent* events = RenderEvent())
            events->AddListener(m_effect);
    }
    BeforeHold();
    m_state = RS_HOLDING;
    Fire(EVT_OBJECTHOLD);
    LONG s3 = RenderSchedule(3);
    if (s3 != -1 && s3 != 0)
        ScheduleStep(NOTIFY_LEAVE, (long long)PageClock() + s3);
    CComPtr<IGroupObject> group;
    if (IUnknown* parent = RenderParent())
        if (SUCCEEDED(
                parent->QueryInterface(__uuidof(IGroupObject), reinterpret_cast<void**>(&group))))
            group->ChildHold(RenderSelf());
    // Hold time 0 leaves at once; the guard is ours already.
    if (s3 == 0 && m_state == RS_HOLDING)
        DoLeave();
}

void CRenderBase::DoLeave() {
    BeforeLeave();
    m_state = RS_LEAVING;
    m_leaveTime = PageClock();
    Fire(EVT_OBJECTLEAVE);
    m_effectAttached = false;
    if (m_effect)
        if (IObjectEvent* events = RenderEvent())
            events->RemoveListener(m_effect);
    CComPtr<IGroupObject> group;
    if (IUnknown* parent = RenderParent())
        if (SUCCEEDED(
                parent->QueryInterface(__uuidof(IGroupObject), reinterpret_cast<void**>(&group))))
            group->ChildLeave(RenderSelf());
    LONG s4 = RenderSchedule(4);
    if (s4 != 0) {
        ScheduleStep(NOTIFY_EXIT, (long long)PageClock() + s4);
        StartTransition(m_hideTransition, m_hideClock, s4);
    } else if (m_state == RS_LEAVING)
        DoExit(true);
}

void CRenderBase::DoExit(bool withEvent) {
    if (ICursorAbility* cursor = RenderCursor())
        if (cursor->IsApplied() == 0)
            cursor->Restore();
    StopTransition(m_hideTransition);
    StopTransition(m_showTransition);
    m_effectAttached = false;
    if (m_effectClock)
        m_effectClock->Stop();
    IObjectEvent* events = RenderEvent();
    if (m_effect && events)
        events->RemoveListener(m_effect);
    if (withEvent) {
        Fire(EVT_OBJECTEXIT);
        ISequencer* sequencer = nullptr;
        IObjectSite* site = RenderObjectSite();
        if (site && events && SUCCEEDED(site->GetSequencer(&sequencer)) && sequencer)
            // Unschedule removes one entry a call; an object has a few at most.
            for (int i = 0; i < 64 && sequencer->Unschedule(events) == S_OK; ++i) {
            }
    }
    BeforeExit();
    m_state = RS_EXITED;
    if (m_pathMotion) {
        if (events)
            events->RemoveListener(m_pathMotion);
        CComPtr<IAbility> ability;
        if (SUCCEEDED(m_pathMotion->QueryInterface(__uuidof(IAbility),
                                                   reinterpret_cast<void**>(&ability))))
            ability->Stop();
    }
    EndChange(nullptr);
    if (withEvent) {
        CComPtr<IGroupObject> group;
        if (IUnknown* parent = RenderParent())
            if (SUCCEEDED(parent->QueryInterface(__uuidof(IGroupObject),
                                                 reinterpret_cast<void**>(&group))))
                group->ChildExit(RenderSelf());
    }
}

STDMETHODIMP CRenderBase::OnNotify(int code) {
    switch (code) {
        case NOTIFY_ENTER:
            if (IsActive() != 0)
                return OnEnter();
            break;
        case NOTIFY_LEAVE:
            if (m_state == RS_ENTERED || m_state == RS_HOLDING)
                return OnLeave();
            break;
        case NOTIFY_EXIT:
            if (IsActive() == 0)
                return OnExit();
            break;
        default:
            break;
    }
    return S_OK;
}

STDMETHODIMP CRenderBase::OnTick(int arg) {
    BusyGuard guard(m_busy);
    if (!guard.m_entered)
        return S_OK;
    long long now = PageClock();
    long long s1 = RenderSchedule(1), s2 = RenderSchedule(2), s3 = RenderSchedule(3),
              s4 = RenderSchedule(4);
    if (s1 == -1 && m_state != RS_IDLE && m_enterTime != -1)
        s1 = m_enterTime;
    if (s3 == -1 && (m_state == RS_LEAVING || m_state == RS_EXITED) && m_leaveTime != -1)
        s3 = m_leaveTime - s1 - s2;
    int step = 0, target = -1;
    long long due = -1;
    bool stepOne = false;
    if (s1 == -1) {
        step = 1;
        stepOne = true;
    } else if (now < s1) {
        step = 1;
        due = s1;
        stepOne = true;
    } else if (now < s1 + s2) {
        target = RS_ENTERED;
        step = 2;
        due = s1 + s2;
    } else if (s3 == -1) {
        target = RS_HOLDING;
        step = 3;
    } else if (now < s1 + s2 + s3) {
        target = RS_HOLDING;
        step = 3;
        due = s1 + s2 + s3;
    } else if (now < s1 + s2 + s3 + s4) {
        target = RS_LEAVING;
        step = 4;
        due = s1 + s2 + s3 + s4;
    } else {
        if (m_state >= RS_ENTERED && m_state <= RS_LEAVING)
            DoExit(true);
        else if (m_state == RS_IDLE)
            m_state = RS_EXITED;
        return S_OK;
    }
    if (stepOne) {
        if (m_state >= RS_ENTERED && m_state <= RS_LEAVING)
            DoExit(true);
        m_state = RS_IDLE;
    } else if (m_state == RS_IDLE || m_state == RS_EXITED) {
        m_state = RS_IDLE;
        step = 1;
        due = now;
    } else if (m_state != target) {
        m_state = target;
        EndChange(nullptr);
    }
    ScheduleStep((DWORD)step, due);
    (void)arg;
    return S_OK;
}

// ---- parts and record ----

void CRenderBase::ReleaseParts() {
    DropClock(m_showClock);
    DropClock(m_hideClock);
    DropClock(m_effectClock);
    if (m_showTransition)
        m_showTransition->Release();
    if (m_hideTransition)
        m_hideTransition->Release();
    if (m_effect)
        m_effect->Release();
    m_showTransition = m_hideTransition = nullptr;
    m_effect = nullptr;
}

STDMETHODIMP CRenderBase::CreateParts(ObjectCreationRecord*) {
    ReleaseParts();
    HRESULT hr = CreateEffectRender(&m_showTransition, &m_target);
    if (SUCCEEDED(hr))
        hr = m_showTransition->SetEntering(TRUE);
    if (SUCCEEDED(hr))
        hr = CreateEffectRender(&m_hideTransition, &m_target);
    if (SUCCEEDED(hr))
        hr = m_hideTransition->SetEntering(FALSE);
    if (SUCCEEDED(hr))
        hr = CreateDecorRender(&m_effect, &m_target);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "CreateParts: render parts not made");
        ReleaseParts();
        return hr;
    }
    IPlayerSite* play = nullptr;
    if (IObjectSite* site = RenderObjectSite())
        site->GetPlaySite(&play);
    m_showClock = MakeClock(m_showTransition, play);
    m_hideClock = MakeClock(m_hideTransition, play);
    m_effectClock = MakeClock(m_effect, play);
    return S_OK;
}

HRESULT CRenderBase::LoadParts(ITeskStream* stream) {
    // Records without parts to read them cannot be passed over: refuse.
    if (!m_showTransition || !m_hideTransition || !m_effect) {
        LOG_MSG("Render record: no transition parts to read it");
        return E_FAIL;
    }
    if (FAILED(m_showTransition->Load(stream)) || FAILED(m_hideTransition->Load(stream)) ||
        FAILED(m_effect->Load(stream))) {
        LOG_MSG("Render record: a transition part's record failed");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CRenderBase::LoadRender(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    LONG v[7];
    if (!StreamHas(stream, sizeof(v))) {
        LOG_MSG("Render record past the stream's end");
        return E_FAIL;
    }
    stream->Read(v, sizeof(v));
    m_storedX = v[0];
    m_storedY = v[1];
    m_storedWidth = v[2];
    m_storedHeight = v[3];
    m_storedAngle = v[4];
    m_flags = (DWORD)v[5] | RF_VISIBLE;
    m_alpha = v[6] & 0xFF;
    m_x = m_storedX;
    m_y = m_storedY;
    m_width = m_storedWidth;
    m_height = m_storedHeight;
    m_angle = m_storedAngle;
    HRESULT hr = LoadParts(stream);
    if (FAILED(hr))
        return hr;
    DWORD parts = 0;
    if (!StreamReadValue(stream, &parts)) {
        LOG_MSG("Render record: parts word past the stream's end");
        return E_FAIL;
    }
    if ((parts & 1) && FAILED(LoadAttachedPart(stream)))
        return E_FAIL;
    if (parts & 2) {
        ICursorAbility* cursor = RenderCursor();
        if (!cursor || FAILED(cursor->Load(stream)))
            return E_FAIL;
    }
    if (parts & 4) {
        IToolTipProp* tip = RenderToolTip();
        if (!tip || FAILED(tip->Load(stream)))
            return E_FAIL;
    }
    return S_OK;
}
