// The fill object and the solid fill (see bFillShd.h).
#include "bFillShd.h"

#include <limits.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>

#include "aDXBuf.h"
#include "aGDIBuf.h"
#include "aPixBuf.h"
#include "aUtil.h"
#include "bFillInner.h"
#include "bGrphLib.h"
#include "bPropertyAccess.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {

// Pattern table resource: 31 base rows, one empty row, 7 overlays.
enum { PATTERN_RESOURCE = 5805, PATTERN_ROWS = 39 };

}  // namespace

COLORREF BlendColor(COLORREF a, COLORREF b, int percent) {
    if (a == b)
        return a;
    COLORREF out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        int c = (int)(percent * 0.01 * (cb - ca) + ca);
        c = std::max(0, std::min(255, c));
        out |= (COLORREF)c << shift;
    }
    return out;
}

void FillPixels(DWORD* pixels, int n, DWORD value) {
    int done = std::min(n, 16);
    for (int i = 0; i < done; ++i) pixels[i] = value;
    // Doubling copies of what is already there.
    while (done < n) {
        int step = std::min(done, n - done);
        memcpy(pixels + done, pixels, step * sizeof(DWORD));
        done += step;
    }
}

HRESULT FillBufferRect(IPixelBuffer* buffer, const RECT* clip, DWORD value) {
    HRESULT hr = ScopedUseBegin(buffer, PIXLOCK_WRITE);
    if (FAILED(hr))
        return hr;
    BufferInfo info = ReadBufferInfo(buffer, BIM_ALL);
    RECT r = *clip;
    if (info.pPixels && ClipToBuffer(&r, info)) {
        DWORD* first =
            reinterpret_cast<DWORD*>(info.pPixels + (ptrdiff_t)r.top * info.nPitch) + r.left;
        int width = r.right - r.left;
        FillPixels(first, width, value);
        for (int y = r.top + 1; y < r.bottom; ++y)
            memcpy(reinterpret_cast<DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch) + r.left,
                   first, width * sizeof(DWORD));
    }
    ScopedUseEnd(buffer);
    return S_OK;
}

IPixelBuffer* CreateFillBufferLike(int width, int height, IPixelBuffer* model) {
    return CreateBufferLike(width, height, model);
}

const BYTE* GetFillPatternTable() {
    static const BYTE* table = [] {
        DWORD size = 0;
        const void* data = LoadRCDataResource(PATTERN_RESOURCE, &size);
        if (!data || size < PATTERN_ROWS * 8) {
            LOG_MSG("Fill pattern table -- Error in resource");
            return (const BYTE*)nullptr;
        }
        return static_cast<const BYTE*>(data);
    }();
    return table;
}

void BuildPatternMask(int pattern, BYTE mask[8]) {
    memset(mask, 0, 8);
    const BYTE* table = GetFillPatternTable();
    if (!table)
        return;
    int n = (pattern & FILLPAT_BASE) >> FILLPAT_BASE_SHIFT;
    int k = pattern & FILLPAT_OVERLAY;
    if (n >= 1)
        memcpy(mask, table + (n - 1) * 8, 8);
    if (k != 0)
        for (int r = 0; r < 8; ++r) mask[r] |= table[(31 + k) * 8 + r];
    if (!(pattern & FILLPAT_UNROTATED)) {
        // The new pixel (x, y) takes the old pixel (7 - y, x).
        BYTE turned[8] = {};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                int ox = 7 - y, oy = x;
                if (mask[oy] & (0x80 >> ox))
                    turned[y] |= (BYTE)(0x80 >> x);
            }
        memcpy(mask, turned, 8);
    }
}

namespace {

class SolidFill : public FillBase, public ISolidFillParams {
public:
    SolidFill() : m_color(0xFFFFFF) {}

