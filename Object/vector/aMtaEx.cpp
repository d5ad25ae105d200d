#include "aMtaEx.h"

#include <limits.h>
#include <string.h>

#include "aMetaFil.h"
#include "aVecFrm.h"
#include "bByteReader.h"
#include "bFillShd.h"
#include "bLinStyl.h"
#include "bStorage.h"
#include "aTrackerPen.h"

namespace {

// A figure's parameter list holds a handful of values; a longer stored list
// is damaged.
const int kListMax = 1 << 20;
// The smallest fill record: its 24-byte head.
const int kFillRecordMin = 24;

bool Fits(long long v) {
    return v >= INT_MIN && v <= INT_MAX;
}

bool ReadI32(ITeskStream* stream, int32_t* value) {
    std::vector<uint8_t> b;
    if (!ReadStreamBytes(stream, 4, &b))
        return false;
    CByteReader r(b.data(), b.size());
    *value = r.I32LE();
    return r.Ok();
}

bool ReadMotion(ITeskStream* stream, MotionBlock* motion) {
    std::vector<uint8_t> b;
    if (!ReadStreamBytes(stream, sizeof(MotionBlock), &b))
        return false;
    CByteReader r(b.data(), b.size());
    for (int32_t& v : motion->values) v = r.I32LE();
    return r.Ok();
}

RECT BoxOf(const POINT* p, int n) {
    RECT r = {p[0].x, p[0].y, p[0].x, p[0].y};
    for (int i = 1; i < n; ++i) {
        r.left = p[i].x < r.left ? p[i].x : r.left;
        r.top = p[i].y < r.top ? p[i].y : r.top;
        r.right = p[i].x > r.right ? p[i].x : r.right;
        r.bottom = p[i].y > r.bottom ? p[i].y : r.bottom;
    }
    return r;
}

}  // namespace

// ---- IntList ----

int IntList::Get(int index) const {
    return index >= 0 && index < GetCount() ? m_values[(size_t)index] : m_default;
}

