#include "aGrphMta.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <vector>

#include "aUtil.h"
#include "aVecFrm.h"
#include "bByteReader.h"
#include "bFileUtil.h"
#include "bFillPic.h"
#include "bFillShd.h"
#include "bLinStyl.h"
#include "bMediaManager.h"
#include "bPlayerSite.h"
#include "bStorage.h"
#include "bTraceLog.h"
#include "aTrackerPen.h"

namespace {

const int kHandle = 4;  // half the side of a handle square

RECT NormalRect(POINT a, POINT b) {
    RECT r = {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.x < b.x ? b.x : a.x,
              a.y < b.y ? b.y : a.y};
    return r;
}

POINT HandlePoint(const RECT& b, int index) {
    const int mx = (b.left + b.right) / 2, my = (b.top + b.bottom) / 2;
    switch (index) {
        case 0:
            return {b.left, b.top};
        case 1:
            return {mx, b.top};
        case 2:
            return {b.right, b.top};
        case 3:
            return {b.right, my};
        case 4:
            return {b.right, b.bottom};
        case 5:
            return {mx, b.bottom};
        case 6:
            return {b.left, b.bottom};
        default:
            return {b.left, my};
    }
}

bool NearPoint(POINT p, POINT q) {
    return p.x >= q.x - kHandle && p.x <= q.x + kHandle && p.y >= q.y - kHandle &&
           p.y <= q.y + kHandle;
}

// A DC to build path regions in when the caller gives none.
class ScratchDC {
public:
    explicit ScratchDC(HDC dc) : m_dc(dc ? dc : CreateCompatibleDC(nullptr)), m_own(!dc) {}
    ~ScratchDC() {
        if (m_own && m_dc)
            DeleteDC(m_dc);
    }
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
    bool m_own;
};

bool ReadI32(ITeskStream* stream, int32_t* value) {
    std::vector<uint8_t> b;
    if (!ReadStreamBytes(stream, 4, &b))
        return false;
    CByteReader r(b.data(), b.size());
    *value = r.I32LE();
    return true;
}

bool ReadMotion(ITeskStream* stream, MotionBlock* motion) {
    std::vector<uint8_t> b;
    if (!ReadStreamBytes(stream, sizeof(MotionBlock), &b))
        return false;
    CByteReader r(b.data(), b.size());
    for (int32_t& v : motion->values) v = r.I32LE();
    return true;
}

}  // namespace

CGraphMeta::CGraphMeta(IMetaEnv* env) : m_reference{0, 0, 0, 0}, m_env(env) {
    SetKind(GRAPH_NONE);
    memset(&m_motion, 0, sizeof(m_motion));
    m_motion.values[3] = 3000;
    m_motion.values[4] = 1;
    for (int i = 0; i <= 10; ++i) m_motion.values[5 + i] = (int32_t)(i * 0.1 * 10000);
}

CGraphMeta::~CGraphMeta() {}

HRESULT CGraphMeta::CopyFrom(CGraphMeta& other) {
    if (&other == this)
        return S_OK;
    HRESULT hr = CVecPath::CopyFrom(other);
    if (SUCCEEDED(hr))
        hr = ShadeFill::Duplicate(other);
    if (SUCCEEDED(hr))
        hr = LineStyle::Duplicate(other);
    CopyAttributes(other);
    InkMode::CopyFrom(other);
    m_motion = other.m_motion;
    m_reference = other.m_reference;
    return hr;
}

void CGraphMeta::Recalc() {
    if (GetKind() == GRAPH_BEZIER)
        CalcBezierBounds();
    else
        CalcBoundRect();
}

HRESULT CGraphMeta::ChangePtPos(int index, POINT point) {
    HRESULT hr = SetPoint(index, point);
    if (FAILED(hr)) {
        LOG_MSG("ChangePtPos func Failed.nPtIndex is %d,ptNewPos is %d,%d.", index, (int)point.x,
                (int)point.y);
        return hr;
    }
    Recalc();
    return S_OK;
}

HRESULT CGraphMeta::RotateObj(int angle, POINT centre) {
    HRESULT hr = CVecPath::Rotate(angle, centre);
    if (FAILED(hr)) {
        LOG_MSG("RotateObj func Failed,dwangle is %d,center is %d,%d.", angle, (int)centre.x,
                (int)centre.y);
        return hr;
    }
    Recalc();
    return S_OK;
}

bool CGraphMeta::IsClosedShape() const {
    const int kind = GetKind();
    return kind == GRAPH_ELLIPSE || kind == GRAPH_RECT || kind == GRAPH_ROUNDRECT || IsClosed();
}

void CGraphMeta::GetCenter(POINT* out) const {
    if (!out)
        return;
    const RECT& b = Bounds();
    out->x = (b.left + b.right) / 2 * 256;
    out->y = (b.top + b.bottom) / 2 * 256;
}

void CGraphMeta::MapPoints(const RECT* fit, POINT* points, int n) const {
    if (n <= 0)
        return;
    if (fit) {
        const int rw = m_reference.right - m_reference.left;
        const int rh = m_reference.bottom - m_reference.top;
        // A shape without a reference keeps its size.
        const double sx = rw ? (double)(fit->right - fit->left) / rw : 1.0;
        const double sy = rh ? (double)(fit->bottom - fit->top) / rh : 1.0;
        const int cx = (fit->left + fit->right) / 2, cy = (fit->top + fit->bottom) / 2;
        for (int i = 0; i < n; ++i) {
            points[i].x = (int)(points[i].x * sx) + cx;
            points[i].y = (int)(points[i].y * sy) + cy;
        }
    } else if (CVecFrame* frame = GetFrame()) {
        frame->ToOwnerPoints(points, n);
    }
}

bool CGraphMeta::BezierControls(std::vector<POINT>* out) const {
    std::vector<POINT> pts(GetData(), GetData() + CVecPath::GetCount());
    if (IsClosed() && !pts.empty())
        pts.push_back(pts[0]);
    if (pts.size() < 2)
        return false;
    out->assign((size_t)BezierControlCount((int)pts.size()), POINT{0, 0});
    if (FAILED(BezierBoundPtToCtrlPt(pts.data(), (int)pts.size(), out->data()))) {
        LOG_MSG("BezierBoundPtToCtrlPt func Failed.");
        return false;
    }
    return true;
}

HRESULT CGraphMeta::PreparePoints(const RECT* fit, int* code, std::vector<POINT>* points) {
    const int n = CVecPath::GetCount();
    const POINT* data = GetData();
    auto at = [&](int i) { return i < n ? data[i] : POINT{0, 0}; };
    const RECT& b = Bounds();
    points->clear();
    switch (GetKind()) {
        case GRAPH_LINE:
            *code = SHAPE_LINE;
            points->assign({at(0), at(1)});
            break;
        case GRAPH_POLYLINE:
            points->assign(data, data + n);
            *code = SHAPE_POLYLINE;
            if (IsClosed() && n) {
                points->push_back(data[0]);
                *code = SHAPE_POLYGON;
            }
            break;
        case GRAPH_BEZIER:
            *code = IsClosed() ? SHAPE_BEZIER2 : SHAPE_BEZIER;
            if (!BezierControls(points))
                return E_FAIL;
            break;
        case GRAPH_ELLIPSE:
        case GRAPH_RECT:
        case GRAPH_ROUNDRECT:
            *code = GetKind() == GRAPH_ELLIPSE ? SHAPE_ELLIPSE
                    : GetKind() == GRAPH_RECT  ? SHAPE_RECT
                                               : SHAPE_ROUNDRECT;
            points->assign({POINT{b.left, b.top}, POINT{b.right, b.bottom}});
            break;
        case GRAPH_NONE:
            return S_FALSE;
        default:
            return E_UNEXPECTED;
    }
    MapPoints(fit, points->data(), (int)points->size());
    return S_OK;
}