    HRESULT Load(ITeskStream* stream) override {
        COLORREF color;
        stream->Read(&color, 4);
        m_color = color;
        return S_OK;
    }
    HRESULT Save(ITeskStream* stream) override {
        stream->Write(&m_color, 4);
        return S_OK;
    }
    HRESULT Render(const RECT*, IPixelBuffer* buffer, BYTE alpha, const RECT* clip,
                   IPlayerSite*) override {
        m_alpha = alpha;
        DWORD value = FillPixel(m_color, alpha);
        // A surface's colour-fill blit drops the alpha byte (the surface has
        // no alpha mask), so both kinds of buffer are filled through a lock:
        // the same pixels on either.
        return FillBufferRect(buffer, clip, value);
    }
    HRESULT CopyFrom(FillObject* other) override {
        ISolidFillParams* params = nullptr;
        if (FAILED(other->GetFillParams(reinterpret_cast<void**>(&params))) || !params)
            return E_FAIL;
        return params->GetColor(&m_color);
    }
    HRESULT Interpolate(FillObject* a, FillObject* b, int percent) override {
        ISolidFillParams *pa = nullptr, *pb = nullptr;
        a->GetFillParams(reinterpret_cast<void**>(&pa));
        b->GetFillParams(reinterpret_cast<void**>(&pb));
        if (!pa || !pb)
            return E_FAIL;
        COLORREF ca = 0, cb = 0;
        pa->GetColor(&ca);
        pb->GetColor(&cb);
        m_color = BlendColor(ca, cb, percent);
        return S_OK;
    }
    void* GetParams() override { return static_cast<ISolidFillParams*>(this); }

    STDMETHOD(SetColor)(COLORREF color) override { return SetProperty(m_color, color); }
    STDMETHOD(GetColor)(COLORREF* color) override { return GetProperty(m_color, color); }

private:
    COLORREF m_color;
};

}  // namespace

FillBase* CreateInnerFill(int type) {
    switch (type) {
        case FILL_SOLID:
            return new (std::nothrow) SolidFill();
        case FILL_GRADIENT:
            return CreateGradientFill();
        case FILL_PICTURE:
            return CreatePictureFill();
        case FILL_TEXTURE:
            return CreateTextureFill();
    }
    return nullptr;
}

namespace {

class CFillObject : public CComObjectRootBase, public FillObject {
public:
    BEGIN_COM_MAP(CFillObject)
    COM_INTERFACE_ENTRY(FillObject)
    END_COM_MAP()

    CFillObject()
        : m_alpha(255),
          m_flags(0),
          m_fillType(FILL_SOLID),
          m_mode(FILLMODE_FILL),
          m_pattern(0),
          m_patternColor(0xFFFFFF),
          m_pInner(new (std::nothrow) SolidFill()) {
        m_reserved[0] = m_reserved[1] = 0;
    }
    virtual ~CFillObject() { delete m_pInner; }

