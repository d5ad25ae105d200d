// The line style object (see bLinStyl.h).
#include "bLinStyl.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "aPixBuf.h"
#include "aUtil.h"
#include "bFillShd.h"
#include "bGrphLib.h"
#include "bPropertyAccess.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {

enum { FANCY_RESOURCE = 5804, FANCY_SIZE = 6528, FANCY_CODES = 102 };

struct PointD {
    double x, y;
};

// One device pixel in logical units, horizontally and vertically.
void PixelSize(HDC dc, int* px, int* py) {
    if (!dc) {
        HDC screen = ::GetDC(nullptr);
        int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
        *px = *py = std::max(1, 1440 / std::max(1, dpi));
        return;
    }
    POINT org;
    GetViewportOrgEx(dc, &org);
    POINT pts[3] = {org, {org.x + 1, org.y}, {org.x, org.y + 1}};
    DPtoLP(dc, pts, 3);
    *px = std::max(1, (int)labs(pts[1].x - pts[0].x));
    *py = std::max(1, (int)labs(pts[2].y - pts[0].y));
}

// The corner ellipse of a rounded rectangle.
void CornerEllipse(const RECT& r, int percent, int px, int py, int* ew, int* eh) {
    int w = abs(r.right - r.left), h = abs(r.bottom - r.top);
    if (h / py < w / px) {
        *eh = percent * h / 100;
        *ew = px * *eh / py;
    } else {
        *ew = percent * w / 100;
        *eh = py * *ew / px;
    }
}

RECT RectOf(const POINT* pts) {
    RECT r = {pts[0].x, pts[0].y, pts[1].x, pts[1].y};
    return r;
}

void BlendPixel(HDC dc, int x, int y, COLORREF color, int coverage) {
    if (coverage <= 0)
        return;
    if (coverage >= 256) {
        SetPixelV(dc, x, y, color);
        return;
    }
    COLORREF old = GetPixel(dc, x, y);
    if (old == CLR_INVALID)
        return;
    int c = coverage;
    int r = (c * GetRValue(color) + (256 - c) * GetRValue(old)) >> 8;
    int g = (c * GetGValue(color) + (256 - c) * GetGValue(old)) >> 8;
    int b = (c * GetBValue(color) + (256 - c) * GetBValue(old)) >> 8;
    SetPixelV(dc, x, y, RGB(r, g, b));
}

// Whether whole pixels of a colour may be set a span at once: a logical
// unit is a device pixel and a solid brush gives exactly the colour
// SetPixelV sets (a bitmap of true colour; the device's own depth is not
// asked: that costs more than the span saves).
bool SpansFillable(HDC dc, COLORREF color) {
    if ((color >> 24) != 0 || GetObjectType(dc) != OBJ_MEMDC || GetMapMode(dc) != MM_TEXT ||
        GetGraphicsMode(dc) == GM_ADVANCED || GetLayout(dc) != 0)
        return false;
    BITMAP bm;
    HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
    return bitmap && GetObjectA(bitmap, sizeof(bm), &bm) == sizeof(bm) && bm.bmBitsPixel >= 24;
}

// Pixels k0 .. k1 - 1 of row (or column) r, all of one coverage.
void BlendSpan(HDC dc, bool xMajor, int k0, int k1, int r, COLORREF color, int coverage) {
    if (coverage <= 0 || k1 <= k0)
        return;
    if (coverage >= 256) {
        RECT span = xMajor ? RECT{k0, r, k1, r + 1} : RECT{r, k0, r + 1, k1};
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc, &span, brush);
        DeleteObject(brush);
        return;
    }
    for (int k = k0; k < k1; ++k) {
        if (xMajor)
            BlendPixel(dc, k, r, color, coverage);
        else
            BlendPixel(dc, r, k, color, coverage);
    }
}