HRGN CGraphMeta::CreateRegion(HDC dc, const RECT* fit) {
    const int n = CVecPath::GetCount();
    if (n == 0) {
        LOG_MSG("m_ptArray  Size is zero.");
        return nullptr;
    }
    if (!IsClosedShape() || n < 2)
        return nullptr;
    const RECT& b = Bounds();
    POINT corners[2] = {{b.left, b.top}, {b.right, b.bottom}};
    MapPoints(fit, corners, 2);
    LPtoDP(dc, corners, 2);
    const RECT box = NormalRect(corners[0], corners[1]);
    switch (GetKind()) {
        case GRAPH_POLYLINE: {
            std::vector<POINT> pts(GetData(), GetData() + n);
            MapPoints(fit, pts.data(), n);
            LPtoDP(dc, pts.data(), n);
            HRGN rgn = CreatePolygonRgn(pts.data(), n, ALTERNATE);
            if (!rgn)
                LOG_WIN32_ERROR(0, "CreatePolygonRgn API func Failed.\n");
            return rgn;
        }
        case GRAPH_BEZIER: {
            std::vector<POINT> ctrl;
            if (!BezierControls(&ctrl))
                return nullptr;
            MapPoints(fit, ctrl.data(), (int)ctrl.size());
            // The path region comes out in device units.
            HRGN rgn = BezierRegion(dc, ctrl.data(), (int)ctrl.size());
            if (!rgn)
                LOG_MSG("CreateBezierRgn func Failed.");
            return rgn;
        }
        case GRAPH_ELLIPSE: {
            HRGN rgn = CreateEllipticRgn(box.left, box.top, box.right, box.bottom);
            if (!rgn)
                rgn = CreateRectRgn(box.left, box.top, box.right, box.bottom);
            if (!rgn)
                LOG_MSG(
                    "CreateEllipticRgn and CreateRectRgn API  func Failed.: left is %d,top is "
                    "%d,right is %d,bottom is %d.\n",
                    (int)box.left, (int)box.top, (int)box.right, (int)box.bottom);
            return rgn;
        }
        case GRAPH_RECT:
            return CreateRectRgn(box.left, box.top, box.right, box.bottom);
        case GRAPH_ROUNDRECT: {
            int w = 0, h = 0;
            HRGN rgn = nullptr;
            if (RoundRectEllipseSize(&box, GetCornerPercent(), &w, &h) != 0)
                LOG_MSG("GetRectRoundSize func Failed.");
            else
                rgn = CreateRoundRectRgn(box.left, box.top, box.right, box.bottom, w, h);
            if (!rgn)
                rgn = CreateRectRgn(box.left, box.top, box.right, box.bottom);
            return rgn;
        }
        default:
            return nullptr;
    }
}

HRGN CGraphMeta::FrameClip(HDC dc) const {
    CVecFrame* frame = GetFrame();
    POINT four[4];
    if (!frame || FAILED(frame->GetOwnerCorners(four)))
        return nullptr;
    LPtoDP(dc, four, 4);
    return CreatePolygonRgn(four, 4, ALTERNATE);
}

HRESULT CGraphMeta::Draw(HDC dc, BOOL noSelection) {
    TRACE_POINT();
    if (IsHidden())
        return S_OK;
    if (!dc)
        return E_POINTER;
    CVecFrame* frame = GetFrame();
    const bool board = frame && (frame->GetFlags() & VECFRAME_BOARD);
    // A point: one pixel in its own line colour.
    if (board && GetKind() == GRAPH_LINE && CVecPath::GetCount() >= 2 &&
        GetData()[0].x == GetData()[1].x && GetData()[0].y == GetData()[1].y) {
        POINT p = GetData()[0];
        MapPoints(nullptr, &p, 1);
        COLORREF color = 0;
        if (LineStyle::Get())
            LineStyle::Get()->GetColor(&color);
        SetPixel(dc, p.x, p.y, color);
        return S_OK;
    }
    int code = 0;
    std::vector<POINT> pts;
    HRESULT hr = PreparePoints(nullptr, &code, &pts);
    if (hr != S_OK)
        return hr == S_FALSE ? S_OK : hr;
    const RECT& b = Bounds();
    POINT corners[2] = {{b.left, b.top}, {b.right, b.bottom}};
    MapPoints(nullptr, corners, 2);
    RECT mapped = NormalRect(corners[0], corners[1]);
    // The owner's clip: already the context's when the frame made it for
    // all; none needed for a shape well inside an upright owner.
    const bool clipped = frame && (frame->WantsClip() || board);
    RECT upright, reach = mapped, inside;
    const int margin = GetEffectiveWidth() + 2;
    InflateRect(&reach, margin, margin);
    const bool within = clipped && frame->GetUpright(&upright) &&
                        IntersectRect(&inside, &reach, &upright) && EqualRect(&inside, &reach);
    const bool shared = clipped && (frame->HasSharedClip() || within);
    HRGN frameClip = clipped && !shared ? FrameClip(dc) : nullptr;
    // Only a clip of its own needs the whole state kept.
    const int saved = frameClip ? SaveDC(dc) : 0;
    const int rop = SetROP2(dc, ToRop2());
    if (frameClip)
        ExtSelectClipRgn(dc, frameClip, RGN_AND);
    if (IsClosedShape() && (frameClip || shared) && !IsNoFill() && ShadeFill::GetFill()) {
        const COLORREF solid = SolidColor(dc);
        if (solid != CLR_INVALID && GetKind() == GRAPH_RECT) {
            // A solid rectangle is its own region: painted straight in.
            RECT box = mapped;
            FillSolid(dc, &box, solid);
        } else if (solid != CLR_INVALID && GetKind() == GRAPH_ELLIPSE &&
                   GetMapMode(dc) == MM_TEXT) {
            // Logical units only move device ones: the same region, filled
            // within the context's clip.
            if (HRGN shape =
                    CreateEllipticRgn(mapped.left, mapped.top, mapped.right, mapped.bottom)) {
                HBRUSH brush = CreateSolidBrush(solid);
                FillRgn(dc, shape, brush);
                DeleteObject(brush);
                DeleteObject(shape);
            }
        } else if (solid != CLR_INVALID && GetKind() == GRAPH_POLYLINE &&
                   GetMapMode(dc) == MM_TEXT && pts.size() >= 3) {
            // As the ellipse: the polygon's region filled within the
            // context's clip (the points are the outline's, closed).
            if (HRGN shape = CreatePolygonRgn(pts.data(), (int)pts.size(), ALTERNATE)) {
                HBRUSH brush = CreateSolidBrush(solid);
                FillRgn(dc, shape, brush);
                DeleteObject(brush);
                DeleteObject(shape);
            }
        } else if (HRGN shape = CreateRegion(dc, nullptr)) {
            RECT box;
            GetRgnBox(shape, &box);
            POINT bc[2] = {{box.left, box.top}, {box.right, box.bottom}};
            DPtoLP(dc, bc, 2);
            RECT clip = NormalRect(bc[0], bc[1]), inter;
            if (IntersectRect(&inter, &clip, &mapped)) {
                const int inner = SaveDC(dc);
                ExtSelectClipRgn(dc, shape, RGN_AND);
                if (solid != CLR_INVALID)
                    FillSolid(dc, &inter, solid);
                else
                    ShadeFill::GetFill()->RenderToDC(dc, &mapped, &inter,
                                                     m_env ? m_env->GetPlaySite() : nullptr);
                RestoreDC(dc, inner);
            }
            DeleteObject(shape);
        }
    }
    if (LineStyle::Get())
        hr = LineStyle::Get()->Draw(dc, code, pts.data(), (int)pts.size(), GetCornerPercent(), 0);
    if (saved)
        RestoreDC(dc, saved);
    else
        SetROP2(dc, rop);
    if (frameClip)
        DeleteObject(frameClip);
    if (!noSelection)
        DrawSelectionState(dc);
    return SUCCEEDED(hr) ? S_OK : hr;
}

COLORREF CGraphMeta::SolidColor(HDC dc) const {
    // Where the fill's own drawing gives the same pixels: an opaque solid
    // colour without a pattern on a true-colour context.
    FillObject* fill = ShadeFill::GetFill();
    void* params = nullptr;
    BYTE alpha = 0;
    COLORREF color = CLR_INVALID;
    CVecFrame* frame = GetFrame();
    if (!fill || GetFillType() != FILL_SOLID || GetFillMode() != FILLMODE_FILL ||
        FAILED(fill->GetAlpha(&alpha)) || alpha != 255 ||
        !(frame ? frame->IsTrueColour(dc) : GetDeviceCaps(dc, BITSPIXEL) >= 24) ||
        FAILED(fill->GetFillParams(&params)) || !params ||
        FAILED(static_cast<ISolidFillParams*>(params)->GetColor(&color)))
        return CLR_INVALID;
    return color & 0x00FFFFFF;
}