    STDMETHOD(Load)(ITeskStream* stream) override;
    STDMETHOD(Save)(ITeskStream* stream) override;
    STDMETHOD(Reserved5)(void*, void*, void*, void*) override { return S_OK; }
    STDMETHOD(RenderToDC)(HDC dc, const RECT* bounds, const RECT* clip, IPlayerSite* site) override;
    STDMETHOD(Render)
    (const RECT* bounds, IPixelBuffer* buffer, const RECT* clip, IPlayerSite* site) override;
    STDMETHOD(CopyFrom)(FillObject* other) override;
    STDMETHOD(InterpolateFill)(FillObject* a, FillObject* b, int percent) override;
    STDMETHOD(SetFillType)(int type) override;
    STDMETHOD(GetFillType)(int* type) override { return GetProperty(m_fillType, type); }
    STDMETHOD(GetFillParams)(void** params) override {
        if (!params)
            return E_POINTER;
        *params = nullptr;
        if (m_fillType < FILL_SOLID || m_fillType > FILL_TEXTURE)
            return E_FAIL;
        if (m_pInner)
            *params = m_pInner->GetParams();
        return S_OK;
    }
    STDMETHOD(SetMode)(int mode) override { return SetProperty(m_mode, mode); }
    STDMETHOD(GetMode)(int* mode) override { return GetProperty(m_mode, mode); }
    STDMETHOD(SetPattern)(int pattern) override {
        if (m_mode != FILLMODE_PATTERN)
            return E_INVALIDARG;
        m_pattern = pattern;
        return S_OK;
    }
    STDMETHOD(GetPattern)(int* pattern) override {
        if (m_mode != FILLMODE_PATTERN)
            return E_INVALIDARG;
        if (!pattern)
            return E_POINTER;
        *pattern = m_pattern;
        return S_OK;
    }
    STDMETHOD(SetPatternTransparent)(int value) override {
        if (m_mode != FILLMODE_PATTERN)
            return E_INVALIDARG;
        m_flags = (BYTE)((m_flags & ~FILLFLAG_PATTERN_TRANSPARENT) |
                         (value ? FILLFLAG_PATTERN_TRANSPARENT : 0));
        return S_OK;
    }
    STDMETHOD(GetPatternTransparent)(int* value) override {
        if (!value)
            return E_POINTER;
        *value = m_flags & FILLFLAG_PATTERN_TRANSPARENT;
        return m_mode == FILLMODE_PATTERN ? S_OK : E_INVALIDARG;
    }
    STDMETHOD(SetPatternColor)(COLORREF color) override {
        if (m_mode != FILLMODE_PATTERN || (m_flags & FILLFLAG_PATTERN_TRANSPARENT))
            return E_INVALIDARG;
        m_patternColor = color;
        m_flags |= FILLFLAG_PATTERN_COLOR;
        return S_OK;
    }
    STDMETHOD(GetPatternColor)(COLORREF* color) override {
        if (!color)
            return E_POINTER;
        *color = m_patternColor;
        return (m_flags & FILLFLAG_PATTERN_COLOR) ? S_OK : E_INVALIDARG;
    }
    STDMETHOD(SetAlpha)(BYTE alpha) override { return SetProperty(m_alpha, alpha); }
    STDMETHOD(GetAlpha)(BYTE* alpha) override { return GetProperty(m_alpha, alpha); }
    STDMETHOD(ScaleAlpha)(const RECT* rect, IPixelBuffer* buffer, BYTE a) override;
    STDMETHOD(ReportMedia)(IMediaCollector* collector) override;
    STDMETHOD(Reserved25)() override { return E_NOTIMPL; }
    STDMETHOD_(void, Destroy)(UINT flags) override {
        if (flags & 1) {
            delete this;
            return;
        }
        delete m_pInner;
        m_pInner = nullptr;
    }
    STDMETHOD(SetFlagByte)(BYTE flags) override {
        m_flags = flags;
        return S_OK;
    }

private:
    // The overlay over area (pixel coordinates): only pixels inside the
    // area, in the pattern's 8-pixel phase of the buffer.
    void PaintPattern(IPixelBuffer* buffer, const RECT& area);

