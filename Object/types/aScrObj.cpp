#include "aScrObj.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "aDXBuf.h"
#include "aFillFiles.h"
#include "aPlaySite.h"
#include "bFillShd.h"
#include "bStorage.h"
#include "bStrConv.h"

namespace {

PFNSCROLLKEYSTATE g_keyState = ::GetKeyState;

bool LeftButtonDown() {
    return g_keyState(VK_LBUTTON) < 0;
}

const RECT kNoRect = {-1, -1, -1, -1};
// Longest link name a record may carry, in characters.
const DWORD kMaxLinkChars = 1024;

LONG Clamp64(long long v) {
    if (v > LONG_MAX)
        return LONG_MAX;
    if (v < LONG_MIN)
        return LONG_MIN;
    return (LONG)v;
}

bool IsNoRect(const RECT& r) {
    return r.left == -1 && r.top == -1 && r.right == -1 && r.bottom == -1;
}

bool Inside(const RECT& r, LONG x, LONG y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

FillObject* NewPartFill(COLORREF color) {
    FillObject* fill = CreateFillObject();
    if (!fill)
        return nullptr;
    fill->SetFillType(FILL_SOLID);
    void* params = nullptr;
    if (SUCCEEDED(fill->GetFillParams(&params)) && params)
        static_cast<ISolidFillParams*>(params)->SetColor(color);
    return fill;
}

// A stream string: a character count with the NUL, then that many UTF-16
// characters.
bool ReadStreamString(ITeskStream* stream, std::string* out) {
    DWORD n = 0;
    if (!StreamReadValue(stream, &n) || n > kMaxLinkChars || !StreamHas(stream, 2ULL * n)) {
        LOG_MSG("Scroll bar record: link name of %lu characters refused", (unsigned long)n);
        return false;
    }
    std::vector<char> text(2 * (size_t)n + 1, 0);
    if (n)
        stream->ReadWideString(text.data(), n);
    out->assign(text.data());
    return true;
}

void WriteStreamString(ITeskStream* stream, const std::string& text) {
    if (text.empty()) {
        StreamWriteValue<DWORD>(stream, 0);
        return;
    }
    std::wstring wide = WideFromMultibyte(text.c_str());
    DWORD n = (DWORD)wide.size() + 1;
    StreamWriteValue(stream, n);
    stream->WriteWideString(text.c_str(), n);
}

struct Pixels {
    DWORD* p = nullptr;
    int pitch = 0, w = 0, h = 0;
    DWORD& at(int x, int y) { return p[(ptrdiff_t)y * pitch + x]; }
};

bool LockPixels(IPixelBuffer* b, Pixels* out) {
    BufferInfo info = ReadBufferInfo(b);
    if (!info.pPixels)
        return false;
    out->p = reinterpret_cast<DWORD*>(info.pPixels);
    out->pitch = info.nPitch / 4;
    out->w = info.nWidth;
    out->h = info.nHeight;
    return true;
}

void Line(HDC dc, COLORREF color, int x, int y, int w, int h) {
    if (w <= 0 || h <= 0)
        return;
    RECT r = {x, y, x + w, y + h};
    SetBkColor(dc, color);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

}  // namespace

PFNSCROLLKEYSTATE SetScrollBarKeyState(PFNSCROLLKEYSTATE fn) {
    PFNSCROLLKEYSTATE old = g_keyState;
    g_keyState = fn ? fn : ::GetKeyState;
    return old;
}

// ---- parts ----

ScrollPart::ScrollPart(Role r)
    : role(r),
      rect(kNoRect),
      visible(0),
      bevel(1),
      light(0xFFFFFF),
      shadow(0x808080),
      face(0xC0C0C0),
      dark(0),
      fill(NewPartFill(0xC0C0C0)),
      pressedFill(r == ARROW ? NewPartFill(0xDFDFDF) : nullptr),
      direction(0),
      alphaStart(0),
      alphaEnd(0) {}

ScrollPart::~ScrollPart() {
    if (fill)
        fill->Release();
    if (pressedFill)
        pressedFill->Release();
}

// rectangle, visible, bevel, four colours, the fill; an arrow's direction
// and pressed fill; the thumb's two alpha values.
HRESULT ScrollPart::Load(ITeskStream* stream) {
    LONG v[10];
    if (!StreamHas(stream, sizeof(v)))
        return E_FAIL;
    stream->Read(v, sizeof(v));
    rect = {v[0], v[1], v[2], v[3]};
    visible = v[4];
    bevel = v[5];
    light = (COLORREF)v[6];
    shadow = (COLORREF)v[7];
    face = (COLORREF)v[8];
    dark = (COLORREF)v[9];
    if (FAILED(fill->Load(stream)))
        return E_FAIL;
    if (role == ARROW) {
        if (!StreamReadValue(stream, &direction) || FAILED(pressedFill->Load(stream)))
            return E_FAIL;
    } else if (role == THUMB) {
        if (!StreamReadValue(stream, &alphaStart) || !StreamReadValue(stream, &alphaEnd))
            return E_FAIL;
    }
    return S_OK;
}

HRESULT ScrollPart::Save(ITeskStream* stream) const {
    LONG v[10] = {rect.left, rect.top,    rect.right,   rect.bottom, visible,
                  bevel,     (LONG)light, (LONG)shadow, (LONG)face,  (LONG)dark};
    stream->Write(v, sizeof(v));
    fill->Save(stream);
    if (role == ARROW) {
        StreamWriteValue(stream, direction);
        pressedFill->Save(stream);
    } else if (role == THUMB) {
        StreamWriteValue(stream, alphaStart);
        StreamWriteValue(stream, alphaEnd);
    }
    return S_OK;
}

// ---- the object ----

ScrollBarObject::ScrollBarObject()
    : m_value(0),
      m_max(100),
      m_min(0),
      m_page(10),
      m_step(1),
      m_kind(SCROLLKIND_FIXEDSLIDER),
      m_bevel(1),
      m_vertical(0),
      m_linked(0),
      m_sink(nullptr),
      m_sinkRow(0),
      m_pressMode(SCROLLPRESS_NONE),
      m_pressedInside(0),
      m_pressX(0),
      m_pressY(0),
      m_pressValue(0),
      m_trackTarget(0),
      m_laidWidth(-1),
      m_laidHeight(-1) {}

ScrollBarObject::~ScrollBarObject() {
    Unbind();
    CAbility::Stop();
}

HRESULT ScrollBarObject::SetUp() {
    m_arrow1.reset(new (std::nothrow) ScrollPart(ScrollPart::ARROW));
    m_arrow2.reset(new (std::nothrow) ScrollPart(ScrollPart::ARROW));
    m_track.reset(new (std::nothrow) ScrollPart(ScrollPart::TRACK));
    m_thumb.reset(new (std::nothrow) ScrollPart(ScrollPart::THUMB));
    for (auto* p : {&m_arrow1, &m_arrow2, &m_track, &m_thumb})
        if (!*p || !(*p)->Ok())
            return E_OUTOFMEMORY;
    return S_OK;
}

STDMETHODIMP ScrollBarObject::Init(ObjectCreationRecord* record) {
    HRESULT hr = ClassBase::Init(record);
    if (FAILED(hr))
        return hr;
    CAbility::SetSite(ClassSite());
    DWORD typeId = record->pRecord ? record->pRecord->dwTypeId : 0;
    DWORD low = typeId & 0xFF;
    if ((typeId & 0xFFFFFE00) == 0x02010000 && (typeId & 0xFF00) <= 0x100 && low >= 1 && low <= 5) {
        m_kind = (LONG)low - 1;
        m_vertical = (typeId & 0x100) ? 0 : 1;
    } else {
        m_kind = SCROLLKIND_FIXEDSLIDER;
        m_vertical = 0;
    }
    ApplyKind();
    return S_OK;
}

void ScrollBarObject::ApplyKind() {
    LONG arrows = (m_kind == SCROLLKIND_FIXEDSLIDER || m_kind == SCROLLKIND_SCROLL) ? 1 : 0;
    m_arrow1->visible = m_arrow2->visible = arrows;
    m_track->visible = m_thumb->visible = 1;
    m_arrow1->direction = m_vertical ? SCROLLDIR_UP : SCROLLDIR_LEFT;
    m_arrow2->direction = m_vertical ? SCROLLDIR_DOWN : SCROLLDIR_RIGHT;
}

void ScrollBarObject::LayOut() {
    const LONG w = GetWidth(), h = GetHeight();
    m_laidWidth = w;
    m_laidHeight = h;
    const bool arrows = m_arrow1->visible || m_arrow2->visible;
    LONG a = 0;
    if (arrows) {
        if (m_vertical) {
            a = GetSystemMetrics(SM_CYVSCROLL);
            if (h < 2 * a)
                a = h / 2;
            m_arrow1->rect = {0, 0, w, a};
            m_arrow2->rect = {0, h - a, w, h};
        } else {
            a = GetSystemMetrics(SM_CXHSCROLL);
            if (w < 2 * a)
                a = w / 2;
            m_arrow1->rect = {0, 0, a, h};
            m_arrow2->rect = {w - a, 0, w, h};
        }
    } else {
        m_arrow1->rect = m_arrow2->rect = kNoRect;
    }
    RECT& track = m_track->rect;
    switch (m_kind) {
        case SCROLLKIND_FIXEDSLIDER:
        case SCROLLKIND_SCROLL:
            track = m_vertical ? RECT{0, a, w, h - a} : RECT{a, 0, w - a, h};
            break;
        case SCROLLKIND_SLIDER:
            track =
                m_vertical ? RECT{w / 2 - 2, 0, w / 2 + 2, h} : RECT{0, h / 2 - 2, w, h / 2 + 2};
            break;
        default:
            track = {0, 0, w, h};
    }
    const LONG length = m_vertical ? track.bottom - track.top : track.right - track.left;
    RECT& thumb = m_thumb->rect;
    switch (m_kind) {
        case SCROLLKIND_FIXEDSLIDER:
        case SCROLLKIND_SCROLL: {
            LONG t = std::min(std::max(5L, length / 5), std::max(length, 0L));
            thumb = m_vertical ? RECT{0, track.top, w, track.top + t}
                               : RECT{track.left, 0, track.left + t, h};
            break;
        }
        case SCROLLKIND_PROGRESS:
            if ((m_vertical ? w : h) < 3)
                thumb = {0, 0, w, h};
            else
                thumb = m_vertical ? RECT{2, 0, w - 1, h} : RECT{0, 2, w, h - 1};
            break;
        case SCROLLKIND_SLIDER: {
            LONG t = std::min(5L, std::max(length, 0L));
            thumb = m_vertical ? RECT{0, track.top, w, track.top + t}
                               : RECT{track.left, 0, track.left + t, h};
            break;
        }
        default: {
            LONG kw = std::min(std::max(10L, w - 10), w), kh = std::min(std::max(10L, h - 10), h);
            thumb = {(w - kw) / 2, (h - kh) / 2, (w - kw) / 2 + kw, (h - kh) / 2 + kh};
        }
    }
}

// The parts follow the object's size: a stored layout is kept until the
// object is resized.
void ScrollBarObject::LayOutIfNeeded() {
    bool empty = IsNoRect(m_arrow1->rect) && IsNoRect(m_arrow2->rect) && IsNoRect(m_track->rect) &&
                 IsNoRect(m_thumb->rect);
    if (empty || GetWidth() != m_laidWidth || GetHeight() != m_laidHeight)
        LayOut();
}

void ScrollBarObject::Measure(LONG* trackLength, LONG* thumbLength, LONG* start) const {
    const RECT& t = m_track->rect;
    const RECT& th = m_thumb->rect;
    *trackLength = m_vertical ? t.bottom - t.top : t.right - t.left;
    *start = m_vertical ? t.top : t.left;
    *thumbLength = m_vertical ? th.bottom - th.top : th.right - th.left;
}

void ScrollBarObject::PositionThumb() {
    LayOutIfNeeded();
    LONG L, T, start;
    Measure(&L, &T, &start);
    const long long r = (long long)m_max - m_min;
    const long long offset = (long long)m_value - m_min;
    RECT& thumb = m_thumb->rect;
    const RECT& track = m_track->rect;
    auto place = [&](LONG lead, LONG length) {
        if (m_vertical) {
            thumb.top = lead;
            thumb.bottom = lead + length;
        } else {
            thumb.left = lead;
            thumb.right = lead + length;
        }
    };
    switch (m_kind) {
        case SCROLLKIND_SCROLL:
            if (r == 0) {
                T = L;
            } else {
                T = (LONG)floor(L / sqrt((double)r + 1) + 0.5);
                T = std::min(std::max(T, 5L), std::max(L, 0L));
            }
            [[fallthrough]];
        case SCROLLKIND_FIXEDSLIDER:
        case SCROLLKIND_SLIDER:
            if (L - T > 0)
                place(start + (r ? (LONG)((long long)(L - T) * offset / r) : 0), T);
            else
                place(start, L);
            break;
        case SCROLLKIND_PROGRESS:
            place(start, r ? (LONG)((long long)L * offset / r) : L);
            break;
        case SCROLLKIND_KNOB: {
            LONG w = thumb.right - thumb.left, h = thumb.bottom - thumb.top;
            LONG cx = (track.left + track.right) / 2, cy = (track.top + track.bottom) / 2;
            thumb = {cx - w / 2, cy - h / 2, cx - w / 2 + w, cy - h / 2 + h};
            break;
        }
    }
}

// The value under a pointer coordinate along the bar; the minimum when the
// thumb leaves the track no room.
LONG ScrollBarObject::PointerValue(LONG p) const {
    LONG L, T, start;
    Measure(&L, &T, &start);
    const long long room = (long long)L - T;
    if (room <= 0)
        return m_min;
    const long long r = (long long)m_max - m_min;
    long long v = m_min + (r * ((long long)p - T / 2 - start) + room / 2) / room;
    return Clamp64(v);
}

// ---- dispatch members ----

STDMETHODIMP ScrollBarObject::put_ObjMaxValue(LONG v) {
    m_max = v;
    if (m_max < m_min)
        put_ObjMinValue(v);
    if (m_max < m_value)
        put_ObjValue(v);
    Changed();
    return S_OK;
}

STDMETHODIMP ScrollBarObject::put_ObjMinValue(LONG v) {
    m_min = v;
    if (m_max < m_min)
        put_ObjMaxValue(v);
    if (m_value < m_min)
        put_ObjValue(v);
    Changed();
    return S_OK;
}

STDMETHODIMP ScrollBarObject::put_ObjValue(LONG v) {
    v = std::min(std::max(v, m_min), std::max(m_max, m_min));
    if (v == m_value)
        return S_OK;
    m_value = v;
    Changed();
    if (m_linked && m_sink)
        m_sink->SetRowValue(m_sinkRow, m_value);
    return S_OK;
}

void ScrollBarObject::SetValue64(long long v) {
    put_ObjValue(Clamp64(v));
}

STDMETHODIMP ScrollBarObject::put_ObjPageValue(LONG v) {
    m_page = v < 1 ? 1 : v;
    return S_OK;
}

STDMETHODIMP ScrollBarObject::Step(LONG forward) {
    SetValue64((long long)m_value + (forward ? m_step : -(long long)m_step));
    return S_OK;
}

STDMETHODIMP ScrollBarObject::Page(LONG forward) {
    SetValue64((long long)m_value + (forward ? m_page : -(long long)m_page));
    return S_OK;
}

STDMETHODIMP ScrollBarObject::put_ObjOwnerDraw(LONG v) {
    m_bevel = v;
    for (ScrollPart* p : {m_arrow1.get(), m_arrow2.get(), m_track.get(), m_thumb.get()})
        p->bevel = v;
    Changed();
    return S_OK;
}

// ---- private operations ----

STDMETHODIMP ScrollBarObject::SetVertical(LONG v) {
    m_vertical = v ? 1 : 0;
    ApplyKind();
    LayOut();
    Changed();
    return S_OK;
}

STDMETHODIMP ScrollBarObject::SetKind(LONG kind) {
    if (kind < SCROLLKIND_FIXEDSLIDER || kind > SCROLLKIND_KNOB) {
        LayOut();
        return 1;
    }
    StopRepeat();
    m_kind = kind;
    ApplyKind();
    LayOut();
    m_pressMode = SCROLLPRESS_NONE;
    m_pressedInside = 0;
    Changed();
    return S_OK;
}

HRESULT ScrollBarObject::GiveFill(FillObject* fill, IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = fill;
    return fill ? S_OK : E_FAIL;
}

STDMETHODIMP ScrollBarObject::GetLinkRow(BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = BstrFromMultibyte(m_linkRow);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ScrollBarObject::SetLinkRow(BSTR name) {
    m_linkRow = MultibyteFromBstr(name);
    Bind();
    return S_OK;
}

STDMETHODIMP ScrollBarObject::GetLinkObject(BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = BstrFromMultibyte(m_linkObject);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ScrollBarObject::SetLinkObject(BSTR name) {
    m_linkObject = MultibyteFromBstr(name);
    Bind();
    return S_OK;
}

STDMETHODIMP ScrollBarObject::SetLinked(LONG v) {
    m_linked = v ? 1 : 0;
    Bind();
    return S_OK;
}

// ---- the link ----

void ScrollBarObject::Unbind() {
    if (!m_sink)
        return;
    IEventSinkTable* sink = m_sink;
    m_sink = nullptr;
    sink->RemoveSink(m_sinkRow, SinkSelf());
    sink->Release();
}

void ScrollBarObject::Bind() {
    Unbind();
    if (!m_linked || m_linkObject.empty())
        return;
    IPlayerSite* site = ClassSite();
    CComPtr<IObjectFinder> finder;
    if (!site ||
        FAILED(site->QueryInterface(__uuidof(IObjectFinder), reinterpret_cast<void**>(&finder))) ||
        !finder)
        return;
    CComPtr<IUnknown> object;
    if (FAILED(finder->FindObjectByName(m_linkObject.c_str(), &object)) || !object)
        return;
    IEventSinkTable* table = nullptr;
    if (FAILED(
            object->QueryInterface(__uuidof(IEventSinkTable), reinterpret_cast<void**>(&table))) ||
        !table)
        return;
    LONG row = -1;
    if (table->FindRow(m_linkRow.c_str(), &row) != S_OK || table->IsBadRow(row) ||
        FAILED(table->AddSink(row, SinkSelf()))) {
        table->Release();
        return;
    }
    m_sink = table;
    m_sinkRow = row;
    OnSinkNotify(table, 255);
}

STDMETHODIMP ScrollBarObject::OnSinkNotify(IEventSinkTable* sink, LONG flags) {
    if (!sink)
        return E_POINTER;
    if (flags < 0) {
        if (sink == m_sink)
            Unbind();
        return S_OK;
    }
    if (sink->IsBadRow(m_sinkRow))
        return S_OK;
    if (flags & 1) {
        sink->GetRowMaximum(m_sinkRow, &m_max);
        flags |= 12;
    }
    if (flags & 2) {
        sink->GetRowMinimum(m_sinkRow, &m_min);
        flags |= 12;
    }
    if (m_max < m_min)
        m_max = m_min;
    if (flags & 16)
        sink->GetRowValue(m_sinkRow, &m_value);
    if (flags & 4) {
        sink->GetRowPageStep(m_sinkRow, &m_page);
        if (m_page < 1)
            m_page = 1;
    }
    if (flags & 8)
        sink->GetRowLineStep(m_sinkRow, &m_step);
    m_value = std::min(std::max(m_value, m_min), m_max);
    Changed();
    return S_OK;
}

// ---- render hooks ----

STDMETHODIMP ScrollBarObject::UnionInvalid() {
    PositionThumb();
    return ClassBase::UnionInvalid();
}

STDMETHODIMP ScrollBarObject::CollectFiles(IFileCollector* collector) {
    if (!collector)
        return E_POINTER;
    for (FillObject* f : {m_arrow1->fill, m_arrow1->pressedFill, m_arrow2->fill,
                          m_arrow2->pressedFill, m_track->fill, m_thumb->fill})
        CollectFillFiles(f, collector);
    return ClassBase::CollectFiles(collector);
}

STDMETHODIMP ScrollBarObject::OnChange(int) {
    Unbind();
    return S_OK;
}

STDMETHODIMP ScrollBarObject::BeforeEnter() {
    Bind();
    return S_OK;
}

STDMETHODIMP ScrollBarObject::BeforeExit() {
    StopRepeat();
    Unbind();
    return S_OK;
}

// ---- pointer ----

bool ScrollBarObject::InObject(LONG x, LONG y) const {
    return x >= 0 && y >= 0 && x < m_laidWidth && y < m_laidHeight;
}

void ScrollBarObject::StopRepeat() {
    CAbility::Stop();
}

void ScrollBarObject::OnPress(LONG x, LONG y) {
    PositionThumb();
    if (!InObject(x, y))
        return;
    LONG L, T, start;
    Measure(&L, &T, &start);
    if (m_kind == SCROLLKIND_SLIDER) {
        if (Inside(m_thumb->rect, x, y)) {
            m_pressMode = SCROLLPRESS_THUMB;
        } else if (Inside(m_track->rect, x, y)) {
            m_pressMode = SCROLLPRESS_TRACK;
            if (L - T > 0)
                put_ObjValue(PointerValue(Along(x, y)));
        }
    } else {
        if (m_arrow1->visible && Inside(m_arrow1->rect, x, y)) {
            m_pressMode = SCROLLPRESS_ARROW1;
            m_pressedInside = 1;
            CAbility::Start();
            Step(0);
        } else if (m_arrow2->visible && Inside(m_arrow2->rect, x, y)) {
            m_pressMode = SCROLLPRESS_ARROW2;
            m_pressedInside = 1;
            CAbility::Start();
            Step(1);
        } else if (Inside(m_thumb->rect, x, y)) {
            m_pressMode = SCROLLPRESS_THUMB;
        } else if (Inside(m_track->rect, x, y)) {
            m_pressMode = SCROLLPRESS_TRACK;
            m_pressedInside = 1;
            if (L - T > 0) {
                m_trackTarget = PointerValue(Along(x, y));
                if (llabs((long long)m_trackTarget - m_value) <= m_page)
                    put_ObjValue(m_trackTarget);
                else
                    Page(m_trackTarget > m_value);
            }
            CAbility::Start();
        }
    }
    m_pressX = x;
    m_pressY = y;
    m_pressValue = m_value;
}

void ScrollBarObject::OnMove(LONG x, LONG y) {
    if (m_kind == SCROLLKIND_SLIDER && m_pressMode != SCROLLPRESS_THUMB)
        return;
    if (!LeftButtonDown()) {
        if (m_pressMode != SCROLLPRESS_THUMB && m_pressMode != SCROLLPRESS_NONE && !m_linked)
            StopRepeat();
        m_pressMode = SCROLLPRESS_NONE;
        m_pressedInside = 0;
        return;
    }
    PositionThumb();
    switch (m_pressMode) {
        case SCROLLPRESS_ARROW1:
        case SCROLLPRESS_ARROW2: {
            const RECT& arrow = m_pressMode == SCROLLPRESS_ARROW1 ? m_arrow1->rect : m_arrow2->rect;
            LONG inside = Inside(arrow, x, y) ? 1 : 0;
            if (inside != m_pressedInside) {
                m_pressedInside = inside;
                Changed();
            }
            break;
        }
        case SCROLLPRESS_THUMB: {
            if (!InObject(x, y)) {
                put_ObjValue(m_pressValue);
                break;
            }
            LONG L, T, start;
            Measure(&L, &T, &start);
            const long long room = (long long)L - T;
            if (room < 1)
                break;
            const long long r = (long long)m_max - m_min;
            const long long d = (long long)Along(x, y) - Along(m_pressX, m_pressY);
            SetValue64(m_pressValue + (long long)((double)r * d / room + (d >= 0 ? 0.5 : -0.5)));
            break;
        }
        case SCROLLPRESS_TRACK:
            if (Inside(m_track->rect, x, y)) {
                if (m_pressedInside)
                    m_trackTarget = PointerValue(Along(x, y));
            } else {
                m_pressedInside = 0;
            }
            break;
    }
}

void ScrollBarObject::OnRelease(LONG x, LONG y) {
    if (m_kind != SCROLLKIND_SLIDER) {
        if ((m_pressMode == SCROLLPRESS_ARROW1 || m_pressMode == SCROLLPRESS_ARROW2) &&
            m_pressedInside)
            Changed();
        if (m_pressMode == SCROLLPRESS_ARROW1 || m_pressMode == SCROLLPRESS_ARROW2 ||
            m_pressMode == SCROLLPRESS_TRACK)
            StopRepeat();
    }
    if (m_pressMode == SCROLLPRESS_THUMB && !InObject(x, y))
        put_ObjValue(m_pressValue);
    m_pressMode = SCROLLPRESS_NONE;
    m_pressedInside = 0;
}

void ScrollBarObject::Repeat() {
    if (!LeftButtonDown()) {
        StopRepeat();
        m_pressMode = SCROLLPRESS_NONE;
        m_pressedInside = 0;
        return;
    }
    if (TotalTime() <= 499 || !m_pressedInside)
        return;
    switch (m_pressMode) {
        case SCROLLPRESS_ARROW1:
            Step(0);
            break;
        case SCROLLPRESS_ARROW2:
            Step(1);
            break;
        case SCROLLPRESS_TRACK:
            if (llabs((long long)m_trackTarget - m_value) > m_page)
                Page(m_trackTarget > m_value);
            else
                put_ObjValue(m_trackTarget);
            break;
    }
}

STDMETHODIMP ScrollBarObject::OnClock() {
    CAbility::OnClock();
    Repeat();
    return S_OK;
}

STDMETHODIMP ScrollBarObject::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    HRESULT hr = ClassBase::FireEvent(id, arg1, arg2, prev);
    const bool mouse = m_kind != SCROLLKIND_PROGRESS && m_kind != SCROLLKIND_KNOB;
    RECT b;
    ClassBase::GetBoundsRect(&b);
    LONG x = (SHORT)LOWORD((DWORD)arg2) - b.left, y = (SHORT)HIWORD((DWORD)arg2) - b.top;
    switch (id) {
        case EVT_LBUTTONDOWN:
        case EVT_DBCLICK:
            if (mouse)
                OnPress(x, y);
            return 0;
        case EVT_LBUTTONUP:
            if (mouse)
                OnRelease(x, y);
            return 0;
        case EVT_MOUSEMOVE:
        case EVT_MOUSEHOVER:
            if (mouse)
                OnMove(x, y);
            return 0;
    }
    return hr;
}

STDMETHODIMP_(int) ScrollBarObject::HitTestPoint(LONG x, LONG y) {
    RECT b;
    ClassBase::GetBoundsRect(&b);
    if (!Inside(b, x, y))
        return 1;
    PositionThumb();
    x -= b.left;
    y -= b.top;
    if (m_kind == SCROLLKIND_KNOB) {
        const RECT& t = m_thumb->rect;
        double r = std::min((t.right - t.left - 1) / 2.0, (t.bottom - t.top - 1) / 2.0);
        double cx = (t.left + t.right - 1) / 2.0, cy = (t.top + t.bottom - 1) / 2.0;
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r + r)
            return 0;
    } else if (Inside(m_thumb->rect, x, y)) {
        return 0;
    }
    if (Inside(m_track->rect, x, y))
        return 0;
    for (const ScrollPart* a : {m_arrow1.get(), m_arrow2.get()})
        if (a->visible && Inside(a->rect, x, y))
            return 0;
    return 1;
}

// ---- drawing ----

void ScrollBarObject::DrawPart(HDC dc, IPixelBuffer* target, const ScrollPart& part,
                               const RECT& object, bool sunken, bool pressed) {
    if (!part.visible)
        return;
    RECT r = part.rect;
    OffsetRect(&r, object.left, object.top);
    RECT clip;
    if (!IntersectRect(&clip, &r, &object))
        return;
    FillObject* fill = pressed && part.pressedFill ? part.pressedFill : part.fill;
    if (fill)
        fill->Render(&r, target, &clip, ClassSite());
    if (!part.bevel || !dc)
        return;
    const int w = r.right - r.left, h = r.bottom - r.top;
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    int had = GetClipRgn(dc, region);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    COLORREF first = sunken ? part.shadow : part.light, second = sunken ? part.light : part.shadow;
    Line(dc, part.face, r.left, r.top, w, 1);
    Line(dc, part.face, r.left, r.top, 1, h);
    Line(dc, part.dark, r.left, r.bottom - 1, w, 1);
    Line(dc, part.dark, r.right - 1, r.top, 1, h);
    Line(dc, first, r.left + 1, r.top + 1, w - 2, 1);
    Line(dc, first, r.left + 1, r.top + 1, 1, h - 2);
    Line(dc, second, r.left + 1, r.bottom - 2, w - 2, 1);
    Line(dc, second, r.right - 2, r.top + 1, 1, h - 2);
    if (part.role == ScrollPart::ARROW && part.direction >= SCROLLDIR_UP &&
        part.direction <= SCROLLDIR_RIGHT) {
        POINT p[3];
        const int o = pressed ? 1 : 0;
        if (part.direction == SCROLLDIR_UP || part.direction == SCROLLDIR_DOWN) {
            int top = r.top + h / 3 + o, bottom = r.top + 2 * h / 3 + o;
            int left = r.left + w / 4 + o, right = r.left + 3 * w / 4 + o, mid = (left + right) / 2;
            if (part.direction == SCROLLDIR_UP)
                p[0] = {mid, top}, p[1] = {left, bottom}, p[2] = {right, bottom};
            else
                p[0] = {mid, bottom}, p[1] = {left, top}, p[2] = {right, top};
        } else {
            int left = r.left + w / 3 + o, right = r.left + 2 * w / 3 + o;
            int top = r.top + h / 4 + o, bottom = r.top + 3 * h / 4 + o, mid = (top + bottom) / 2;
            if (part.direction == SCROLLDIR_LEFT)
                p[0] = {left, mid}, p[1] = {right, top}, p[2] = {right, bottom};
            else
                p[0] = {right, mid}, p[1] = {left, top}, p[2] = {left, bottom};
        }
        HPEN pen = CreatePen(PS_SOLID, 1, part.dark);
        HBRUSH brush = CreateSolidBrush(part.dark);
        HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, brush);
        Polygon(dc, p, 3);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }
    SelectClipRgn(dc, had == 1 ? region : nullptr);
    DeleteObject(region);
}

// The knob: its fill, faded by the value between the two alpha values, cut
// to the inscribed circle with a soft edge.
void ScrollBarObject::DrawKnob(IPixelBuffer* target, const ScrollPart& part, const RECT& object) {
    if (!part.visible)
        return;
    RECT r = part.rect;
    OffsetRect(&r, object.left, object.top);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return;
    IPixelBuffer* b = CreateBufferLike(w, h, target);
    if (!b)
        return;
    RECT whole = {0, 0, w, h};
    part.fill->Render(&whole, b, &whole, ClassSite());
    const long long range = (long long)m_max - m_min;
    const double x = range ? (double)((long long)m_value - m_min) / range : 0;
    const long alpha =
        lround(x * (part.alphaEnd - part.alphaStart)) + part.alphaStart;  // transparency
    const int opaque = 255 - (int)std::min(std::max(alpha, 0L), 255L);
    const double radius = std::min((w - 1) / 2.0, (h - 1) / 2.0);
    const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
    const double outer = radius * radius + radius, inner = radius * radius - radius;
    Pixels px;
    if (LockPixels(b, &px)) {
        for (int yy = 0; yy < h; ++yy)
            for (int xx = 0; xx < w; ++xx) {
                double d = (xx - cx) * (xx - cx) + (yy - cy) * (yy - cy);
                DWORD& p = px.at(xx, yy);
                int a = opaque;
                if (d > outer)
                    a = 0;
                else if (d > inner && outer > inner)
                    a = (int)(a * (outer - d) / (outer - inner));
                p = ((DWORD)a << 24) | (p & 0xFFFFFF);
            }
        b->EnablePixelAlpha(TRUE);
        RECT clip;
        if (IntersectRect(&clip, &r, &object)) {
            RECT src = {clip.left - r.left, clip.top - r.top, clip.right - r.left,
                        clip.bottom - r.top};
            target->Blit(&clip, b, &src, 0);
        }
    }
    b->Release();
}

HRESULT ScrollBarObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    TRACE_POINT();
    if (!target || !rect)
        return 1;
    PositionThumb();
    RECT object = *rect;
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)))
        dc = nullptr;
    DrawPart(dc, target, *m_track, object, true, false);
    if (m_kind == SCROLLKIND_KNOB) {
        if (dc)
            target->ReleaseDC(dc);
        DrawKnob(target, *m_thumb, object);
        return S_OK;
    }
    DrawPart(dc, target, *m_thumb, object, false, false);
    bool down2 = m_pressMode == SCROLLPRESS_ARROW2 && m_pressedInside;
    bool down1 = m_pressMode == SCROLLPRESS_ARROW1 && m_pressedInside;
    DrawPart(dc, target, *m_arrow2, object, down2, down2);
    DrawPart(dc, target, *m_arrow1, object, down1, down1);
    if (dc)
        target->ReleaseDC(dc);
    return S_OK;
}