void CGraphMeta::FillSolid(HDC dc, const RECT* rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, rect, brush);
    DeleteObject(brush);
}

HRESULT CGraphMeta::DrawInRect(HDC dc, const RECT* rect) {
    TRACE_POINT();
    if (IsHidden())
        return S_OK;
    if (!dc || !rect)
        return E_POINTER;
    int code = 0;
    std::vector<POINT> pts;
    HRESULT hr = PreparePoints(rect, &code, &pts);
    if (hr != S_OK)
        return hr == S_FALSE ? S_OK : hr;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, rect->left, rect->top, rect->right, rect->bottom);
    SetROP2(dc, ToRop2());
    const RECT& b = Bounds();
    POINT corners[2] = {{b.left, b.top}, {b.right, b.bottom}};
    MapPoints(rect, corners, 2);
    const RECT fitted = NormalRect(corners[0], corners[1]);
    LineStyleObject* line = LineStyle::Get();
    const int kind = GetKind();
    const bool boxed = kind == GRAPH_ELLIPSE || kind == GRAPH_RECT || kind == GRAPH_ROUNDRECT;
    auto outline = [&]() {
        return line ? line->Draw(dc, code, pts.data(), (int)pts.size(), GetCornerPercent(), 0)
                    : S_OK;
    };
    if (boxed)
        hr = outline();
    if (IsClosedShape() && !IsNoFill() && ShadeFill::GetFill()) {
        if (HRGN shape = CreateRegion(dc, rect)) {
            POINT tc[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
            LPtoDP(dc, tc, 2);
            HRGN target = CreateRectRgn(tc[0].x, tc[0].y, tc[1].x, tc[1].y);
            CombineRgn(shape, shape, target, RGN_AND);
            if (boxed && line) {
                // The outline drawn first keeps its pixels.
                POINT dc2[2] = {corners[0], corners[1]};
                LPtoDP(dc, dc2, 2);
                RECT dr = NormalRect(dc2[0], dc2[1]);
                HRGN edge = CreateRectRgn(0, 0, 0, 0);
                if (SUCCEEDED(line->AddOutlineRegion(code, &dr, GetCornerPercent(), edge)))
                    CombineRgn(shape, shape, edge, RGN_DIFF);
                DeleteObject(edge);
            }
            RECT box;
            if (GetRgnBox(shape, &box) != NULLREGION) {
                const int inner = SaveDC(dc);
                ExtSelectClipRgn(dc, shape, RGN_AND);
                ShadeFill::GetFill()->RenderToDC(dc, &fitted, rect,
                                                 m_env ? m_env->GetPlaySite() : nullptr);
                RestoreDC(dc, inner);
            }
            DeleteObject(target);
            DeleteObject(shape);
        }
    }
    if (!boxed)
        hr = outline();
    RestoreDC(dc, saved);
    return SUCCEEDED(hr) ? S_OK : hr;
}

HRESULT CGraphMeta::Clone(CMetaBase** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CGraphMeta* copy = new (std::nothrow) CGraphMeta(m_env);
    if (!copy) {
        LOG_MSG("can not allocate enough memory.");
        return E_OUTOFMEMORY;
    }
    HRESULT hr = copy->CopyFrom(*this);
    if (FAILED(hr)) {
        delete copy;
        return hr;
    }
    *out = copy;
    return S_OK;
}