    BYTE m_alpha;
    BYTE m_flags;
    BYTE m_reserved[2];
    int m_fillType;
    int m_mode;
    int m_pattern;
    COLORREF m_patternColor;
    FillBase* m_pInner;
};

STDMETHODIMP CFillObject::SetFillType(int type) {
    if (type == m_fillType && (m_pInner || type < FILL_SOLID || type > FILL_TEXTURE))
        return m_pInner ? S_OK : E_FAIL;
    m_fillType = type;
    delete m_pInner;
    m_pInner = CreateInnerFill(type);
    return m_pInner ? S_OK : E_FAIL;
}

STDMETHODIMP CFillObject::Save(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    BYTE head[20];
    head[0] = m_alpha;
    head[1] = m_flags;
    head[2] = m_reserved[0];
    head[3] = m_reserved[1];
    memcpy(head + 4, &m_fillType, 4);
    memcpy(head + 8, &m_mode, 4);
    memcpy(head + 12, &m_pattern, 4);
    memcpy(head + 16, &m_patternColor, 4);
    stream->Write(head, sizeof(head));
    DWORD size = 0;
    if (!m_pInner) {
        stream->Write(&size, 4);
        return S_OK;
    }
    ULONGLONG at = stream->GetPosition();
    stream->Write(&size, 4);
    HRESULT hr = m_pInner->Save(stream);
    ULONGLONG end = stream->GetPosition();
    size = (DWORD)(end - at - 4);
    stream->Seek((LONGLONG)at, TESK_SEEK_SET);
    stream->Write(&size, 4);
    stream->Seek((LONGLONG)end, TESK_SEEK_SET);
    return hr;
}

STDMETHODIMP CFillObject::Load(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    BYTE head[24];
    stream->Read(head, sizeof(head));
    int type, mode, pattern;
    COLORREF patternColor;
    DWORD size;
    memcpy(&type, head + 4, 4);
    memcpy(&mode, head + 8, 4);
    memcpy(&pattern, head + 12, 4);
    memcpy(&patternColor, head + 16, 4);
    memcpy(&size, head + 20, 4);
    ULONGLONG start = stream->GetPosition(), total = stream->GetSize();
    if (start > total || size > total - start) {
        LOG_MSG("FillObject::Load: inner fill size %u beyond the stream", (unsigned)size);
        return E_FAIL;
    }
    // The inner fill is read into a new object, so that a failure leaves
    // this one as it was.
    std::unique_ptr<FillBase> inner;
    if (type >= FILL_SOLID && type <= FILL_TEXTURE) {
        inner.reset(CreateInnerFill(type));
        if (!inner)
            return E_OUTOFMEMORY;
        HRESULT hr = inner->Load(stream);
        if (FAILED(hr)) {
            LOG_MSG("m_pShadeFill Load func Failed.");
            return hr;
        }
        if (stream->GetPosition() - start > size) {
            LOG_MSG("FillObject::Load: inner fill read beyond its %u bytes", (unsigned)size);
            return E_FAIL;
        }
    }
    // The stream stands at the record's end whatever the inner fill read.
    stream->Seek((LONGLONG)(start + size), TESK_SEEK_SET);
    m_alpha = head[0];
    m_flags = head[1];
    m_fillType = type;
    m_mode = mode;
    m_pattern = pattern;
    m_patternColor = patternColor;
    delete m_pInner;
    m_pInner = inner.release();
    return S_OK;
}

void CFillObject::PaintPattern(IPixelBuffer* buffer, const RECT& area) {
    BYTE mask[8];
    BuildPatternMask(m_pattern, mask);
    if (FAILED(ScopedUseBegin(buffer, PIXLOCK_WRITE)))
        return;
    BufferInfo info = ReadBufferInfo(buffer, BIM_ALL);
    RECT r = area;
    bool transparent = (m_flags & FILLFLAG_PATTERN_TRANSPARENT) != 0;
    DWORD value = FillPixel(m_patternColor, m_alpha);
    if (info.pPixels && ClipToBuffer(&r, info)) {
        for (int y = r.top; y < r.bottom; ++y) {
            BYTE bits = mask[y & 7];
            if (!bits)
                continue;
            DWORD* row = reinterpret_cast<DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch);
            for (int x = r.left; x < r.right; ++x) {
                if (!(bits & (0x80 >> (x & 7))))
                    continue;
                if (transparent)
                    row[x] &= 0x00FFFFFF;
                else
                    row[x] = value;
            }
        }
    }
    ScopedUseEnd(buffer);
    if (transparent)
        buffer->EnablePixelAlpha(TRUE);
}