// One antialiased segment of width w (pixels): along the major axis one
// span per column (or row) across the ideal line; whole pixels take the
// colour, the ends are blended by their coverage.
void ThinSegment(HDC dc, PointD a, PointD b, double w, COLORREF color) {
    double dx = b.x - a.x, dy = b.y - a.y;
    if (fabs(dx) < 0.5 && fabs(dy) < 0.5)
        return;
    double len = sqrt(dx * dx + dy * dy);
    bool xMajor = fabs(dx) >= fabs(dy);
    double c = xMajor ? fabs(dx) / len : fabs(dy) / len;
    double band = std::max(1.0, std::min(2 * w, w / std::max(c, 0.5)));
    // Pixel k covers [k, k + 1): the ideal line runs through pixel centres.
    double ax = a.x + 0.5, ay = a.y + 0.5;
    // A level or upright segment crosses the same rows (or columns) with
    // the same coverage all along: a span each, not a call per pixel.
    if ((xMajor ? dy : dx) == 0 && SpansFillable(dc, color)) {
        const double lo = xMajor ? std::min(a.x, b.x) : std::min(a.y, b.y);
        const double hi = xMajor ? std::max(a.x, b.x) : std::max(a.y, b.y);
        const int k0 = (int)floor(lo + 0.5), k1 = (int)floor(hi + 0.5);
        const double mid = xMajor ? ay : ax;
        const double from = mid - band / 2, to = mid + band / 2;
        for (int r = (int)floor(from); r < (int)ceil(to); ++r) {
            double cov = std::min(r + 1.0, to) - std::max((double)r, from);
            BlendSpan(dc, xMajor, k0, k1, r, color, (int)(cov * 256 + 0.5));
        }
        return;
    }
    if (xMajor) {
        int k0 = (int)floor(std::min(a.x, b.x) + 0.5), k1 = (int)floor(std::max(a.x, b.x) + 0.5);
        for (int k = k0; k < k1; ++k) {
            double yc = ay + (k + 0.5 - ax) / dx * dy;
            double top = yc - band / 2, bottom = yc + band / 2;
            for (int r = (int)floor(top); r < (int)ceil(bottom); ++r) {
                double cov = std::min(r + 1.0, bottom) - std::max((double)r, top);
                BlendPixel(dc, k, r, color, (int)(cov * 256 + 0.5));
            }
        }
    } else {
        int k0 = (int)floor(std::min(a.y, b.y) + 0.5), k1 = (int)floor(std::max(a.y, b.y) + 0.5);
        for (int k = k0; k < k1; ++k) {
            double xc = ax + (k + 0.5 - ay) / dy * dx;
            double left = xc - band / 2, right = xc + band / 2;
            for (int r = (int)floor(left); r < (int)ceil(right); ++r) {
                double cov = std::min(r + 1.0, right) - std::max((double)r, left);
                BlendPixel(dc, r, k, color, (int)(cov * 256 + 0.5));
            }
        }
    }
}

HRGN QuadRegion(PointD p0, PointD p1, PointD p2, PointD p3) {
    POINT q[4] = {{(LONG)floor(p0.x + 0.5), (LONG)floor(p0.y + 0.5)},
                  {(LONG)floor(p1.x + 0.5), (LONG)floor(p1.y + 0.5)},
                  {(LONG)floor(p2.x + 0.5), (LONG)floor(p2.y + 0.5)},
                  {(LONG)floor(p3.x + 0.5), (LONG)floor(p3.y + 0.5)}};
    HRGN rgn = CreatePolygonRgn(q, 4, WINDING);
    if (!rgn)
        LOG_MSG("CreatePolygonRgn API func Failed.\n");
    return rgn;
}

// An antialiased solid polyline; a closed figure (more than two points, the
// last equal to the first) joins its last segment to its first.
void SmoothPolyline(HDC dc, const std::vector<PointD>& pts, double width, COLORREF color) {
    size_t n = pts.size();
    if (n < 2)
        return;
    bool closed = n > 2 && pts[0].x == pts[n - 1].x && pts[0].y == pts[n - 1].y;
    if (width <= 2) {
        for (size_t i = 0; i + 1 < n; ++i) ThinSegment(dc, pts[i], pts[i + 1], width, color);
        return;
    }
    HRGN total = CreateRectRgn(0, 0, 0, 0);
    std::vector<PointD> edges;
    auto normal = [&](size_t i) {
        double dx = pts[i + 1].x - pts[i].x, dy = pts[i + 1].y - pts[i].y;
        double len = sqrt(dx * dx + dy * dy);
        if (len == 0)
            return PointD{0, 0};
        return PointD{-dy / len * width / 2, dx / len * width / 2};
    };
    for (size_t i = 0; i + 1 < n; ++i) {
        PointD nv = normal(i);
        if (nv.x == 0 && nv.y == 0)
            continue;
        PointD a = pts[i], b = pts[i + 1];
        PointD q[4] = {{a.x + nv.x, a.y + nv.y},
                       {b.x + nv.x, b.y + nv.y},
                       {b.x - nv.x, b.y - nv.y},
                       {a.x - nv.x, a.y - nv.y}};
        if (HRGN seg = QuadRegion(q[0], q[1], q[2], q[3])) {
            if (CombineRgn(total, total, seg, RGN_OR) == ERROR)
                LOG_MSG("CombineRgn API func Failed.\n");
            DeleteObject(seg);
        }
        for (int e = 0; e < 4; ++e) {
            edges.push_back(q[e]);
            edges.push_back(q[(e + 1) % 4]);
        }
        // The joint to the next segment.
        size_t next = i + 2 < n ? i + 1 : (closed ? 0 : n);
        if (next < n - 1) {
            PointD m = normal(next);
            if (HRGN join = QuadRegion({b.x + nv.x, b.y + nv.y}, {b.x - nv.x, b.y - nv.y},
                                       {b.x - m.x, b.y - m.y}, {b.x + m.x, b.y + m.y})) {
                if (CombineRgn(total, total, join, RGN_OR) == ERROR)
                    LOG_MSG("CombineRgn API func Failed.\n");
                DeleteObject(join);
            }
        }
    }
    HBRUSH brush = CreateSolidBrush(color);
    FillRgn(dc, total, brush);
    DeleteObject(brush);
    DeleteObject(total);
    for (size_t i = 0; i + 1 < edges.size(); i += 2)
        ThinSegment(dc, edges[i], edges[i + 1], 2, color);
}