HRESULT CGraphMeta::DrawTracker(HDC dc) {
    const RECT& b = Bounds();
    POINT c[2] = {{b.left, b.top}, {b.right, b.bottom}};
    MapPoints(nullptr, c, 2);
    CTrackerPen pen(dc, 0);
    if (!pen.IsReady()) {
        LOG_WIN32_ERROR(0, "CreatePen API func Failed.\n");
        return E_FAIL;
    }
    const BOOL ok = Rectangle(dc, c[0].x, c[0].y, c[1].x, c[1].y);
    pen.Finish();
    if (!ok) {
        LOG_WIN32_ERROR(0, "Rectangle API func Failed.\n");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CGraphMeta::DrawSelection(HDC dc, BOOL pointMarks) {
    if (IsHidden())
        return S_OK;
    if (pointMarks)
        return DrawPointHandles(dc);
    DrawTracker(dc);
    return DrawBoundHandles(dc);
}

namespace {

void DrawMarks(HDC dc, const std::vector<POINT>& at, int redIndex) {
    const int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    for (size_t i = 0; i < at.size(); ++i) {
        SelectObject(dc, (int)i == redIndex ? red : green);
        Rectangle(dc, at[i].x - kHandle, at[i].y - kHandle, at[i].x + kHandle, at[i].y + kHandle);
    }
    RestoreDC(dc, saved);
    DeleteObject(green);
    DeleteObject(red);
}

}  // namespace

HRESULT CGraphMeta::DrawBoundHandles(HDC dc) {
    std::vector<POINT> at;
    for (int i = 0; i < 8; ++i) at.push_back(HandlePoint(Bounds(), i));
    MapPoints(nullptr, at.data(), (int)at.size());
    DrawMarks(dc, at, 2);
    return S_OK;
}

HRESULT CGraphMeta::DrawPointHandles(HDC dc) {
    std::vector<POINT> at(GetData(), GetData() + CVecPath::GetCount());
    MapPoints(nullptr, at.data(), (int)at.size());
    DrawMarks(dc, at, (int)at.size() - 1);
    return S_OK;
}

HRESULT CGraphMeta::DrawSelectionState(HDC dc) {
    if (IsHidden())
        return S_OK;
    if (GetSelection() == 1)
        return DrawSelection(dc, TRUE);
    if (GetSelection() == 2)
        return DrawSelection(dc, FALSE);
    return S_OK;
}

HRESULT CGraphMeta::GetBoundsWithPen(RECT* out) {
    if (!out)
        return E_POINTER;
    *out = Bounds();
    const int d = GetEffectiveWidth() + 4;
    InflateRect(out, d, d);
    return S_OK;
}

HRESULT CGraphMeta::FinishShape() {
    WORD flags = GetFlags();
    switch (GetKind()) {
        case GRAPH_LINE:
            SetFlags(flags & 0xFFF2);
            SetEditValue(0);
            CalcBoundRect();
            break;
        case GRAPH_POLYLINE:
        case GRAPH_BEZIER: {
            SetFlags(flags & 0xFFF6);
            SetEditValue(0);
            const int n = CVecPath::GetCount();
            if (n >= 2) {
                const POINT a = GetData()[0], z = GetData()[n - 1];
                const long long dx = (long long)a.x - z.x, dy = (long long)a.y - z.y;
                if (dx * dx + dy * dy <= 6) {
                    RemovePoint(n - 1);
                    SetClosed(true);
                }
            }
            Recalc();
            break;
        }
        case GRAPH_ELLIPSE:
        case GRAPH_RECT:
        case GRAPH_ROUNDRECT:
            SetFlags((WORD)((flags & 0xFFF6) | META_CLOSED));
            SetEditValue(0);
            CalcBoundRect();
            break;
        default:
            break;
    }
    return S_OK;
}

HRESULT CGraphMeta::CalcBoundRect() {
    const int n = CVecPath::GetCount();
    RECT r = {0, 0, 0, 0};
    if (n) {
        const POINT* p = GetData();
        r = RECT{p[0].x, p[0].y, p[0].x, p[0].y};
        for (int i = 1; i < n; ++i) {
            r.left = p[i].x < r.left ? p[i].x : r.left;
            r.top = p[i].y < r.top ? p[i].y : r.top;
            r.right = p[i].x > r.right ? p[i].x : r.right;
            r.bottom = p[i].y > r.bottom ? p[i].y : r.bottom;
        }
    }
    m_bounds = r;
    return S_OK;
}

HRESULT CGraphMeta::CalcBezierBounds() {
    // Fewer than two points make no curve: their plain bounds.
    if (CVecPath::GetCount() < 2)
        return CalcBoundRect();
    std::vector<POINT> ctrl;
    if (!BezierControls(&ctrl))
        return E_FAIL;
    POINT lo = ctrl[0], hi = ctrl[0];
    for (size_t i = 0; i + 3 < ctrl.size(); i += 3) {
        // The segment widens the bounds it is given.
        if (BezierSegmentBounds(&ctrl[i], &lo, &hi) != 0) {
            LOG_MSG("CalcMinMaxBezierSeg func Failed.");
            return E_FAIL;
        }
    }
    m_bounds = RECT{lo.x, lo.y, hi.x, hi.y};
    return S_OK;
}

BOOL CGraphMeta::HitTestOutline(HDC dc, POINT p) {
    const int t = GetEffectiveWidth() / 2 + 4;
    const int n = CVecPath::GetCount();
    const POINT* pts = GetData();
    const RECT& b = Bounds();
    switch (GetKind()) {
        case GRAPH_LINE:
            return n >= 2 &&
                   IsPointNearLine(p.x, p.y, pts[0].x, pts[0].y, pts[1].x, pts[1].y, (float)t);
        case GRAPH_POLYLINE:
            return HitTestPolyline(p.x, p.y, pts, n, IsClosed(), t);
        case GRAPH_BEZIER:
            (void)dc;
            return n >= 2 && HitTestBezierBound(p.x, p.y, pts, n, IsClosed(), t);
        case GRAPH_ELLIPSE:
            return HitTestOvalBound(p.x, p.y, &b, t);
        case GRAPH_RECT: {
            const POINT c[5] = {{b.left, b.top},
                                {b.right, b.top},
                                {b.right, b.bottom},
                                {b.left, b.bottom},
                                {b.left, b.top}};
            return HitTestPolyline(p.x, p.y, c, 5, FALSE, t);
        }
        case GRAPH_ROUNDRECT:
            return HitTestRoundRectBound(p.x, p.y, &b, GetCornerPercent(), t);
        default:
            return FALSE;
    }
}

int CGraphMeta::HitTestHandle(POINT point, int* index) {
    for (int i = 0; i < CVecPath::GetCount(); ++i) {
        if (NearPoint(point, GetData()[i])) {
            if (index)
                *index = i;
            return 1;
        }
    }
    if (index)
        *index = -1;
    return 0;
}

int CGraphMeta::HitTest(HDC dc, POINT point, int mode) {
    if (mode < 0 || mode > 2)
        return 0;
    if (mode != 2) {
        int index = -1;
        if (HitTestHandle(point, &index))
            return 1;
        for (int i = 0; i < 8; ++i)
            if (NearPoint(point, HandlePoint(Bounds(), i)))
                return 1;
        if (mode == 1)
            return 0;
    }
    RECT r = Bounds();
    const int half = GetEffectiveWidth() / 2;
    InflateRect(&r, half, half);
    CVecFrame* frame = GetFrame();
    if (frame && (frame->WantsClip() || (frame->GetFlags() & VECFRAME_BOARD))) {
        const int angle = frame->GetOwnerDegree();
        if (angle)
            point = RotatePoint(point.x, point.y, 0, 0, -angle);
    }
    const bool arealess = m_env && m_env->IgnoresUnfilledArea() && IsNoFill();
    const int kind = GetKind();
    if (IsClosedShape() && !arealess && CVecPath::GetCount() >= 2) {
        HRGN rgn = nullptr;
        bool inside = false;
        switch (kind) {
            case GRAPH_POLYLINE:
                rgn = CreatePolygonRgn(GetData(), CVecPath::GetCount(), ALTERNATE);
                if (!rgn)
                    LOG_WIN32_ERROR(0, "CreatePolygonRgn API func Failed.\n");
                break;
            case GRAPH_BEZIER: {
                std::vector<POINT> ctrl;
                ScratchDC scratch(nullptr);
                if (BezierControls(&ctrl))
                    rgn = BezierRegion(scratch.Get(), ctrl.data(), (int)ctrl.size());
                if (!rgn)
                    LOG_MSG("CreateBezierRgn API func Failed.\n");
                break;
            }
            case GRAPH_ELLIPSE:
                rgn = CreateEllipticRgn(r.left, r.top, r.right, r.bottom);
                if (!rgn)
                    LOG_WIN32_ERROR(0, "CreateEllipticRgn API func Failed.\n");
                break;
            case GRAPH_RECT:
                inside = PtInRect(&r, point) != 0;
                break;
            case GRAPH_ROUNDRECT: {
                int w = 0, h = 0;
                if (RoundRectEllipseSize(&r, GetCornerPercent(), &w, &h) == 0)
                    rgn = CreateRoundRectRgn(r.left, r.top, r.right, r.bottom, w, h);
                if (!rgn)
                    LOG_MSG("CreateRoundRectRgn API func Failed.");
                break;
            }
            default:
                break;
        }
        if (rgn) {
            inside = PtInRegion(rgn, point.x, point.y) != 0;
            DeleteObject(rgn);
        }
        if (inside)
            return 1;
    }
    return HitTestOutline(dc, point) ? 1 : 0;
}

HRESULT CGraphMeta::Offset(POINT delta) {
    POINT* p = CVecPath::GetData();
    for (int i = 0; i < CVecPath::GetCount(); ++i) {
        p[i].x += delta.x;
        p[i].y += delta.y;
    }
    Recalc();
    return S_OK;
}

HRESULT CGraphMeta::GetPos(POINT* out) {
    if (out && CVecPath::GetCount())
        *out = GetData()[0];
    return S_OK;
}

HRESULT CGraphMeta::SetPosX(int x) {
    if (!CVecPath::GetCount())
        return E_FAIL;
    return Offset(POINT{x - GetData()[0].x, 0});
}

HRESULT CGraphMeta::SetPosY(int y) {
    if (!CVecPath::GetCount())
        return E_FAIL;
    return Offset(POINT{0, y - GetData()[0].y});
}

BOOL CGraphMeta::IsInsideRect(const RECT* rect) {
    const RECT& b = Bounds();
    return rect && rect->left <= b.left && b.right <= rect->right && rect->top <= b.top &&
           b.bottom <= rect->bottom;
}

HRESULT CGraphMeta::GetBoundRect(RECT* out) {
    if (!out)
        return E_POINTER;
    *out = Bounds();
    return S_OK;
}

int CGraphMeta::HitTestBounds(POINT point) {
    return PtInRect(&Bounds(), point) ? 1 : 0;
}

HRESULT CGraphMeta::CloseIfEndsMeet() {
    const int n = CVecPath::GetCount();
    if (n < 2 || IsClosed())
        return S_OK;
    const POINT a = GetData()[0], z = GetData()[n - 1];
    const long long dx = (long long)a.x - z.x, dy = (long long)a.y - z.y;
    if (dx * dx + dy * dy <= 6) {
        SetClosed(true);
        RemovePoint(n - 1);
    }
    return S_OK;
}

HRESULT CGraphMeta::SetPointAt(int index, POINT point) {
    if (index < 0 || index >= CVecPath::GetCount()) {
        LOG_MSG("invalid parameters,nIndex is %d.", index);
        return E_INVALIDARG;
    }
    SetPoint(index, point);
    Recalc();
    return S_OK;
}

HRESULT CGraphMeta::GetPointAt(POINT* out, int selector, int index) {
    if (!out)
        return E_POINTER;
    if (selector == 0) {
        if (index < 0 || index > 7)
            return E_INVALIDARG;
        *out = HandlePoint(Bounds(), index);
        return S_OK;
    }
    if (selector == 1) {
        *out = GetPoint(index);
        return S_OK;
    }
    return E_INVALIDARG;
}

HRESULT CGraphMeta::Load(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    // Read whole into a fresh shape, taken over only when all of it was read.
    CGraphMeta read(m_env);
    bool ok = false;
    try {
        ok = SUCCEEDED(read.CVecPath::Load(stream)) && SUCCEEDED(read.ShadeFill::Load(stream)) &&
             SUCCEEDED(read.LoadLineMode(stream)) && SUCCEEDED(read.InkMode::Load(stream)) &&
             SUCCEEDED(read.MetaAttrRecord::Load(stream)) && ReadMotion(stream, &read.m_motion);
    } catch (const CTeskStreamExcept&) {
        ok = false;
    }
    if (!ok) {
        LOG_MSG("CGraphMeta::Load: short or damaged record");
        return E_FAIL;
    }
    read.SetFrame(GetFrame());
    HRESULT hr = CopyFrom(read);
    static_cast<MetaAttrRecord&>(*this) = read;
    return hr;
}

HRESULT CGraphMeta::Save(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    HRESULT hr = CVecPath::Save(stream);
    if (SUCCEEDED(hr))
        hr = ShadeFill::Save(stream);
    if (SUCCEEDED(hr))
        hr = SaveLineMode(stream);
    if (SUCCEEDED(hr))
        hr = InkMode::Save(stream);
    if (SUCCEEDED(hr))
        hr = MetaAttrRecord::Save(stream);
    if (FAILED(hr))
        return hr;
    for (int32_t v : m_motion.values) StreamWriteValue(stream, v);
    return S_OK;
}

HRESULT CGraphMeta::LoadGeometry(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    std::vector<uint8_t> head;
    if (!ReadStreamBytes(stream, 36, &head)) {
        LOG_MSG("CGraphMeta::LoadGeometry: short record");
        return E_FAIL;
    }
    CByteReader r(head.data(), head.size());
    const int kind = r.I32LE();
    const int corner = r.I32LE();
    const int metaId = r.I32LE();
    RECT bounds;
    bounds.left = r.I32LE();
    bounds.top = r.I32LE();
    bounds.right = r.I32LE();
    bounds.bottom = r.I32LE();
    const WORD flags = (WORD)r.U32LE();
    const int baseValue = r.I32LE();
    MotionBlock motion;
    int32_t count = 0;
    std::vector<uint8_t> body;
    LineStyle line;
    if (!ReadMotion(stream, &motion) || !ReadI32(stream, &count) || count < 0 ||
        !ReadStreamBytes(stream, (ULONGLONG)count * 8, &body) ||
        ((flags & META_HAS_LINEMODE) && FAILED(line.LoadLineMode(stream)))) {
        LOG_MSG("CGraphMeta::LoadGeometry: short or damaged record");
        return E_FAIL;
    }
    CByteReader pr(body.data(), body.size());
    Clear();
    for (int i = 0; i < count; ++i) {
        const int x = pr.I32LE();
        const int y = pr.I32LE();
        if (FAILED(AddPoint(x, y)))
            return E_OUTOFMEMORY;
    }
    SetKind(kind);
    SetCornerPercent(corner);
    SetMetaId(metaId);
    m_bounds = bounds;
    SetFlags(flags);
    SetBaseValue(baseValue);
    m_motion = motion;
    if (flags & META_HAS_LINEMODE)
        LineStyle::Duplicate(line);
    Recalc();
    return S_OK;
}

// ---- the vector-file form ----

namespace {

enum { STRING_VECTOR_PREFIX = 31503 };

IPictureFillParams* PictureParams(const ShadeFill& fill) {
    void* params = nullptr;
    if (fill.GetFillType() != FILL_PICTURE || !fill.GetFill() ||
        FAILED(fill.GetFill()->GetFillParams(&params)))
        return nullptr;
    return static_cast<IPictureFillParams*>(params);
}

// The name's file name without folders or drive; empty when nothing is
// left or it only names a folder.
std::string LastComponent(const std::string& name) {
    char last[MAX_PATH] = "";
    if (!PathFileName(name.c_str(), last, sizeof(last)))
        return std::string();
    const std::string s(last);
    return s == "." || s == ".." ? std::string() : s;
}

// The file name without folders and without its extension.
std::string Title(const char* fileName) {
    const std::string last = LastComponent(fileName ? fileName : "");
    char ext[MAX_PATH] = "";
    PathExtension(last.c_str(), ext, sizeof(ext));
    return last.substr(0, last.size() - strlen(ext));
}

}  // namespace

std::string CGraphMeta::PictureKey() const {
    IPictureFillParams* p = PictureParams(*this);
    if (!p)
        return std::string();
    char name[64] = "";
    p->GetPictureName(name);
    if (name[0])
        return name;
    char path[MAX_PATH] = "";
    p->GetPicturePath(path);
    return path;
}

void CGraphMeta::SetPicturePath(const std::string& path) {
    if (IPictureFillParams* p = PictureParams(*this)) {
        p->SetPictureName("");
        p->SetPicturePath(path.c_str());
    }
}

HRESULT CGraphMeta::LoadMedia(ITeskStream* stream, int index, std::string* name,
                              std::vector<uint8_t>* data) {
    if (index != -1 || GetFillType() != FILL_PICTURE)
        return S_OK;
    int32_t length = 0;
    if (!ReadI32(stream, &length) || length < 0 || length > EMBEDDED_NAME_MAX) {
        LOG_MSG("CGraphMeta::LoadMedia: picture name of %d bytes refused", (int)length);
        return E_FAIL;
    }
    std::vector<uint8_t> bytes;
    int32_t size = 0;
    if (!ReadStreamBytes(stream, (ULONGLONG)length, &bytes) || !ReadI32(stream, &size) ||
        size < 0) {
        LOG_MSG("CGraphMeta::LoadMedia: short or damaged picture part");
        return E_FAIL;
    }
    name->assign(bytes.begin(), bytes.end());
    name->resize(strlen(name->c_str()));
    if (!ReadStreamBytes(stream, (ULONGLONG)size, data)) {
        LOG_MSG("CGraphMeta::LoadMedia: %d bytes of picture beyond the stream", (int)size);
        return E_FAIL;
    }
    return S_OK;
}

std::string CGraphMeta::WriteEmbeddedFile(const char* fileName, int position,
                                          const std::string& name,
                                          const std::vector<uint8_t>& data) {
    // Only the stored name's last component: the file stays in the folder.
    const std::string last = LastComponent(name);
    char folder[MAX_PATH] = "";
    if (last.empty() || !m_env || !m_env->GetMediaFolder(folder, sizeof(folder))) {
        LOG_MSG("CGraphMeta: embedded picture \"%s\" not written", name.c_str());
        return std::string();
    }
    char prefix[64] = "";
    LoadResString(STRING_VECTOR_PREFIX, prefix, sizeof(prefix));
    if (!prefix[0])
        strcpy(prefix, "_VectorObj_");
    char dir[MAX_PATH] = "";
    char path[MAX_PATH] = "";
    const std::string file = prefix + Title(fileName) + std::to_string(position) + last;
    if (!PathCombine(folder, "TempDir", dir, sizeof(dir)) || !CreateDirectoryPath(dir) ||
        !PathCombine(dir, file.c_str(), path, sizeof(path))) {
        LOG_MSG("CGraphMeta: no folder for the embedded picture %s", file.c_str());
        return std::string();
    }
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        LOG_WIN32_ERROR(0, "CreateFile %s failed", path);
        return std::string();
    }
    DWORD written = 0;
    const BOOL ok =
        data.empty() || WriteFile(h, data.data(), (DWORD)data.size(), &written, nullptr);
    CloseHandle(h);
    if (!ok || written != data.size()) {
        LOG_WIN32_ERROR(0, "WriteFile %s failed", path);
        DeleteFileA(path);
        return std::string();
    }
    return path;
}

HRESULT CGraphMeta::LoadWithMedia(ITeskStream* stream, const char* fileName,
                                  VecFileContext* context, BOOL share) {
    TRACE_POINT();
    if (!stream || !context)
        return E_POINTER;
    // The player has no host to share the picture with: it is loaded by
    // its path either way.
    (void)share;
    CGraphMeta read(m_env);
    int32_t index = -2;
    std::string name;
    std::vector<uint8_t> data;
    bool ok = false;
    try {
        ok = SUCCEEDED(read.CVecPath::Load(stream)) && SUCCEEDED(read.ShadeFill::Load(stream)) &&
             ReadI32(stream, &index) && SUCCEEDED(read.LoadMedia(stream, index, &name, &data)) &&
             SUCCEEDED(read.LoadLineMode(stream)) && SUCCEEDED(read.InkMode::Load(stream)) &&
             SUCCEEDED(read.MetaAttrRecord::Load(stream)) && ReadMotion(stream, &read.m_motion);
    } catch (const CTeskStreamExcept&) {
        ok = false;
    }
    if (!ok) {
        LOG_MSG("CGraphMeta::LoadWithMedia: short or damaged record");
        return E_FAIL;
    }
    if (index == -1 && read.GetFillType() == FILL_PICTURE) {
        const std::string path = WriteEmbeddedFile(fileName, context->position, name, data);
        read.SetPicturePath(path);
        context->pictures.push_back(path);
    } else if (index >= 0 && read.GetFillType() == FILL_PICTURE) {
        if ((size_t)index < context->pictures.size())
            read.SetPicturePath(context->pictures[(size_t)index]);
        else
            LOG_MSG("CGraphMeta::LoadWithMedia: picture %d not embedded before", (int)index);
    }
    read.SetFrame(GetFrame());
    read.m_reference = context->reference;
    HRESULT hr = CopyFrom(read);
    static_cast<MetaAttrRecord&>(*this) = read;
    return hr;
}

HRESULT CGraphMeta::SaveEmbeddedMedia(ITeskStream* stream, int mediaIndex) {
    IPictureFillParams* p = PictureParams(*this);
    if (mediaIndex != -1 || !p)
        return S_OK;
    char name[64] = "";
    char path[MAX_PATH] = "";
    p->GetPictureName(name);
    IPlayerSite* site = m_env ? m_env->GetPlaySite() : nullptr;
    IMediaManager* media = nullptr;
    if (name[0]) {
        if (!site || FAILED(site->GetMediaManager(&media)) || !media ||
            FAILED(media->GetMediaFilePath(name, 0, path, sizeof(path))))
            path[0] = 0;
        path[MAX_PATH - 1] = 0;
    } else {
        p->GetPicturePath(path);
    }
    DWORD size = 0;
    void* view = path[0] ? MapFileReadOnly(path, &size, true) : nullptr;
    const std::string last = view ? LastComponent(path) : std::string();
    StreamWriteValue(stream, (int32_t)last.size());
    if (!last.empty())
        stream->Write(last.data(), (ULONG)last.size());
    StreamWriteValue(stream, (int32_t)(view ? size : 0));
    if (view) {
        if (size)
            stream->Write(view, size);
        UnmapViewOfFile(view);
    } else {
        LOG_MSG("CGraphMeta::SaveEmbeddedMedia: picture \"%s\" not read", name[0] ? name : path);
    }
    return S_OK;
}

HRESULT CGraphMeta::SaveWithMedia(ITeskStream* stream, int mediaIndex) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    HRESULT hr = CVecPath::Save(stream);
    if (SUCCEEDED(hr))
        hr = ShadeFill::Save(stream);
    if (FAILED(hr))
        return hr;
    StreamWriteValue(stream, (int32_t)mediaIndex);
    hr = SaveEmbeddedMedia(stream, mediaIndex);
    if (SUCCEEDED(hr))
        hr = SaveLineMode(stream);
    if (SUCCEEDED(hr))
        hr = InkMode::Save(stream);
    if (SUCCEEDED(hr))
        hr = MetaAttrRecord::Save(stream);
    if (FAILED(hr))
        return hr;
    for (int32_t v : m_motion.values) StreamWriteValue(stream, v);
    return S_OK;
}