namespace {

// A rectangle moved by (dx, dy) in 64-bit arithmetic; false when it leaves
// the 32-bit range.
bool MovedRect(const RECT& r, long long dx, long long dy, RECT* out) {
    long long v[4] = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    for (long long x : v)
        if (x < INT_MIN || x > INT_MAX)
            return false;
    SetRect(out, (int)v[0], (int)v[1], (int)v[2], (int)v[3]);
    return true;
}

// The origin of a scratch buffer for the clip part `c` of a fill over the
// bounds `b`: at or before the clip, in the bounds' phase of the 8 x 8
// pattern, so the scratch buffer is the size of the clip, not the bounds.
POINT ScratchOrigin(const RECT& b, const RECT& c) {
    long long dx = ((long long)c.left - b.left) % 8, dy = ((long long)c.top - b.top) % 8;
    POINT o = {(LONG)(c.left - (dx < 0 ? dx + 8 : dx)), (LONG)(c.top - (dy < 0 ? dy + 8 : dy))};
    return o;
}

// An inner fill's drawing; a library exception (memory) becomes a failure
// instead of leaving the drawing.
HRESULT InnerRender(FillBase* inner, const RECT* bounds, IPixelBuffer* buffer, BYTE alpha,
                    const RECT* clip, IPlayerSite* site) {
    try {
        return inner->Render(bounds, buffer, alpha, clip, site);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

}  // namespace

STDMETHODIMP CFillObject::Render(const RECT* bounds, IPixelBuffer* buffer, const RECT* clip,
                                 IPlayerSite* site) {
    if (!buffer)
        return E_POINTER;
    if (m_mode == FILLMODE_NONE) {
        if (!bounds)
            buffer->EnablePixelAlpha(TRUE);
        return S_OK;
    }
    if (!m_pInner)
        return E_FAIL;
    BufferInfo info = ReadBufferInfo(buffer, BIM_HEIGHT | BIM_WIDTH | BIM_OFFSET);
    RECT b, c;
    if (bounds) {
        // Bounds that the buffer's offset would carry out of range draw
        // nothing.
        if (!MovedRect(*bounds, info.nOffsetX, info.nOffsetY, &b))
            return S_OK;
    } else {
        SetRect(&b, 0, 0, info.nWidth, info.nHeight);
    }
    if (clip) {
        if (!MovedRect(*clip, info.nOffsetX, info.nOffsetY, &c))
            return S_OK;
    } else {
        c = b;
    }
    if (!ClipToBuffer(&c, info) || IsRectEmpty(&b))
        return S_OK;

    BufferInfo origin = {};
    origin.dwSize = sizeof(origin);
    origin.wMask = BIM_OFFSET;
    buffer->SetBufferInfo(&origin);

    HRESULT hr = S_OK;
    if (bounds && m_alpha < 255) {
        // A scratch buffer over the clip, in the pattern's phase.
        POINT o = ScratchOrigin(b, c);
        int w = c.right - o.x, h = c.bottom - o.y;
        RECT tb, tc = c;
        OffsetRect(&tc, -o.x, -o.y);
        CComPtr<IPixelBuffer> temp;
        if (MovedRect(b, -(long long)o.x, -(long long)o.y, &tb))
            temp.Attach(CreateFillBufferLike(w, h, buffer));
        if (!temp) {
            hr = E_OUTOFMEMORY;
        } else {
            // The destination's area first, so that the blend back keeps
            // what the fill does not cover.
            if (SUCCEEDED(ScopedUseBegin(buffer, PIXLOCK_READ))) {
                if (SUCCEEDED(ScopedUseBegin(temp, PIXLOCK_WRITE))) {
                    BufferInfo si = ReadBufferInfo(buffer, BIM_ALL),
                               ti = ReadBufferInfo(temp, BIM_ALL);
                    RECT inside = {o.x, o.y, c.right, c.bottom};
                    if (si.pPixels && ti.pPixels && ClipToBuffer(&inside, si))
                        for (int y = inside.top; y < inside.bottom; ++y)
                            memcpy(ti.pPixels + (ptrdiff_t)(y - o.y) * ti.nPitch +
                                       (inside.left - o.x) * 4,
                                   si.pPixels + (ptrdiff_t)y * si.nPitch + inside.left * 4,
                                   (inside.right - inside.left) * 4);
                    ScopedUseEnd(temp);
                }
                ScopedUseEnd(buffer);
            }
            hr = InnerRender(m_pInner, &tb, temp, m_alpha, &tc, site);
            if (SUCCEEDED(hr)) {
                if (m_mode == FILLMODE_PATTERN)
                    PaintPattern(temp, tc);
                BufferInfo ai = {};
                ai.dwSize = sizeof(ai);
                ai.wMask = BIM_CONSTALPHA;
                ai.bConstAlpha = m_alpha;
                temp->SetBufferInfo(&ai);
                temp->EnableConstAlpha(TRUE);
                buffer->Blit(&c, temp, &tc, 0);
            }
        }
    } else {
        hr = InnerRender(m_pInner, &b, buffer, m_alpha, &c, site);
        if (SUCCEEDED(hr)) {
            if (m_mode == FILLMODE_PATTERN)
                PaintPattern(buffer, c);
            if (m_alpha != 255)
                buffer->EnablePixelAlpha(TRUE);
        }
    }
    if (FAILED(hr))
        LOG_MSG("RenderSolidShade Failed!");

    origin.nOffsetX = info.nOffsetX;
    origin.nOffsetY = info.nOffsetY;
    buffer->SetBufferInfo(&origin);
    return hr;
}

STDMETHODIMP CFillObject::RenderToDC(HDC dc, const RECT* bounds, const RECT* clip,
                                     IPlayerSite* site) {
    if (!dc || !bounds)
        return E_POINTER;
    if (m_mode == FILLMODE_NONE)
        return S_OK;
    if (!m_pInner)
        return E_FAIL;
    RECT b = *bounds, c = clip ? *clip : *bounds;
    if (b.left > b.right)
        std::swap(b.left, b.right);
    if (b.top > b.bottom)
        std::swap(b.top, b.bottom);
    if (c.left > c.right)
        std::swap(c.left, c.right);
    if (c.top > c.bottom)
        std::swap(c.top, c.bottom);
    // Only what the context can show is drawn: the scratch buffer is the
    // size of the clip inside the bounds, in the pattern's phase.
    RECT box;
    if (GetClipBox(dc, &box) != ERROR && !IntersectRect(&c, &c, &box))
        return S_OK;
    if (b.right <= b.left || b.bottom <= b.top || !IntersectRect(&c, &c, &b))
        return S_OK;
    POINT o = ScratchOrigin(b, c);
    RECT tb, tc = c;
    OffsetRect(&tc, -o.x, -o.y);
    if (!MovedRect(b, -(long long)o.x, -(long long)o.y, &tb))
        return S_OK;
    CComPtr<IPixelBuffer> temp;
    temp.Attach(CreateSiteBuffer(c.right - o.x, c.bottom - o.y, site));
    if (!temp)
        return E_OUTOFMEMORY;
    if (FAILED(InnerRender(m_pInner, &tb, temp, m_alpha, &tc, site)))
        return E_FAIL;
    if (m_alpha != 255)
        temp->EnablePixelAlpha(TRUE);
    if (m_mode == FILLMODE_PATTERN)
        PaintPattern(temp, tc);
    HDC source = nullptr;
    if (SUCCEEDED(temp->GetDC(&source)) && source) {
        BitBlt(dc, c.left, c.top, c.right - c.left, c.bottom - c.top, source, tc.left, tc.top,
               RasterOpFromROP2(GetROP2(dc)));
        temp->ReleaseDC(source);
    }
    return S_OK;
}

STDMETHODIMP CFillObject::CopyFrom(FillObject* other) {
    if (!other)
        return E_POINTER;
    if (other == static_cast<FillObject*>(this))
        return S_OK;
    int type = 0, mode = 0, pattern = 0, transparent = 0;
    COLORREF color = 0;
    BYTE alpha = 255;
    other->GetFillType(&type);
    SetFillType(type);
    if (m_pInner)
        m_pInner->CopyFrom(other);
    other->GetMode(&mode);
    m_mode = mode;
    bool readable = SUCCEEDED(other->GetPatternColor(&color));
    m_patternColor = color;
    m_flags = (BYTE)((m_flags & ~FILLFLAG_PATTERN_COLOR) | (readable ? FILLFLAG_PATTERN_COLOR : 0));
    if (SUCCEEDED(other->GetPattern(&pattern)))
        m_pattern = pattern;
    other->GetPatternTransparent(&transparent);
    m_flags = (BYTE)((m_flags & ~FILLFLAG_PATTERN_TRANSPARENT) |
                     (transparent ? FILLFLAG_PATTERN_TRANSPARENT : 0));
    other->GetAlpha(&alpha);
    m_alpha = alpha;
    return S_OK;
}

STDMETHODIMP CFillObject::InterpolateFill(FillObject* a, FillObject* b, int percent) {
    if (!a || !b)
        return E_POINTER;
    int ta = -1, tb = -1;
    a->GetFillType(&ta);
    b->GetFillType(&tb);
    int result;
    if (ta == tb)
        result = ta;
    else if ((ta == FILL_SOLID && tb == FILL_GRADIENT) || (ta == FILL_GRADIENT && tb == FILL_SOLID))
        result = FILL_GRADIENT;
    else {
        LOG_MSG("InterpolateFill Failed! Different fill type: %d and %d", ta, tb);
        return E_INVALIDARG;
    }
    int ma = 0, mb = 0;
    a->GetMode(&ma);
    b->GetMode(&mb);
    if (ma != mb) {
        LOG_MSG("InterpolateFill Failed! Different fill Mode: %d and %d", ma, mb);
        return E_INVALIDARG;
    }
    m_mode = ma;
    int pattern = 0;
    if (SUCCEEDED(a->GetPattern(&pattern)))
        m_pattern = pattern;
    if (m_fillType != result || !m_pInner) {
        if (FAILED(SetFillType(result)) || !m_pInner) {
            LOG_MSG("InterpolateFill Failed! Create Fill pointer failed!");
            return E_OUTOFMEMORY;
        }
    }
    if (ta == result)
        return m_pInner->Interpolate(a, b, percent);
    return m_pInner->Interpolate(b, a, 100 - percent);
}

STDMETHODIMP CFillObject::ScaleAlpha(const RECT* rect, IPixelBuffer* buffer, BYTE a) {
    if (!buffer)
        return E_POINTER;
    buffer->EnablePixelAlpha(TRUE);
    HRESULT hr = ScopedUseBegin(buffer, PIXLOCK_WRITE);
    if (FAILED(hr))
        return hr;
    BYTE table[256];
    for (int i = 0; i < 256; ++i) table[i] = (BYTE)((128 + i * a) / 255);
    BufferInfo info = ReadBufferInfo(buffer, BIM_ALL);
    RECT r;
    if (rect)
        r = *rect;
    else
        SetRect(&r, 0, 0, info.nWidth, info.nHeight);
    if (info.pPixels && ClipToBuffer(&r, info))
        for (int y = r.top; y < r.bottom; ++y) {
            BYTE* p = info.pPixels + (ptrdiff_t)y * info.nPitch + r.left * 4 + 3;
            for (int x = r.left; x < r.right; ++x, p += 4) *p = table[*p];
        }
    ScopedUseEnd(buffer);
    return S_OK;
}

STDMETHODIMP CFillObject::ReportMedia(IMediaCollector* collector) {
    if (!collector || m_fillType != FILL_PICTURE || !m_pInner)
        return S_OK;
    char name[260] = {};
    ReportPictureName(m_pInner, name);
    if (name[0])
        collector->AddMedia(2, name);
    return S_OK;
}

}  // namespace

FillObject* CreateFillObject() {
    CComObject<CFillObject>* p = nullptr;
    if (FAILED(CComObject<CFillObject>::CreateInstance(&p)))
        return nullptr;
    p->AddRef();
    FillObject* out = nullptr;
    if (FAILED(p->QueryInterface(__uuidof(FillObject), reinterpret_cast<void**>(&out))))
        out = nullptr;
    p->Release();
    return out;
}