// A border tile (table index) turned clockwise by 0, 90, 180 or 270: bit
// (x, y) of the result, bit 7 of the first byte leftmost.
bool TileBit(const BYTE* tile, int turn, int x, int y) {
    int ox = x, oy = y;
    switch (turn) {
        case 90:
            ox = y, oy = 15 - x;
            break;
        case 180:
            ox = 15 - x, oy = 15 - y;
            break;
        case 270:
            ox = 15 - y, oy = x;
            break;
    }
    return (tile[oy * 2 + (ox >> 3)] & (0x80 >> (ox & 7))) != 0;
}

}  // namespace

const BYTE* GetFancyTable() {
    static const BYTE* table = [] {
        DWORD size = 0;
        const void* data = LoadRCDataResource(FANCY_RESOURCE, &size);
        if (!data || size < FANCY_SIZE) {
            LOG_MSG("FancyTable -- Error in resource");
            return (const BYTE*)nullptr;
        }
        return static_cast<const BYTE*>(data);
    }();
    return table;
}

namespace {

class CLineStyleObject : public CComObjectRootBase, public LineStyleObject {
public:
    BEGIN_COM_MAP(CLineStyleObject)
    COM_INTERFACE_ENTRY(LineStyleObject)
    END_COM_MAP()

    CLineStyleObject()
        : m_mapping(0),
          m_lineType(LINE_SOLID),
          m_width(1),
          m_tileCode(0),
          m_color(0),
          m_color2(0x808080),
          m_backColor(0xFFFFFF),
          m_flags(LINEFLAG_OPAQUE_GAPS | LINEFLAG_SMOOTH) {}
    virtual ~CLineStyleObject() {}

    STDMETHOD(Load)(ITeskStream* stream) override;
    STDMETHOD(Save)(ITeskStream* stream) override;
    STDMETHOD(Reserved5)(void*) override { return E_NOTIMPL; }
    STDMETHOD(Reserved6)(void*, void*, void*) override { return S_OK; }
    STDMETHOD(Draw)
    (HDC dc, int kind, const POINT* points, int count, int percent, int mapping) override;
    STDMETHOD(DrawToBuffer)
    (IPixelBuffer* buffer, int kind, const POINT* points, int count, int percent) override;
    STDMETHOD(AddOutlineRegion)(int kind, const RECT* rect, int percent, HRGN target) override;
    STDMETHOD(InterpolateLineStyle)(LineStyleObject* a, LineStyleObject* b, int p) override;
    STDMETHOD(CopyFrom)(LineStyleObject* other) override;
    STDMETHOD(GetLineType)(int* v) override { return GetProperty(m_lineType, v); }
    STDMETHOD(SetLineType)(int v) override { return SetProperty(m_lineType, v); }
    STDMETHOD(GetWidth)(WORD* v) override { return GetProperty(m_width, v); }
    STDMETHOD(SetWidth)(WORD v) override { return SetProperty(m_width, v); }
    STDMETHOD(GetColor)(COLORREF* v) override { return GetProperty(m_color, v); }
    STDMETHOD(SetColor)(COLORREF v) override { return SetProperty(m_color, v); }
    STDMETHOD(GetColor2)(COLORREF* v) override { return GetProperty(m_color2, v); }
    STDMETHOD(SetColor2)(COLORREF v) override { return SetProperty(m_color2, v); }
    STDMETHOD(GetTransparent)(int* v) override {
        if (!v)
            return E_POINTER;
        *v = (m_flags & LINEFLAG_OPAQUE_GAPS) ? 0 : 1;
        return S_OK;
    }
    STDMETHOD(SetTransparent)(int v) override {
        m_flags = (WORD)((m_flags & ~LINEFLAG_OPAQUE_GAPS) | (v == 0 ? LINEFLAG_OPAQUE_GAPS : 0));
        return S_OK;
    }
    STDMETHOD(GetBackColor)(COLORREF* v) override { return GetProperty(m_backColor, v); }
    STDMETHOD(SetBackColor)(COLORREF v) override { return SetProperty(m_backColor, v); }
    STDMETHOD(GetTileCode)(WORD* v) override { return GetProperty(m_tileCode, v); }
    STDMETHOD(SetTileCode)(WORD v) override { return SetProperty(m_tileCode, v); }
    STDMETHOD(GetSmooth)(int* v) override {
        if (!v)
            return E_POINTER;
        *v = (m_flags & LINEFLAG_SMOOTH) ? 1 : 0;
        return S_OK;
    }
    STDMETHOD(SetSmooth)(int v) override {
        m_flags = (WORD)((m_flags & ~LINEFLAG_SMOOTH) | (v ? LINEFLAG_SMOOTH : 0));
        return S_OK;
    }
    STDMETHOD_(void, Destroy)(UINT flags) override {
        if (flags & 1)
            delete this;
    }

private:
    int PenWidth(int type, int py) const;
    // The shape in plain logical units with the current type and colour.
    HRESULT DrawPen(HDC dc, int kind, const std::vector<POINT>& pts, int percent);
    HRESULT DrawDouble(HDC dc, int kind, const std::vector<POINT>& pts, int percent);
    HRESULT DrawFancy(HDC dc, int kind, const std::vector<POINT>& pts, int percent);
    void SmoothShape(HDC dc, int kind, const std::vector<POINT>& pts, int percent, int penWidth);
    // One tile (index into the table) stretched over an upright cell.
    void TileCell(HDC dc, const BYTE* tile, int turn, const RECT& cell);
    // One tile along a segment: cell start p, unit direction u, length len.
    void TileAlong(HDC dc, const BYTE* tile, int turn, PointD p, PointD u, double len);
    void FancyRectangle(HDC dc, const BYTE* edge, const BYTE* corner, RECT r);