STDMETHODIMP ScrollBarObject::InvalidateBounds(IPixelBuffer* target) {
    if (!target)
        return E_POINTER;
    RECT bounds;
    GetBoundsRect(&bounds);
    return DrawContent(target, &bounds);
}

// ---- the record ----

STDMETHODIMP ScrollBarObject::LoadExtension(ITeskStream* stream) {
    LONG v[8];
    if (!stream || !StreamHas(stream, sizeof(v))) {
        LOG_MSG("Scroll bar record: cut short");
        return E_FAIL;
    }
    stream->Read(v, sizeof(v));
    std::string object, row;
    if (!ReadStreamString(stream, &object) || !ReadStreamString(stream, &row))
        return E_FAIL;
    std::unique_ptr<ScrollPart> parts[4] = {
        std::unique_ptr<ScrollPart>(new (std::nothrow) ScrollPart(ScrollPart::ARROW)),
        std::unique_ptr<ScrollPart>(new (std::nothrow) ScrollPart(ScrollPart::ARROW)),
        std::unique_ptr<ScrollPart>(new (std::nothrow) ScrollPart(ScrollPart::TRACK)),
        std::unique_ptr<ScrollPart>(new (std::nothrow) ScrollPart(ScrollPart::THUMB))};
    for (auto& p : parts) {
        if (!p || !p->Ok())
            return E_OUTOFMEMORY;
        if (FAILED(p->Load(stream))) {
            LOG_MSG("Scroll bar record: part cut short");
            return E_FAIL;
        }
    }
    Unbind();
    m_value = v[0];
    m_max = v[1];
    m_min = v[2];
    if (m_max < m_min) {
        LOG_MSG("Scroll bar record: maximum %ld below minimum %ld", (long)m_max, (long)m_min);
        m_max = m_min;
    }
    m_value = std::min(std::max(m_value, m_min), m_max);
    m_page = v[3] < 1 ? 1 : v[3];
    m_kind = (v[4] >= SCROLLKIND_FIXEDSLIDER && v[4] <= SCROLLKIND_KNOB) ? v[4] : m_kind;
    m_bevel = v[5];
    m_vertical = v[6] ? 1 : 0;
    m_linked = v[7] ? 1 : 0;
    m_linkObject = object;
    m_linkRow = row;
    m_arrow1 = std::move(parts[0]);
    m_arrow2 = std::move(parts[1]);
    m_track = std::move(parts[2]);
    m_thumb = std::move(parts[3]);
    ApplyKind();
    m_laidWidth = GetWidth();
    m_laidHeight = GetHeight();
    m_pressMode = SCROLLPRESS_NONE;
    m_pressedInside = 0;
    return S_OK;
}

STDMETHODIMP ScrollBarObject::SaveExtension(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    LONG v[8] = {m_value, m_max, m_min, m_page, m_kind, m_bevel, m_vertical, m_linked};
    stream->Write(v, sizeof(v));
    WriteStreamString(stream, m_linkObject);
    WriteStreamString(stream, m_linkRow);
    for (const ScrollPart* p : {m_arrow1.get(), m_arrow2.get(), m_track.get(), m_thumb.get()})
        p->Save(stream);
    return S_OK;
}

HRESULT CreateScrollBarObject(IUnknown** out) {
    return CreateObjectOfClass<ScrollBarObject>(out);
}