void CGraphMeta::RemoveDuplicates() {
    const int n = CVecPath::GetCount();
    if (GetKind() != GRAPH_POLYLINE || n <= 2)
        return;
    POINT* p = GetData();
    int kept = 1;
    for (int i = 1; i < n; ++i)
        if (p[i].x != p[kept - 1].x || p[i].y != p[kept - 1].y)
            p[kept++] = p[i];
    while (CVecPath::GetCount() > kept) RemovePoint(CVecPath::GetCount() - 1);
}

namespace {

void ReplacePoints(CGraphMeta* meta, const std::vector<POINT>& points) {
    meta->Clear();
    for (const POINT& p : points) meta->AddPoint(p.x, p.y);
}

std::vector<POINT> RectCorners(const RECT& r) {
    return {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
}

}  // namespace

HRESULT CGraphMeta::SampleBezier(const POINT* controls, int count, std::vector<POINT>* out) {
    if (!controls || !out || count < 4)
        return E_INVALIDARG;
    out->clear();
    const int pieces = (count - 1) / 3;
    for (int s = 0; s < pieces; ++s) {
        const POINT* p = controls + 3 * s;
        const float ax = (float)p[3].x + 3.0f * p[1].x - 3.0f * p[2].x - p[0].x;
        const float ay = (float)p[3].y + 3.0f * p[1].y - 3.0f * p[2].y - p[0].y;
        const float bx = 3.0f * ((float)p[2].x + p[0].x - 2.0f * p[1].x);
        const float by = 3.0f * ((float)p[2].y + p[0].y - 2.0f * p[1].y);
        const float cx = 3.0f * ((float)p[1].x - p[0].x), cy = 3.0f * ((float)p[1].y - p[0].y);
        for (int k = 0; k < 10; ++k) {
            const float t = k * 0.1f;
            out->push_back(POINT{(LONG)(((ax * t + bx) * t + cx) * t + p[0].x),
                                 (LONG)(((ay * t + by) * t + cy) * t + p[0].y)});
        }
    }
    out->push_back(controls[3 * pieces]);
    return S_OK;
}

HRESULT CGraphMeta::Convert2Polyline() {
    const int kind = GetKind();
    if (kind == GRAPH_NONE || kind == GRAPH_POLYLINE)
        return S_OK;
    const RECT b = Bounds();
    std::vector<POINT> points;
    switch (kind) {
        case GRAPH_LINE:
            SetKind(GRAPH_POLYLINE);
            return S_OK;
        case GRAPH_BEZIER: {
            std::vector<POINT> controls;
            if (!BezierControls(&controls) ||
                FAILED(SampleBezier(controls.data(), (int)controls.size(), &points))) {
                LOG_MSG("Convert2Polyline func Failed.");
                return E_FAIL;
            }
            SetKind(GRAPH_POLYLINE);
            ReplacePoints(this, points);
            Simplify(2);
            CalcBoundRect();
            return S_OK;
        }
        case GRAPH_ELLIPSE: {
            PointArray arc;
            const int rx = (b.right - b.left) * 128, ry = (b.bottom - b.top) * 128;
            const POINT c = {(b.left + b.right) * 128, (b.top + b.bottom) * 128};
            const POINT s = {c.x + rx, c.y};
            if (FAILED(ArcToPoints(s, s, c, rx, ry, &arc, 0, 100))) {
                LOG_MSG("Convert2Polyline func Failed.");
                return E_OUTOFMEMORY;
            }
            for (int i = 0; i < arc.GetCount(); ++i)
                points.push_back(POINT{arc[i].x / 256, arc[i].y / 256});
            break;
        }
        case GRAPH_RECT:
            points = RectCorners(b);
            break;
        case GRAPH_ROUNDRECT: {
            int w = 0, h = 0;
            RoundRectEllipseSize(&b, GetCornerPercent(), &w, &h);
            const int rx = (w < 1 ? 1 : w) * 128, ry = (h < 1 ? 1 : h) * 128;
            const int l = b.left * 256, t = b.top * 256, r = b.right * 256, btm = b.bottom * 256;
            const struct {
                POINT s, e, c;
            } corners[4] = {{{r - rx, t}, {r, t + ry}, {r - rx, t + ry}},
                            {{r, btm - ry}, {r - rx, btm}, {r - rx, btm - ry}},
                            {{l + rx, btm}, {l, btm - ry}, {l + rx, btm - ry}},
                            {{l, t + ry}, {l + rx, t}, {l + rx, t + ry}}};
            PointArray arc;
            arc.Push(l + rx, t);
            for (const auto& k : corners)
                if (FAILED(ArcToPoints(k.s, k.e, k.c, rx, ry, &arc, 0, 100))) {
                    LOG_MSG("Convert2Polyline func Failed.");
                    return E_OUTOFMEMORY;
                }
            arc.Push(l + rx, t);
            for (int i = 0; i < arc.GetCount(); ++i)
                points.push_back(POINT{arc[i].x / 256, arc[i].y / 256});
            break;
        }
        default:
            LOG_MSG("Convert2Polyline func Failed.");
            return E_UNEXPECTED;
    }
    SetKind(GRAPH_POLYLINE);
    ReplacePoints(this, points);
    SetClosed(true);
    CalcBoundRect();
    return S_OK;
}

HRESULT CGraphMeta::Convert2Bezier() {
    const int kind = GetKind();
    if (kind == GRAPH_NONE || kind == GRAPH_BEZIER)
        return S_OK;
    const RECT b = Bounds();
    auto chain = [&](const std::vector<POINT>& through, BOOL closed) {
        POINT* out = nullptr;
        int n = 0;
        const HRESULT hr = PointsToBezier(through.data(), (int)through.size(), &out, &n, closed);
        if (FAILED(hr)) {
            LOG_MSG("Convert2Bezier func Failed.");
            return hr;
        }
        ReplacePoints(this, std::vector<POINT>(out, out + n));
        free(out);
        return S_OK;
    };
    HRESULT hr = S_OK;
    switch (kind) {
        case GRAPH_LINE:
            break;
        case GRAPH_POLYLINE:
            if (CVecPath::GetCount() > 0)
                hr = chain(std::vector<POINT>(GetData(), GetData() + CVecPath::GetCount()),
                           IsClosed());
            break;
        case GRAPH_ELLIPSE: {
            std::vector<POINT> points;
            for (int angle = 0; angle < 36000; angle += 1500) {
                const long long c = CosCent(angle), s = SinCent(angle);
                points.push_back(POINT{
                    (LONG)((((long long)b.right - b.left) * c / 10000 + b.right + b.left) / 2),
                    (LONG)(((long long)b.bottom + b.top -
                            ((long long)b.bottom - b.top) * s / 10000) /
                           2)});
            }
            ReplacePoints(this, points);
            SetClosed(true);
            break;
        }
        case GRAPH_RECT:
            hr = chain(RectCorners(b), TRUE);
            SetClosed(true);
            break;
        case GRAPH_ROUNDRECT: {
            int w = 0, h = 0;
            RoundRectEllipseSize(&b, GetCornerPercent(), &w, &h);
            const int rx = (w < 1 ? 1 : w) / 2, ry = (h < 1 ? 1 : h) / 2;
            // Where the sides meet the corner arcs, with each arc's middle
            // between them so the curve bends round the corner.
            const int dx = (int)(rx * 0.2929), dy = (int)(ry * 0.2929);
            const std::vector<POINT> points = {
                {b.left + rx, b.top},     {b.right - rx, b.top},    {b.right - dx, b.top + dy},
                {b.right, b.top + ry},    {b.right, b.bottom - ry}, {b.right - dx, b.bottom - dy},
                {b.right - rx, b.bottom}, {b.left + rx, b.bottom},  {b.left + dx, b.bottom - dy},
                {b.left, b.bottom - ry},  {b.left, b.top + ry},     {b.left + dx, b.top + dy}};
            ReplacePoints(this, points);
            SetClosed(true);
            break;
        }
        default:
            LOG_MSG("Convert2Bezier func Failed.");
            return E_UNEXPECTED;
    }
    if (FAILED(hr))
        return hr;
    SetKind(GRAPH_BEZIER);
    Recalc();
    return S_OK;
}

void CGraphMeta::Simplify(int tolerance) {
    const int n = CVecPath::GetCount();
    if (GetKind() != GRAPH_POLYLINE || n <= 2)
        return;
    const POINT* p = GetData();
    std::vector<POINT> kept = {p[0]};
    for (int i = 1; i + 1 < n; ++i) {
        const POINT last = kept.back();
        const long long d2 = PointDistanceSquared(last.x, last.y, p[i].x, p[i].y);
        if (d2 <= (long long)tolerance * tolerance ||
            HitTestLine(last.x, last.y, p[i].x, p[i].y, p[i + 1].x, p[i + 1].y))
            continue;
        kept.push_back(p[i]);
    }
    kept.push_back(p[n - 1]);
    ReplacePoints(this, kept);
}

CGraphMeta* CGraphMeta::GetPart(int count, int part) {
    const int n = CVecPath::GetCount();
    if (count <= 0 || n <= 0 || part < 0 || part >= count)
        return nullptr;
    const bool closed = IsClosed();
    const int s = closed ? n : n - 1;
    auto at = [&](int k) { return GetData()[closed && k >= n ? k - n : k]; };
    std::vector<POINT> points;
    if (s >= count) {
        const int q = s / count, r = s % count;
        const int from = part < r ? part * (q + 1) : r + part * q;
        const int to = part < r ? from + q + 1 : r + (part + 1) * q;
        for (int k = from; k <= to; ++k) points.push_back(at(k));
    } else if (part < s) {
        points = {at(part), at(part + 1)};
    } else {
        points = {closed ? GetData()[0] : GetData()[n - 1]};
    }
    CGraphMeta* meta = new (std::nothrow) CGraphMeta(m_env);
    if (!meta) {
        LOG_MSG("out of memory in GetPart");
        return nullptr;
    }
    meta->CopyFrom(*this);
    meta->SetClosed(false);
    ReplacePoints(meta, points);
    meta->CalcBoundRect();
    return meta;
}

HRESULT CGraphMeta::EqualizePointCount(CGraphMeta* a, CGraphMeta* b) {
    if (!a || !b || a->GetCount() == 0 || b->GetCount() == 0)
        return S_FALSE;
    CGraphMeta* few = a->GetCount() < b->GetCount() ? a : b;
    const int n = few->GetCount(), m = (few == a ? b : a)->GetCount();
    if (n == m)
        return S_OK;
    const std::vector<POINT> p(few->GetData(), few->GetData() + n);
    std::vector<POINT> out;
    if (n == 1) {
        out.assign((size_t)m, p[0]);
    } else {
        const int q = (m - 1) / (n - 1), r = (m - 1) % (n - 1);
        for (int j = 0; j + 1 < n; ++j) {
            const int steps = j < r ? q + 1 : q;
            out.push_back(p[(size_t)j]);
            const POINT u = p[(size_t)j], v = p[(size_t)j + 1];
            for (int k = 1; k < steps; ++k)
                out.push_back(
                    POINT{(LONG)((double)u.x * (steps - k) / steps + (double)v.x * k / steps),
                          (LONG)((double)u.y * (steps - k) / steps + (double)v.y * k / steps)});
        }
        out.push_back(p[(size_t)n - 1]);
    }
    ReplacePoints(few, out);
    few->Recalc();
    return S_OK;
}

namespace {

const float kNoValue = -50000.0f;

// The angle at a vertex where its outline repeats a point beside it, else
// a negative value.
float VertexAngle(const POINT* p, int n, int k) {
    auto same = [&](int i, int j) { return p[i].x == p[j].x && p[i].y == p[j].y; };
    const bool before = k > 0 && same(k - 1, k), after = k + 1 < n && same(k + 1, k);
    if (before && after)
        return 180.0f;
    if (!before && !after)
        return -1.0f;
    int i = k, j = k;
    while (i > 0 && same(i, k)) --i;
    while (j + 1 < n && same(j, k)) ++j;
    if (same(i, k) || same(j, k))
        return 180.0f;
    float degrees = 0;
    VectorAngleF((float)p[i].x, (float)p[i].y, (float)p[k].x, (float)p[k].y, (float)p[j].x,
                 (float)p[j].y, &degrees);
    return degrees / 2 + 90;
}

// The angle from A's step (ax, ay) to B's (bx, by), one way round: a B step
// turned clockwise on the page from A's is 360 minus the angle. The side is
// the triangle test's, on B's direction against a triangle standing on A's
// line; the triangle is lifted off the line so that steps nearly parallel
// (within a few degrees, the test's own tolerance) are never mirrored.
float StepAngle(double ax, double ay, double bx, double by) {
    float degrees = 0;
    VectorAngleF((float)ax, (float)ay, 0, 0, (float)bx, (float)by, &degrees);
    const double la = sqrt(ax * ax + ay * ay), lb = sqrt(bx * bx + by * by);
    if (la == 0 || lb == 0)
        return degrees;
    const double ux = ax / la, uy = ay / la, nx = -uy, ny = ux, lift = 0.1;
    if (PointInTriangle((float)(bx / lb), (float)(by / lb), (float)(-2 * ux + lift * nx),
                        (float)(-2 * uy + lift * ny), (float)(2 * ux + lift * nx),
                        (float)(2 * uy + lift * ny), (float)((2 + lift) * nx),
                        (float)((2 + lift) * ny)))
        degrees = 360 - degrees;
    return degrees;
}

}  // namespace

HRESULT CGraphMeta::CalcMapping(const POINT* a, int n, const POINT* b, int m,
                                const MorphMapping& mapping,
                                std::vector<std::pair<int, int>>* pairs, int* cost) {
    if (!a || !b || n <= 0 || m <= 0 || !pairs)
        return E_INVALIDARG;
    const unsigned long long cells = (unsigned long long)n * (unsigned long long)m;
    if (cells > MAPPING_CELLS_MAX) {
        LOG_MSG("can not allocate memory,num is %d.", (int)(cells > 0x7FFFFFFF ? -1 : cells));
        return E_OUTOFMEMORY;
    }
    std::vector<float> table;
    std::vector<uint8_t> move;
    try {
        table.assign((size_t)cells, kNoValue);
        move.assign((size_t)cells, 0);
    } catch (const std::bad_alloc&) {
        LOG_MSG("can not allocate memory,num is %d.", (int)cells);
        return E_OUTOFMEMORY;
    }
    const float* w = mapping.values;
    const int lengthExp = (int)w[2], angleExp = (int)w[3];
    auto length = [](const POINT* p, int from, int to) {
        return from == to
                   ? 0.0
                   : sqrt((double)PointDistanceSquared(p[from].x, p[from].y, p[to].x, p[to].y));
    };
    // The cost of the step into (i, j) from (pi, pj); false when it may not
    // be taken.
    auto stepCost = [&](int pi, int pj, int i, int j, double* out) {
        const double la = length(a, pi, i), lb = length(b, pj, j);
        const double lo = la < lb ? la : lb, hi = la < lb ? lb : la;
        const double divisor = (1 - w[6]) * lo + w[6] * hi;
        double lengthCost;
        if (divisor == 0) {
            if (la != 0 || lb != 0)
                return false;
            lengthCost = 0;
        } else {
            const double d = lengthExp <= 0 ? 1.0 : pow(fabs(la - lb), lengthExp);
            lengthCost = d * w[0] / divisor;
        }
        double angleCost;
        const float va = VertexAngle(a, n, i), vb = VertexAngle(b, m, j);
        if (va >= 0 || vb >= 0) {
            angleCost = fabs((va >= 0 ? va : 180.0f) - (vb >= 0 ? vb : 180.0f));
        } else {
            const float degrees = StepAngle((double)a[i].x - a[pi].x, (double)a[i].y - a[pi].y,
                                            (double)b[j].x - b[pj].x, (double)b[j].y - b[pj].y);
            angleCost = w[4] + w[1] * (angleExp <= 0 ? 1.0 : pow(degrees, angleExp));
        }
        *out = lengthCost + angleCost;
        return true;
    };
    enum { DIAGONAL = 1, HORIZONTAL = 2, VERTICAL = 3 };
    table[0] = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) {
            if (i == 0 && j == 0)
                continue;
            const struct {
                int pi, pj, kind;
            } tries[3] = {{i - 1, j - 1, DIAGONAL}, {i, j - 1, HORIZONTAL}, {i - 1, j, VERTICAL}};
            double best = 0;
            int chosen = 0;
            // Ties go to the diagonal, then the horizontal, then the vertical.
            for (const auto& t : tries) {
                if (t.pi < 0 || t.pj < 0)
                    continue;
                const float before = table[(size_t)t.pi * m + t.pj];
                double step;
                if (before == kNoValue || !stepCost(t.pi, t.pj, i, j, &step))
                    continue;
                const double total = before + step;
                if (!chosen || total < best) {
                    best = total;
                    chosen = t.kind;
                }
            }
            if (chosen) {
                table[(size_t)i * m + j] = (float)best;
                move[(size_t)i * m + j] = (uint8_t)chosen;
            }
        }
    if (table[cells - 1] == kNoValue) {
        LOG_MSG("CalcMapping found no path.");
        return E_FAIL;
    }
    std::vector<std::pair<int, int>> path;
    int i = n - 1, j = m - 1;
    while (i > 0 || j > 0) {
        path.push_back({i, j});
        switch (move[(size_t)i * m + j]) {
            case DIAGONAL:
                --i, --j;
                break;
            case HORIZONTAL:
                --j;
                break;
            default:
                --i;
                break;
        }
    }
    path.push_back({0, 0});
    pairs->assign(path.rbegin(), path.rend());
    if (cost)
        *cost = (int)table[cells - 1];
    return S_OK;
}