    int m_mapping;
    int m_lineType;
    WORD m_width;
    WORD m_tileCode;
    COLORREF m_color;
    COLORREF m_color2;
    COLORREF m_backColor;
    WORD m_flags;
};

int CLineStyleObject::PenWidth(int type, int p) const {
    if (type == LINE_NONE)
        return 0;
    if (type >= LINE_DOT && type <= LINE_DASHDOTDOT)
        return p;
    int w = std::max<int>(1, m_width);
    int r = w / p * p + (w % p > p / 2 ? p : 0);
    return std::max(r, p);
}

STDMETHODIMP CLineStyleObject::Draw(HDC dc, int kind, const POINT* points, int count, int percent,
                                    int mapping) {
    m_mapping = mapping;
    if (m_width == 0)
        m_width = 1;
    if (!points || count < 2)
        return E_INVALIDARG;
    if (kind < SHAPE_LINE || kind > SHAPE_POLYGON)
        return E_NOTIMPL;
    if (!dc)
        return E_POINTER;
    // The caller's points stay as they are.
    std::vector<POINT> pts(points, points + count);
    if (mapping == 1)
        ScalePointsDown(pts.data(), count);
    switch (m_lineType) {
        case LINE_NONE:
            return S_OK;
        case LINE_DOUBLE:
            return DrawDouble(dc, kind, pts, percent);
        case LINE_FANCY:
            return DrawFancy(dc, kind, pts, percent);
    }
    return DrawPen(dc, kind, pts, percent);
}

void CLineStyleObject::SmoothShape(HDC dc, int kind, const std::vector<POINT>& pts, int percent,
                                   int penWidth) {
    std::vector<PointD> path;
    auto addScaled = [&](const POINT* p, int n) {
        for (int i = 0; i < n; ++i) path.push_back({p[i].x / 256.0, p[i].y / 256.0});
    };
    int px = 1, py = 1;
    PixelSize(dc, &px, &py);
    switch (kind) {
        case SHAPE_ROUNDRECT:
        case SHAPE_ELLIPSE: {
            RECT r = RectOf(pts.data());
            if (r.left > r.right)
                std::swap(r.left, r.right);
            if (r.top > r.bottom)
                std::swap(r.top, r.bottom);
            PointArray arc;
            if (kind == SHAPE_ELLIPSE) {
                int rx = (r.right - r.left) * 128, ry = (r.bottom - r.top) * 128;
                POINT c = {(r.left + r.right) * 128, (r.top + r.bottom) * 128};
                POINT s = {c.x + rx, c.y};
                ArcToPoints(s, s, c, rx, ry, &arc, 0, 100);
                arc.Push(s.x, s.y);
            } else {
                int ew = 0, eh = 0;
                CornerEllipse(r, percent, px, py, &ew, &eh);
                int rx = ew * 128, ry = eh * 128;
                int l = r.left * 256, t = r.top * 256, rt = r.right * 256, b = r.bottom * 256;
                struct Corner {
                    POINT s, e, c;
                } corners[4] = {{{rt - rx, t}, {rt, t + ry}, {rt - rx, t + ry}},
                                {{rt, b - ry}, {rt - rx, b}, {rt - rx, b - ry}},
                                {{l + rx, b}, {l, b - ry}, {l + rx, b - ry}},
                                {{l, t + ry}, {l + rx, t}, {l + rx, t + ry}}};
                arc.Push(l + rx, t);
                for (const Corner& k : corners) {
                    if (rx > 0 && ry > 0)
                        ArcToPoints(k.s, k.e, k.c, rx, ry, &arc, 0, 100);
                    else
                        arc.Push(k.s.x, k.s.y);
                }
                arc.Push(l + rx, t);
            }
            addScaled(arc.GetData(), arc.GetCount());
            break;
        }
        case SHAPE_BEZIER:
        case SHAPE_BEZIER2: {
            std::vector<POINT> up(pts);
            ScalePointsUp(up.data(), (int)up.size());
            POINT* flat = nullptr;
            int n = 0;
            if (SUCCEEDED(FlattenBezier(up.data(), (int)up.size(), &flat, &n)) && flat) {
                addScaled(flat, n);
                free(flat);
            }
            break;
        }
        default:
            for (const POINT& p : pts) path.push_back({(double)p.x, (double)p.y});
            if (kind == SHAPE_POLYGON &&
                (pts.front().x != pts.back().x || pts.front().y != pts.back().y))
                path.push_back({(double)pts.front().x, (double)pts.front().y});
            break;
    }
    SmoothPolyline(dc, path, (double)penWidth / py, m_color);
}

HRESULT CLineStyleObject::DrawPen(HDC dc, int kind, const std::vector<POINT>& pts, int percent) {
    static const int styles[] = {PS_DOT, PS_DASH, PS_DASHDOT, PS_DASHDOTDOT};
    int style;
    if (m_lineType >= LINE_DOT && m_lineType <= LINE_DASHDOTDOT)
        style = styles[m_lineType];
    else if (m_lineType == LINE_SOLID)
        style = PS_INSIDEFRAME;
    else
        return E_FAIL;
    RECT r = RectOf(pts.data());
    if (kind == SHAPE_RECT && r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0)
        return E_INVALIDARG;
    int px = 1, py = 1;
    PixelSize(dc, &px, &py);
    int width = PenWidth(m_lineType, py);
    if (m_lineType == LINE_SOLID && (m_flags & LINEFLAG_SMOOTH) && kind != SHAPE_RECT) {
        SmoothShape(dc, kind, pts, percent, width);
        return S_OK;
    }
    HPEN pen = CreatePen(style, width, m_color);
    // What is changed is put back one by one: cheaper than the whole state.
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const int oldMode = SetBkMode(dc, (m_flags & LINEFLAG_OPAQUE_GAPS) ? OPAQUE : TRANSPARENT);
    const COLORREF oldBack = SetBkColor(dc, m_backColor);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    int n = (int)pts.size();
    switch (kind) {
        case SHAPE_RECT:
            Rectangle(dc, r.left, r.top, r.right, r.bottom);
            break;
        case SHAPE_ROUNDRECT: {
            int ew = 0, eh = 0;
            CornerEllipse(r, percent, px, py, &ew, &eh);
            RoundRect(dc, r.left, r.top, r.right, r.bottom, ew, eh);
            break;
        }
        case SHAPE_BEZIER:
        case SHAPE_BEZIER2:
            PolyBezier(dc, pts.data(), (DWORD)((n - 1) / 3 * 3 + 1));
            break;
        case SHAPE_ELLIPSE:
            Ellipse(dc, r.left, r.top, r.right, r.bottom);
            break;
        default:
            Polyline(dc, pts.data(), n);
            break;
    }
    SelectObject(dc, oldBrush);
    SetBkColor(dc, oldBack);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    return S_OK;
}

HRESULT CLineStyleObject::DrawDouble(HDC dc, int kind, const std::vector<POINT>& pts, int percent) {
    m_lineType = LINE_SOLID;
    HRESULT hr = DrawPen(dc, kind, pts, percent);
    m_lineType = LINE_DOUBLE;
    if (FAILED(hr))
        return hr;
    if (kind != SHAPE_LINE && kind != SHAPE_RECT && kind != SHAPE_ROUNDRECT &&
        kind != SHAPE_ELLIPSE)
        return S_OK;
    int px = 1, py = 1;
    PixelSize(dc, &px, &py);
    int w = PenWidth(LINE_SOLID, py);
    std::vector<POINT> inner(pts.begin(), pts.begin() + 2);
    if (kind == SHAPE_LINE) {
        OffsetSegment(&inner[0], &inner[1], w);
    } else {
        RECT r = RectOf(pts.data());
        if (r.left > r.right)
            std::swap(r.left, r.right);
        if (r.top > r.bottom)
            std::swap(r.top, r.bottom);
        r.left += w, r.top += w, r.right -= w - px, r.bottom -= w - py;
        if (r.right <= r.left || r.bottom <= r.top)
            return S_OK;
        inner[0] = {r.left, r.top};
        inner[1] = {r.right, r.bottom};
    }
    std::swap(m_color, m_color2);
    m_lineType = LINE_SOLID;
    hr = DrawPen(dc, kind, inner, percent);
    m_lineType = LINE_DOUBLE;
    std::swap(m_color, m_color2);
    return hr;
}

void CLineStyleObject::TileCell(HDC dc, const BYTE* tile, int turn, const RECT& cell) {
    WORD bits[16];
    for (int y = 0; y < 16; ++y) {
        WORD row = 0;
        for (int x = 0; x < 16; ++x)
            if (TileBit(tile, turn, x, y))
                row |= (WORD)(0x80 >> (x & 7)) << (x < 8 ? 0 : 8);
        bits[y] = row;
    }
    HBITMAP bitmap = CreateBitmap(16, 16, 1, 1, bits);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bitmap);
    int w = cell.right - cell.left, h = cell.bottom - cell.top;
    SetStretchBltMode(dc, COLORONCOLOR);
    if (m_flags & LINEFLAG_OPAQUE_GAPS) {
        StretchBlt(dc, cell.left, cell.top, w, h, mem, 0, 0, 16, 16, SRCCOPY);
    } else {
        // Set pixels only: clear them, then paint them.
        COLORREF bk = SetBkColor(dc, 0), text = SetTextColor(dc, 0xFFFFFF);
        StretchBlt(dc, cell.left, cell.top, w, h, mem, 0, 0, 16, 16, SRCAND);
        SetBkColor(dc, m_color);
        SetTextColor(dc, 0);
        StretchBlt(dc, cell.left, cell.top, w, h, mem, 0, 0, 16, 16, SRCPAINT);
        SetBkColor(dc, bk);
        SetTextColor(dc, text);
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bitmap);
}