bool IntList::Reserve(size_t count) {
    try {
        if (count > m_values.capacity())
            m_values.reserve((count + 7) / 8 * 8);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool IntList::Set(int index, int value) {
    if (index < 0 || index >= kListMax)
        return false;
    if (index >= GetCount() && !SetSize(index + 1))
        return false;
    m_values[(size_t)index] = value;
    return true;
}

bool IntList::Append(int value) {
    return Set(GetCount(), value);
}

bool IntList::SetSize(int count) {
    if (count < 0 || count > kListMax || !Reserve((size_t)count))
        return false;
    m_values.resize((size_t)count, m_default);
    return true;
}

HRESULT IntList::Load(ITeskStream* stream) {
    int32_t count = 0;
    std::vector<uint8_t> body;
    if (!ReadI32(stream, &count) || count < 0 || count > kListMax ||
        !ReadStreamBytes(stream, (ULONGLONG)count * 4, &body)) {
        LOG_MSG("IntList::Load: %d values beyond the stream", (int)count);
        return E_FAIL;
    }
    CByteReader r(body.data(), body.size());
    std::vector<int32_t> values((size_t)count);
    for (int32_t& v : values) v = r.I32LE();
    m_values.swap(values);
    return S_OK;
}

void IntList::Save(ITeskStream* stream) const {
    StreamWriteValue(stream, (int32_t)m_values.size());
    for (int32_t v : m_values) StreamWriteValue(stream, v);
}

// ---- CGraphMetaEx ----

CGraphMetaEx::CGraphMetaEx(IMetaEnv* env) : CGraphMeta(env), m_scale(100) {}

CGraphMetaEx::~CGraphMetaEx() {}

MetaFillHolder* CGraphMetaEx::GetHolder(int index) const {
    return index >= 0 && index < GetHolderCount() ? m_holders[(size_t)index].get() : nullptr;
}

MetaSubPath* CGraphMetaEx::GetPath(int index) const {
    return index >= 0 && index < GetPathCount() ? m_paths[(size_t)index].get() : nullptr;
}

int CGraphMetaEx::AddHolder() {
    std::unique_ptr<MetaFillHolder> h(new (std::nothrow) MetaFillHolder());
    if (!h || FAILED(h->Attach(this)))
        return -1;
    try {
        m_holders.push_back(std::move(h));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return GetHolderCount() - 1;
}

void CGraphMetaEx::SetScale(int percent) {
    m_scale = percent < 50 ? 50 : percent > 1500 ? 1500 : percent;
}

HRESULT CGraphMetaEx::CopyFrom(CGraphMetaEx& other) {
    if (&other == this)
        return S_OK;
    if (other.m_paths.empty())
        other.Rebuild();
    HRESULT hr = CGraphMeta::CopyFrom(other);
    std::vector<std::unique_ptr<MetaSubPath>> paths;
    std::vector<std::unique_ptr<MetaFillHolder>> holders;
    try {
        for (const auto& p : other.m_paths) {
            std::unique_ptr<MetaSubPath> copy(new MetaSubPath());
            if (p->points.GetCount() &&
                !copy->points.Append(p->points.GetData(), p->points.GetCount()))
                return E_OUTOFMEMORY;
            copy->closed = p->closed;
            copy->stroke = p->stroke;
            copy->anchored = p->anchored;
            copy->anchor = p->anchor;
            copy->holder = p->holder;
            paths.push_back(std::move(copy));
        }
        for (const auto& h : other.m_holders) {
            std::unique_ptr<MetaFillHolder> copy(new MetaFillHolder());
            copy->SetMeta(this);
            if (FAILED(copy->CopySnapshot(*h)))
                return E_OUTOFMEMORY;
            holders.push_back(std::move(copy));
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    m_paths.swap(paths);
    m_holders.swap(holders);
    m_list1 = other.m_list1;
    m_list2 = other.m_list2;
    m_list3 = other.m_list3;
    m_scale = other.m_scale;
    m_placedDegree = other.m_placedDegree;
    m_bounds = other.m_bounds;
    return hr;
}

HRESULT CGraphMetaEx::Clone(CMetaBase** out) {
    // The extended meta alone is no figure.
    if (out)
        *out = nullptr;
    return S_OK;
}

HRESULT CGraphMetaEx::RotateObj(int, POINT) {
    Rebuild();
    return S_OK;
}

void CGraphMetaEx::GetCenter(POINT* out) const {
    if (out)
        *out = POINT{m_list1.Get(0), m_list1.Get(1)};
}

int CGraphMetaEx::OwnerDegree() const {
    CVecFrame* frame = GetFrame();
    return frame ? frame->GetOwnerDegree() : 0;
}

POINT CGraphMetaEx::FrameOffset() const {
    POINT p = {0, 0};
    if (CVecFrame* frame = GetFrame())
        frame->ToOwnerPoints(&p, 1);
    return p;
}

void CGraphMetaEx::EnsureBuilt() {
    if (m_paths.empty() || m_placedDegree != OwnerDegree())
        Rebuild();
}

void CGraphMetaEx::ClearPaths() {
    for (auto& p : m_paths) p->points.RemoveAll();
}

// ---- path builders ----

void CGraphMetaEx::CreatePaths(int n) {
    if (!m_paths.empty() || n <= 0)
        return;
    try {
        for (int i = 0; i < n; ++i) m_paths.emplace_back(new MetaSubPath());
    } catch (const std::bad_alloc&) {
        m_paths.clear();
    }
}

void CGraphMetaEx::AddPoint(int path, long long x, long long y) {
    MetaSubPath* p = GetPath(path);
    // Points beyond 32 bits are dropped.
    if (p && Fits(x) && Fits(y))
        p->points.Push((int)x, (int)y);
}

void CGraphMetaEx::AddPoints(int path, const POINT* points, int n) {
    MetaSubPath* p = GetPath(path);
    if (p && points && n > 0)
        p->points.Append(points, n);
}

void CGraphMetaEx::AddRotatedPoints(int path, POINT* points, int n, int angle, int cx, int cy) {
    if (!points || n <= 0)
        return;
    RotatePoints(n, points, cx, cy, angle * 100);
    AddPoints(path, points, n);
}

void CGraphMetaEx::AppendPath(int destination, int source, BOOL reverse) {
    MetaSubPath* d = GetPath(destination);
    MetaSubPath* s = GetPath(source);
    if (!d || !s || d == s)
        return;
    const int n = s->points.GetCount();
    for (int i = 0; i < n; ++i) {
        const POINT& q = s->points[reverse ? n - 1 - i : i];
        d->points.Push(q.x, q.y);
    }
}

void CGraphMetaEx::AddRectPath(int path, int x, int y, int w, int h) {
    const long long r = (long long)x + w, b = (long long)y + h;
    AddPoint(path, x, y);
    AddPoint(path, r, y);
    AddPoint(path, r, b);
    AddPoint(path, x, b);
    AddPoint(path, x, y);
}

void CGraphMetaEx::AddRotatedRectPath(int path, int x, int y, int w, int h, int angle, int cx,
                                      int cy) {
    POINT p[5] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
    AddRotatedPoints(path, p, 5, angle, cx, cy);
}

void CGraphMetaEx::AddEllipsePath(int path, int cx, int cy, int rx, int ry, int start) {
    MetaSubPath* p = GetPath(path);
    if (!p)
        return;
    POINT at = start == 1   ? POINT{cx, cy - ry}
               : start == 2 ? POINT{cx - rx, cy}
               : start == 3 ? POINT{cx, cy + ry}
                            : POINT{cx + rx, cy};
    PointArray arc;
    ArcToPoints(at, at, POINT{cx, cy}, rx, ry, &arc, 0, m_scale);
    if (arc.GetCount())
        p->points.Append(arc.GetData(), arc.GetCount());
}

void CGraphMetaEx::AddArcPath(int path, int x1, int y1, int x2, int y2, int cx, int cy, int rx,
                              int ry, BOOL reverse) {
    MetaSubPath* p = GetPath(path);
    if (!p)
        return;
    PointArray arc;
    ArcToPoints(POINT{x1, y1}, POINT{x2, y2}, POINT{cx, cy}, rx, ry, &arc, 0, m_scale);
    const int n = arc.GetCount();
    for (int i = 0; i < n; ++i) {
        const POINT& q = arc[reverse ? n - 1 - i : i];
        p->points.Push(q.x, q.y);
    }
}

namespace {

// p + origin, turned about c by -edit degrees and about (0, 0) by the
// owner's rotation; false when it leaves 32 bits.
bool PlacePoint(POINT* p, POINT origin, POINT c, int edit, int owner) {
    const long long x = (long long)p->x + origin.x, y = (long long)p->y + origin.y;
    if (!Fits(x) || !Fits(y))
        return false;
    POINT q = {(LONG)x, (LONG)y};
    if (edit)
        q = RotatePoint(q.x, q.y, c.x, c.y, -edit * 100);
    if (owner)
        q = RotatePoint(q.x, q.y, 0, 0, owner);
    *p = q;
    return true;
}

}  // namespace

void CGraphMetaEx::PlacePath(int path, int fill, const POINT* anchor, BOOL stroke, BOOL closed) {
    MetaSubPath* p = GetPath(path);
    if (!p)
        return;
    p->closed = closed != 0;
    p->stroke = stroke != 0;
    POINT c;
    GetCenter(&c);
    const POINT origin = c;
    const int edit = GetEditValue();
    const int owner = OwnerDegree();
    m_placedDegree = owner;
    int kept = 0;
    for (int i = 0; i < p->points.GetCount(); ++i) {
        POINT q = p->points[i];
        if (PlacePoint(&q, origin, c, edit, owner))
            p->points[kept++] = q;
    }
    p->points.SetSize(kept);
    p->anchored = false;
    // A painter index past the holder list gives no painter.
    if (fill < 0 || fill >= GetHolderCount()) {
        p->holder = -1;
        return;
    }
    if (anchor) {
        POINT a = *anchor;
        if (PlacePoint(&a, origin, c, edit, owner)) {
            p->anchored = true;
            p->anchor = a;
        }
    }
    p->holder = fill;
}

void CGraphMetaEx::PlaceAllPaths(int n) {
    CalcPathBounds();
    for (int i = 0; i < n && i < GetPathCount(); ++i) PlacePath(i, -1, nullptr, TRUE, TRUE);
}

int CGraphMetaEx::SetScaleFromSize(int x1, int y1, int x0, int y0, int w0, int h0) {
    if (w0 == 0 || h0 == 0)
        return 1;
    long long sx = ((long long)x1 - x0) * 100 / w0;
    long long sy = ((long long)y1 - y0) * 100 / h0;
    sx = sx < 0 ? -sx : sx;
    sy = sy < 0 ? -sy : sy;
    const long long s = sx < sy ? sx : sy;
    m_scale = s < 50 ? 50 : s > 1500 ? 1500 : (int)s;
    return 0;
}

void CGraphMetaEx::ScalePaths() {
    for (auto& p : m_paths) {
        int kept = 0;
        for (int i = 0; i < p->points.GetCount(); ++i) {
            const long long x = (long long)p->points[i].x * m_scale / 100;
            const long long y = (long long)p->points[i].y * m_scale / 100;
            if (Fits(x) && Fits(y))
                p->points[kept++] = POINT{(LONG)x, (LONG)y};
        }
        p->points.SetSize(kept);
    }
}

HRESULT CGraphMetaEx::CalcPathBounds() {
    ScalePaths();
    bool any = false;
    POINT lo = {0, 0}, hi = {0, 0};
    for (auto& p : m_paths)
        for (int i = 0; i < p->points.GetCount(); ++i) {
            const POINT q = p->points[i];
            if (!any) {
                lo = hi = q;
                any = true;
            }
            ExtendBounds(&lo, &hi, q.x, q.y);
        }
    if (!any) {
        m_bounds = RECT{0, 0, 0, 0};
        return S_OK;
    }
    const long long ox = m_list1.Get(0), oy = m_list1.Get(1);
    const int d = GetEffectiveWidth() / 2 + 2;
    m_bounds = RECT{(LONG)((ox + lo.x) / 256 - d), (LONG)((oy + lo.y) / 256 - d),
                    (LONG)((ox + hi.x) / 256 + d), (LONG)((oy + hi.y) / 256 + d)};
    return S_OK;
}

HRESULT CGraphMetaEx::CalcCurveBounds() {
    ScalePaths();
    MetaSubPath* p = GetPath(0);
    if (!p || p->points.GetCount() == 0) {
        m_bounds = RECT{0, 0, 0, 0};
        return S_OK;
    }
    const int n = p->points.GetCount();
    std::vector<POINT> pts;
    try {
        pts.resize((size_t)n);
    } catch (const std::bad_alloc&) {
        LOG_MSG("can not allocate memory of size:%d.", n * (int)sizeof(POINT));
        return E_OUTOFMEMORY;
    }
    for (int i = 0; i < n; ++i) pts[(size_t)i] = POINT{p->points[i].x / 256, p->points[i].y / 256};
    POINT lo = pts[0], hi = pts[0];
    for (int i = 0; i + 3 < n; i += 3)
        if (BezierSegmentBounds(&pts[(size_t)i], &lo, &hi) != 0) {
            LOG_MSG("CalcMinMaxBezierSeg func Failed.");
            return E_FAIL;
        }
    const int ox = m_list1.Get(0) / 256, oy = m_list1.Get(1) / 256;
    const int d = GetEffectiveWidth() / 2 + 2;
    m_bounds = RECT{lo.x + ox - d, lo.y + oy - d, hi.x + ox + d, hi.y + oy + d};
    return S_OK;
}

HRESULT CGraphMetaEx::GetRotatedPointAt(POINT* out, int selector, int index) {
    POINT p;
    HRESULT hr = CGraphMeta::GetPointAt(&p, selector, index);
    if (FAILED(hr))
        return hr;
    POINT c;
    GetCenter(&c);
    const long long x = (long long)p.x * 256, y = (long long)p.y * 256;
    if (!Fits(x) || !Fits(y))
        return E_INVALIDARG;
    POINT q = RotatePoint((int)x, (int)y, c.x, c.y, -GetEditValue() * 100);
    q = RotatePoint(q.x, q.y, 0, 0, OwnerDegree());
    if (out)
        *out = POINT{q.x / 256, q.y / 256};
    return S_OK;
}

bool CGraphMetaEx::BeginHandleMove(POINT point, POINT* local) {
    MetaEditState state = {FALSE, 0, 0};
    if (IMetaEnv* env = GetEnv())
        env->GetEditState(&state);
    if (state.creating) {
        while (CVecPath::GetCount() < 2)
            if (FAILED(CVecPath::AddPoint(0, 0)))
                return false;
        CVecPath::SetPoint(1, point);
        m_scale = 100;
        return false;
    }
    if (state.mode != 2)
        return false;
    const long long x = (long long)point.x * 256, y = (long long)point.y * 256;
    if (!Fits(x) || !Fits(y))
        return false;
    POINT c;
    GetCenter(&c);
    *local = RotatePoint((int)x, (int)y, c.x, c.y, GetEditValue() * 100);
    return true;
}

HRESULT CGraphMetaEx::SubjectPointAt(POINT* out, int selector, int index) {
    if (selector != 0)
        return 0;
    return GetRotatedPointAt(out, 0, index);
}

int CGraphMetaEx::Unscaled(int value, int origin) const {
    const long long v = ((long long)value - origin) * 100 / (m_scale ? m_scale : 100);
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : (int)v;
}

int CGraphMetaEx::CanMovePoint(int, int, int) {
    return 1;
}

// ---- drawing and hit testing ----

HRESULT CGraphMetaEx::Draw(HDC dc, BOOL noSelection) {
    TRACE_POINT();
    EnsureBuilt();
    if (IsHidden())
        return S_OK;
    if (!dc)
        return E_POINTER;
    // The owner's clip: the context's already when the frame made it for
    // all; a rectangle when the owner is upright; else its turned corners.
    CVecFrame* frame = GetFrame();
    bool ownerClipped = !frame || frame->HasSharedClip();
    HRGN clip = nullptr;
    RECT upright, reach = Bounds(), inside;
    // Turned by its own angle the figure may leave its unturned bounds.
    if (GetEditValue())
        GetBoundRect(&reach);
    int saved = 0;
    if (!ownerClipped && frame->GetUpright(&upright)) {
        frame->ToOwnerPoints(reinterpret_cast<POINT*>(&reach), 2);
        const int margin = GetEffectiveWidth() + 2;
        InflateRect(&reach, margin, margin);
        // Well inside an upright owner a figure needs no clip.
        if (!IntersectRect(&inside, &reach, &upright) || !EqualRect(&inside, &reach)) {
            saved = SaveDC(dc);
            IntersectClipRect(dc, upright.left, upright.top, upright.right, upright.bottom);
        }
        ownerClipped = true;
    } else if (!ownerClipped && (clip = FrameClip(dc)) != nullptr) {
        saved = SaveDC(dc);
        ExtSelectClipRgn(dc, clip, RGN_AND);
        ownerClipped = true;
    }
    const int rop = SetROP2(dc, ToRop2());
    const POINT offset = FrameOffset();
    const bool curve = GetKind() == 281 || GetKind() == 140;
    HRESULT result = S_OK;
    std::vector<POINT> pts;
    for (auto& p : m_paths) {
        const int n = p->points.GetCount();
        if (n == 0)
            continue;
        if (MetaFillHolder* h = GetHolder(p->holder)) {
            const HRESULT hr = h->DrawClipped(dc, *p, GetEnv(), ownerClipped);
            if (FAILED(hr))
                result = hr;
        }
        LineStyleObject* line = LineStyle::Get();
        if (!p->stroke || !line)
            continue;
        pts.assign(p->points.GetData(), p->points.GetData() + n);
        HRESULT hr;
        if (curve) {
            for (POINT& q : pts) q = POINT{q.x / 256 + offset.x, q.y / 256 + offset.y};
            hr = line->Draw(dc, SHAPE_BEZIER, pts.data(), n, GetCornerPercent(), 0);
        } else {
            for (POINT& q : pts) q = POINT{q.x + offset.x * 256, q.y + offset.y * 256};
            // An open part (a hatch, a bracket, a scale) is not closed by its outline.
            hr = line->Draw(dc, p->closed ? SHAPE_POLYGON : SHAPE_POLYLINE, pts.data(), n,
                            GetCornerPercent(), 1);
        }
        if (FAILED(hr))
            result = hr;
    }
    SetROP2(dc, rop);
    if (!noSelection)
        DrawSelectionState(dc);
    if (saved)
        RestoreDC(dc, saved);
    if (clip)
        DeleteObject(clip);
    return result;
}

HRESULT CGraphMetaEx::DrawTracker(HDC dc) {
    POINT c[5];
    for (int i = 0; i < 4; ++i) GetPointAt(&c[i], 0, 2 * i);
    c[4] = c[0];
    if (CVecFrame* frame = GetFrame())
        frame->ToOwnerPoints(c, 5);
    CTrackerPen pen(dc, 0);
    if (!pen.IsReady()) {
        LOG_WIN32_ERROR(0, "CreatePen API func Failed.\n");
        return E_FAIL;
    }
    const BOOL ok = Polygon(dc, c, 4);
    pen.Finish();
    if (!ok) {
        LOG_WIN32_ERROR(0, "Rectangle API func Failed.\n");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CGraphMetaEx::DrawRotateTracker(HDC dc, const RECT*, int cx, int cy, int angle) {
    POINT c[5];
    for (int i = 0; i < 4; ++i) GetPointAt(&c[i], 0, 2 * i);
    c[4] = c[0];
    if (CVecFrame* frame = GetFrame())
        frame->ToOwnerPoints(c, 5);
    RotatePoints(5, c, cx, cy, -angle * 100);
    CTrackerPen pen(dc, 1);
    if (!pen.IsReady()) {
        LOG_WIN32_ERROR(0, "CreatePen API func Failed.\n");
        return E_FAIL;
    }
    HRESULT hr = S_OK;
    if (!Polyline(dc, c, 5)) {
        LOG_WIN32_ERROR(0, "Rectangle API func Failed.\n");
        hr = E_FAIL;
    }
    if (!Ellipse(dc, c[2].x - 4, c[2].y - 4, c[2].x + 4, c[2].y + 4)) {
        LOG_WIN32_ERROR(0, "Ellipse API func Failed.\n");
        hr = E_FAIL;
    }
    if (!pen.Finish()) {
        LOG_WIN32_ERROR(0, "DeleteObject API func Failed.\n");
        hr = E_FAIL;
    }
    return hr;
}

int CGraphMetaEx::HitTest(HDC dc, POINT point, int mode) {
    if (mode < 0 || mode > 2)
        return 0;
    EnsureBuilt();
    if (mode != 2) {
        if (CGraphMeta::HitTest(dc, point, 1))
            return 1;
        if (mode == 1)
            return 0;
    }
    std::vector<POINT> pts;
    for (auto& p : m_paths) {
        const int n = p->points.GetCount();
        if (!p->closed || n < 3)
            continue;
        try {
            pts.resize((size_t)n);
        } catch (const std::bad_alloc&) {
            LOG_MSG("can not allocate memory of size:%d.", n * (int)sizeof(POINT));
            break;
        }
        for (int i = 0; i < n; ++i)
            pts[(size_t)i] = POINT{p->points[i].x / 256, p->points[i].y / 256};
        HRGN rgn = CreatePolygonRgn(pts.data(), n, ALTERNATE);
        if (!rgn) {
            LOG_WIN32_ERROR(0, "CreatePolygonRgn API func Failed.");
            break;
        }
        const BOOL inside = PtInRegion(rgn, point.x, point.y);
        DeleteObject(rgn);
        if (inside)
            return 1;
    }
    return HitTestOutline(dc, point) ? 1 : 0;
}

BOOL CGraphMetaEx::HitTestOutline(HDC dc, POINT point) {
    const int t = GetEffectiveWidth() / 2 + 4;
    std::vector<POINT> pts;
    for (auto& p : m_paths) {
        const int n = p->points.GetCount();
        if (n == 0)
            continue;
        pts.resize((size_t)n);
        for (int i = 0; i < n; ++i)
            pts[(size_t)i] = POINT{p->points[i].x / 256, p->points[i].y / 256};
        (void)dc;
        const int hit = GetKind() == 281 ? HitTestPolyBezier(point.x, point.y, pts.data(), n, t)
                                         : HitTestPolyline(point.x, point.y, pts.data(), n,
                                                           p->closed ? TRUE : FALSE, t);
        if (hit)
            return TRUE;
    }
    return FALSE;
}

HRESULT CGraphMetaEx::Offset(POINT delta) {
    OffsetRect(&m_bounds, delta.x, delta.y);
    const long long dx = (long long)delta.x * 256, dy = (long long)delta.y * 256;
    m_list1.Set(0, (int)(m_list1.Get(0) + dx));
    m_list1.Set(1, (int)(m_list1.Get(1) + dy));
    for (auto& p : m_paths) {
        for (int i = 0; i < p->points.GetCount(); ++i) {
            p->points[i].x = (LONG)(p->points[i].x + dx);
            p->points[i].y = (LONG)(p->points[i].y + dy);
        }
        if (p->anchored) {
            p->anchor.x = (LONG)(p->anchor.x + dx);
            p->anchor.y = (LONG)(p->anchor.y + dy);
        }
    }
    return S_OK;
}

HRESULT CGraphMetaEx::GetBoundRect(RECT* out) {
    if (!out)
        return E_POINTER;
    POINT c[4];
    for (int i = 0; i < 4; ++i)
        if (FAILED(GetPointAt(&c[i], 0, 2 * i)))
            c[i] = POINT{Bounds().left, Bounds().top};
    *out = BoxOf(c, 4);
    return S_OK;
}

// ---- the record ----

HRESULT CGraphMetaEx::SaveParams(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    m_list2.Save(stream);
    m_list1.Save(stream);
    m_list3.Save(stream);
    StreamWriteValue(stream, (int32_t)m_scale);
    return S_OK;
}

HRESULT CGraphMetaEx::LoadParams(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    IntList a, b, c;
    int32_t scale = 0;
    if (FAILED(a.Load(stream)) || FAILED(b.Load(stream)) || FAILED(c.Load(stream)) ||
        !ReadI32(stream, &scale))
        return E_FAIL;
    m_list2 = a;
    m_list1 = b;
    m_list3 = c;
    SetScale(scale);
    return S_OK;
}

HRESULT CGraphMetaEx::LoadHolders(ITeskStream* stream) {
    int32_t count = 0;
    if (!ReadI32(stream, &count) || count < 0 ||
        !StreamHas(stream, (ULONGLONG)count * kFillRecordMin)) {
        LOG_MSG("CGraphMetaEx: %d fill holders beyond the stream", (int)count);
        return E_FAIL;
    }
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<MetaFillHolder> h(new (std::nothrow) MetaFillHolder());
        if (!h || FAILED(h->Attach(this)) || FAILED(h->Load(stream)))
            return E_FAIL;
        m_holders.push_back(std::move(h));
    }
    return S_OK;
}

HRESULT CGraphMetaEx::LoadRecordInto(ITeskStream* stream, bool media) {
    int32_t index = 0;
    return SUCCEEDED(CVecPath::Load(stream)) && SUCCEEDED(LoadHolders(stream)) &&
                   (!media || ReadI32(stream, &index)) && SUCCEEDED(LoadLineMode(stream)) &&
                   SUCCEEDED(InkMode::Load(stream)) && SUCCEEDED(MetaAttrRecord::Load(stream)) &&
                   ReadMotion(stream, &Motion()) && SUCCEEDED(LoadParams(stream))
               ? S_OK
               : E_FAIL;
}

void CGraphMetaEx::TakeOver(CGraphMetaEx& read) {
    read.SetFrame(GetFrame());
    CGraphMeta::CopyFrom(read);
    static_cast<MetaAttrRecord&>(*this) = read;
    m_paths.clear();
    m_holders.swap(read.m_holders);
    for (auto& h : m_holders) h->SetMeta(this);
    m_list1 = read.m_list1;
    m_list2 = read.m_list2;
    m_list3 = read.m_list3;
    m_scale = read.m_scale;
}

// Reads into a fresh figure first, so that a damaged record leaves this one as it was.
HRESULT CGraphMetaEx::LoadWhole(ITeskStream* stream, bool media, const char* caller) {
    if (!stream)
        return E_POINTER;
    CGraphMetaEx read(GetEnv());
    HRESULT hr = E_FAIL;
    try {
        hr = read.LoadRecordInto(stream, media);
    } catch (const CTeskStreamExcept&) {
        hr = E_FAIL;
    } catch (const std::bad_alloc&) {
        hr = E_FAIL;
    }
    if (FAILED(hr)) {
        LOG_MSG("CGraphMetaEx::%s: short or damaged record", caller);
        return E_FAIL;
    }
    TakeOver(read);
    return S_OK;
}

HRESULT CGraphMetaEx::Load(ITeskStream* stream) {
    TRACE_POINT();
    return LoadWhole(stream, false, "Load");
}

HRESULT CGraphMetaEx::LoadWithMedia(ITeskStream* stream, const char*, VecFileContext* context,
                                    BOOL) {
    TRACE_POINT();
    HRESULT hr = LoadWhole(stream, true, "LoadWithMedia");
    if (hr == S_OK && context)
        SetReferenceRect(context->reference);
    return hr;
}

HRESULT CGraphMetaEx::SaveRecordFrom(ITeskStream* stream, bool media, int mediaIndex) {
    HRESULT hr = CVecPath::Save(stream);
    if (FAILED(hr))
        return hr;
    StreamWriteValue(stream, (int32_t)GetHolderCount());
    for (auto& h : m_holders)
        if (FAILED(hr = h->Save(stream)))
            return hr;
    if (media)
        StreamWriteValue(stream, (int32_t)mediaIndex);
    hr = SaveLineMode(stream);
    if (SUCCEEDED(hr))
        hr = InkMode::Save(stream);
    if (SUCCEEDED(hr))
        hr = MetaAttrRecord::Save(stream);
    if (FAILED(hr))
        return hr;
    for (int32_t v : Motion().values) StreamWriteValue(stream, v);
    return SaveParams(stream);
}

HRESULT CGraphMetaEx::Save(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    return SaveRecordFrom(stream, false, 0);
}

HRESULT CGraphMetaEx::SaveWithMedia(ITeskStream* stream, int mediaIndex) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    // The holders carry the fills; no picture file follows.
    return SaveRecordFrom(stream, true, mediaIndex);
}