HRESULT CGraphMeta::BuildMappedMeta(CGraphMeta* a, CGraphMeta* b, const MorphMapping& mapping,
                                    CGraphMeta** out, float factor) {
    if (!a || !b || !out)
        return E_INVALIDARG;
    std::vector<std::pair<int, int>> pairs;
    HRESULT hr = CalcMapping(a->GetData(), a->GetCount(), b->GetData(), b->GetCount(), mapping,
                             &pairs, nullptr);
    if (FAILED(hr)) {
        LOG_MSG("CalcMapping func faield.");
        return hr;
    }
    CGraphMeta* meta = MakeMatchedMeta(a, b, pairs, factor);
    if (!meta)
        return E_OUTOFMEMORY;
    delete *out;
    *out = meta;
    return S_OK;
}

CGraphMeta* CGraphMeta::MakeMatchedMeta(CGraphMeta* a, CGraphMeta* b,
                                        const std::vector<std::pair<int, int>>& pairs,
                                        float factor) {
    CGraphMeta* meta = new (std::nothrow) CGraphMeta(a->m_env);
    if (!meta) {
        LOG_MSG("can not allocate enough memory.");
        return nullptr;
    }
    InterpolateMeta(a, b, meta, factor, false);
    meta->SetKind(a->GetKind());
    meta->SetCornerPercent(a->GetCornerPercent());
    meta->SetEditValue(a->GetEditValue());
    meta->Clear();
    for (const auto& p : pairs) {
        const POINT u = a->GetData()[p.first], v = b->GetData()[p.second];
        meta->AddPoint((int)(u.x * (1 - factor) + v.x * factor),
                       (int)(u.y * (1 - factor) + v.y * factor));
    }
    meta->SetClosed(a->IsClosed());
    meta->Recalc();
    return meta;
}

HRESULT CGraphMeta::InterpolateMeta(CGraphMeta* a, CGraphMeta* b, CGraphMeta* out, float factor,
                                    bool withPoints) {
    if (!a || !b || !out)
        return E_INVALIDARG;
    MotionBlock& motion = out->Motion();
    memset(&motion, 0, sizeof(motion));
    motion.values[4] = 1;
    for (int i = 0; i < 11; ++i) motion.values[5 + i] = i * 1000;
    if (withPoints)
        CVecPath::Interpolate(*a, *b, out, factor);
    if (FAILED(ShadeFill::Interpolate(*a, *b, out, factor)))
        out->ShadeFill::Duplicate(factor >= 0.5f ? *b : *a);
    // What the blend leaves (smoothing, gaps, tiles) comes from the nearer
    // shape, not from out's defaults: a tween of plain outlines stays plain.
    out->LineStyle::Duplicate(factor >= 0.5f ? *b : *a);
    LineStyle::Interpolate(*a, *b, out, factor);
    InkMode::Interpolate(*a, *b, out, factor);
    CMetaBase::InterpolateAttributes(*a, *b, out, factor);
    out->Recalc();
    return S_OK;
}