void CLineStyleObject::TileAlong(HDC dc, const BYTE* tile, int turn, PointD p, PointD u,
                                 double len) {
    // The cell runs along u and reaches inwards along the normal (the right
    // of the direction on a screen).
    PointD n = {-u.y, u.x};
    double a = m_width;
    PointD c[4] = {p,
                   {p.x + u.x * len, p.y + u.y * len},
                   {p.x + u.x * len + n.x * a, p.y + u.y * len + n.y * a},
                   {p.x + n.x * a, p.y + n.y * a}};
    double minX = c[0].x, maxX = c[0].x, minY = c[0].y, maxY = c[0].y;
    for (const PointD& q : c) {
        minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
        minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
    }
    bool opaque = (m_flags & LINEFLAG_OPAQUE_GAPS) != 0;
    for (int y = (int)floor(minY); y < (int)ceil(maxY); ++y)
        for (int x = (int)floor(minX); x < (int)ceil(maxX); ++x) {
            double dx = x + 0.5 - p.x, dy = y + 0.5 - p.y;
            double s = dx * u.x + dy * u.y, t = dx * n.x + dy * n.y;
            if (s < 0 || s >= len || t < 0 || t >= a)
                continue;
            int tx = std::min(15, (int)(s * 16 / len)), ty = std::min(15, (int)(t * 16 / a));
            if (TileBit(tile, turn, tx, ty))
                SetPixelV(dc, x, y, m_color);
            else if (opaque)
                SetPixelV(dc, x, y, m_backColor);
        }
}

void CLineStyleObject::FancyRectangle(HDC dc, const BYTE* edge, const BYTE* corner, RECT r) {
    int size = std::max<int>(1, m_width);
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    // Cells of one side from `from` to `to`: the corners at both ends, the
    // edge tiles between with the remainder spread over them; fewer than
    // three cells: one or two stretched corner tiles.
    auto side = [&](int from, int to, std::vector<int>& cuts) {
        int length = to - from, n = length / size;
        cuts.clear();
        cuts.push_back(from);
        if (n <= 1) {
            cuts.push_back(to);
        } else if (n == 2) {
            cuts.push_back(from + length / 2);
            cuts.push_back(to);
        } else {
            int inner = n - 2, rest = length - n * size;
            int at = from + size;
            cuts.push_back(at);
            for (int i = 0; i < inner; ++i) {
                at += size + rest / inner + (i < rest % inner ? 1 : 0);
                cuts.push_back(at);
            }
            cuts.push_back(to);
        }
    };
    std::vector<int> xs, ys;
    side(r.left, r.right, xs);
    side(r.top, r.bottom, ys);
    int depthX = std::min<int>(size, (r.right - r.left + 1) / 2);
    int depthY = std::min<int>(size, (r.bottom - r.top + 1) / 2);
    size_t nx = xs.size() - 1, ny = ys.size() - 1;
    // Top: corner 270, edges, corner 0; bottom: corner 180, edges turned
    // 180, corner 90.
    for (size_t i = 0; i < nx; ++i) {
        const BYTE* tile = edge;
        int top = 0, bottom = 180;
        if (i == 0)
            tile = corner, top = 270, bottom = 180;
        else if (i + 1 == nx)
            tile = corner, top = 0, bottom = 90;
        TileCell(dc, tile, top, {xs[i], r.top, xs[i + 1], r.top + depthY});
        TileCell(dc, tile, bottom, {xs[i], r.bottom - depthY, xs[i + 1], r.bottom});
    }
    // Right (turned 90) and left (turned 270) edges between the corners.
    for (size_t i = 1; i + 1 < ny; ++i) {
        TileCell(dc, edge, 90, {r.right - depthX, ys[i], r.right, ys[i + 1]});
        TileCell(dc, edge, 270, {r.left, ys[i], r.left + depthX, ys[i + 1]});
    }
}

HRESULT CLineStyleObject::DrawFancy(HDC dc, int kind, const std::vector<POINT>& pts, int percent) {
    if (kind >= SHAPE_ROUNDRECT && kind <= SHAPE_ELLIPSE) {
        m_lineType = LINE_SOLID;
        HRESULT hr = DrawPen(dc, kind, pts, percent);
        m_lineType = LINE_FANCY;
        return hr;
    }
    const BYTE* table = GetFancyTable();
    // Codes beyond the table's 102 pairs draw nothing.
    if (!table || m_tileCode >= FANCY_CODES)
        return S_OK;
    const BYTE* edge = table + m_tileCode * 2 * 32;
    const BYTE* corner = edge + 32;
    int saved = SaveDC(dc);
    SetROP2(dc, R2_COPYPEN);
    SetBkMode(dc, (m_flags & LINEFLAG_OPAQUE_GAPS) ? OPAQUE : TRANSPARENT);
    SetBkColor(dc, m_color);
    SetTextColor(dc, m_backColor);
    if (kind == SHAPE_RECT) {
        FancyRectangle(dc, edge, corner, RectOf(pts.data()));
    } else {
        std::vector<POINT> path(pts);
        if (kind == SHAPE_POLYGON &&
            (path.front().x != path.back().x || path.front().y != path.back().y))
            path.push_back(path.front());
        size_t n = path.size();
        bool closed = kind == SHAPE_POLYGON;
        for (size_t i = 0; i + 1 < n; ++i) {
            POINT a = path[i], b = path[i + 1];
            int len = PointDistance(a.x, a.y, b.x, b.y);
            if (len <= 0)
                continue;
            PointD u = {(double)(b.x - a.x) / len, (double)(b.y - a.y) / len};
            int cells = len / std::max<int>(1, m_width);
            // A segment shorter than a tile still gets one, stretched.
            if (cells == 0)
                cells = 1;
            double cell = (double)len / cells;
            // The joint at the segment's end: a turn takes the corner tile.
            int turn = -1;
            if (kind != SHAPE_LINE && (i + 2 < n || closed)) {
                POINT c = i + 2 < n ? path[i + 2] : path[1];
                long long cross =
                    (long long)(b.x - a.x) * (c.y - b.y) - (long long)(b.y - a.y) * (c.x - b.x);
                if (cross != 0)
                    turn = cross > 0 ? 0 : 90;
            }
            for (int k = 0; k < cells; ++k) {
                PointD p = {a.x + u.x * cell * k, a.y + u.y * cell * k};
                bool end = k + 1 == cells && turn >= 0;
                TileAlong(dc, end ? corner : edge, end ? turn : 0, p, u, cell);
            }
        }
    }
    RestoreDC(dc, saved);
    return S_OK;
}

STDMETHODIMP CLineStyleObject::DrawToBuffer(IPixelBuffer* buffer, int kind, const POINT* points,
                                            int count, int percent) {
    if (!buffer)
        return E_POINTER;
    HDC dc = nullptr;
    if (FAILED(buffer->GetDC(&dc)) || !dc)
        return E_FAIL;
    Draw(dc, kind, points, count, percent, 0);
    GdiFlush();
    buffer->ReleaseDC(dc);
    return S_OK;
}

STDMETHODIMP CLineStyleObject::AddOutlineRegion(int kind, const RECT* rect, int percent,
                                                HRGN target) {
    if (!rect || !target)
        return E_POINTER;
    if (kind != SHAPE_RECT && kind != SHAPE_ROUNDRECT && kind != SHAPE_ELLIPSE)
        return S_OK;
    RECT r = *rect;
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    int w = m_width * (m_lineType == LINE_DOUBLE ? 2 : 1);
    int px = 1, py = 1;
    PixelSize(nullptr, &px, &py);
    int ew = 0, eh = 0;
    CornerEllipse(r, percent, px, py, &ew, &eh);
    auto make = [&](const RECT& q) {
        if (kind == SHAPE_RECT)
            return CreateRectRgn(q.left, q.top, q.right, q.bottom);
        if (kind == SHAPE_ELLIPSE)
            return CreateEllipticRgn(q.left, q.top, q.right, q.bottom);
        return CreateRoundRectRgn(q.left, q.top, q.right, q.bottom, ew, eh);
    };
    HRGN outline = make(r);
    if (!outline)
        return E_FAIL;
    if (2 * w < std::min(r.right - r.left, r.bottom - r.top)) {
        RECT in = {r.left + w, r.top + w, r.right - w, r.bottom - w};
        if (HRGN hole = make(in)) {
            CombineRgn(outline, outline, hole, RGN_DIFF);
            DeleteObject(hole);
        }
    }
    CombineRgn(target, target, outline, RGN_OR);
    DeleteObject(outline);
    return S_OK;
}

STDMETHODIMP CLineStyleObject::InterpolateLineStyle(LineStyleObject* a, LineStyleObject* b, int p) {
    if (!a || !b)
        return E_POINTER;
    int ta = -1, tb = -1;
    a->GetLineType(&ta);
    b->GetLineType(&tb);
    if (ta != tb || m_lineType == LINE_FANCY) {
        LOG_MSG("InterpolateLineStyle: Different type of line: 1: %x 2: %x", ta, tb);
        return E_INVALIDARG;
    }
    m_lineType = ta;
    COLORREF ca = 0, cb = 0;
    if (ta == LINE_DOUBLE) {
        a->GetColor2(&ca);
        b->GetColor2(&cb);
        m_color2 = BlendColor(ca, cb, p);
    }
    a->GetColor(&ca);
    b->GetColor(&cb);
    m_color = BlendColor(ca, cb, p);
    WORD wa = 1, wb = 1;
    a->GetWidth(&wa);
    b->GetWidth(&wb);
    if (wa != wb)
        m_width = (WORD)floor((1 - p / 100.0) * wa + p / 100.0 * wb + 0.5);
    else
        m_width = wa;
    return S_OK;
}

STDMETHODIMP CLineStyleObject::CopyFrom(LineStyleObject* other) {
    if (!other)
        return E_POINTER;
    int type = 0, transparent = 0, smooth = 0;
    other->GetLineType(&m_lineType);
    other->GetTileCode(&m_tileCode);
    other->GetColor(&m_color);
    other->GetColor2(&m_color2);
    other->GetWidth(&m_width);
    other->GetBackColor(&m_backColor);
    other->GetTransparent(&transparent);
    other->GetSmooth(&smooth);
    (void)type;
    SetTransparent(transparent);
    SetSmooth(smooth);
    return S_OK;
}

STDMETHODIMP CLineStyleObject::Save(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    // 16 reserved bytes before the flags, 4 after them.
    DWORD v[12] = {};
    v[0] = (DWORD)m_lineType;
    v[1] = m_width;
    v[2] = m_tileCode;
    v[3] = m_color;
    v[4] = m_color2;
    v[5] = m_backColor;
    v[10] = m_flags;
    stream->Write(v, sizeof(v));
    return S_OK;
}

STDMETHODIMP CLineStyleObject::Load(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    DWORD v[12];
    stream->Read(v, sizeof(v));
    m_lineType = (int)v[0];
    m_width = (WORD)v[1];
    m_tileCode = (WORD)v[2];
    m_color = v[3];
    m_color2 = v[4];
    m_backColor = v[5];
    m_flags = (WORD)v[10];
    return S_OK;
}

}  // namespace

LineStyleObject* CreateLineStyObj() {
    CComObject<CLineStyleObject>* p = nullptr;
    if (FAILED(CComObject<CLineStyleObject>::CreateInstance(&p)))
        return nullptr;
    p->AddRef();
    LineStyleObject* out = nullptr;
    if (FAILED(p->QueryInterface(__uuidof(LineStyleObject), reinterpret_cast<void**>(&out))))
        out = nullptr;
    p->Release();
    return out;
}
