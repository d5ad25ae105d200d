#include "aPhyMeta.h"

#include <math.h>
#include <stdlib.h>

#include "aVecFrm.h"

namespace {

struct KindRow {
    int kind, paths, handles;
};

// Sub-paths and handles of every physics kind (kind 88: 6 + its items).
const KindRow kKinds[] = {
    {78, 2, 1},   {79, 1, 2},   {80, 1, 3},   {81, 1, 3},  {82, 1, 2},  {83, 1, 2},   {84, 1, 2},
    {85, 2, 3},   {86, 1, 4},   {87, 3, 2},   {88, 6, 2},  {89, 5, 3},  {90, 7, 3},   {91, 9, 4},
    {92, 3, 3},   {93, 2, 4},   {94, 1, 3},   {95, 4, 3},  {96, 8, 3},  {97, 1, 4},   {98, 1, 5},
    {99, 1, 1},   {100, 3, 1},  {101, 1, 1},  {102, 1, 5}, {103, 1, 5}, {104, 2, 4},  {105, 1, 2},
    {106, 32, 1}, {107, 10, 1}, {118, 1, 3},  {119, 1, 2}, {120, 3, 2}, {121, 4, 7},  {122, 4, 2},
    {123, 5, 3},  {124, 4, 3},  {125, 5, 3},  {126, 5, 3}, {127, 4, 4}, {128, 9, 5},  {129, 3, 4},
    {130, 4, 4},  {131, 3, 1},  {132, 3, 1},  {133, 5, 4}, {134, 4, 4}, {135, 3, 5},  {136, 4, 4},
    {137, 1, 4},  {138, 3, 3},  {139, 2, 3},  {140, 1, 5}, {141, 4, 4}, {142, 4, 5},  {143, 4, 4},
    {144, 3, 2},  {145, 4, 3},  {146, 2, 3},  {147, 2, 3}, {148, 2, 2}, {149, 7, 1},  {150, 1, 5},
    {151, 8, 4},  {152, 4, 4},  {153, 1, 1},  {158, 1, 3}, {159, 1, 3}, {160, 15, 3}, {161, 3, 3},
    {162, 1, 4},  {163, 1, 4},  {164, 15, 3}, {165, 3, 3}, {166, 1, 2}, {167, 2, 2},  {168, 1, 2},
};

const KindRow* RowOf(int kind) {
    for (const KindRow& r : kKinds)
        if (r.kind == kind)
            return &r;
    return nullptr;
}

}  // namespace

CPhysMeta::CPhysMeta(IMetaEnv* env) : CGraphMetaEx(env) {
    SetBaseValue(METATYPE_PHYS);
}

bool CPhysMeta::IsPhysicsKind(int kind) {
    return RowOf(kind) != nullptr;
}

int CPhysMeta::PathCountOf(int kind, int items) {
    const KindRow* r = RowOf(kind);
    if (!r)
        return 0;
    if (kind == 88)
        return (items < 0 ? 0 : items > PHYS_ITEMS_MAX ? PHYS_ITEMS_MAX : items) + 6;
    return r->paths;
}

int CPhysMeta::GetCount() const {
    const KindRow* r = RowOf(GetKind());
    return r ? r->handles : 0;
}

void CPhysMeta::Finish(int path, int fill, BOOL stroke, BOOL area) {
    if (path < 0 || path >= (int)m_finish.size())
        return;
    m_finish[(size_t)path] = FinishSpec{fill, stroke, area};
}

HRESULT CPhysMeta::Rebuild() {
    ClearPaths();
    const int kind = GetKind();
    const int n = PathCountOf(kind, P(8));
    if (n == 0)
        return S_OK;
    CreatePaths(n);
    m_finish.assign((size_t)GetPathCount(), FinishSpec{-1, TRUE, FALSE});
    if (kind >= 78 && kind <= 107)
        BuildFirst(kind);
    else if (kind >= 118 && kind <= 134)
        BuildSecond(kind);
    else if (kind >= 135 && kind <= 153)
        BuildThird(kind);
    else
        BuildFourth(kind);
    CalcPathBounds();
    for (int i = 0; i < GetPathCount(); ++i) {
        const FinishSpec& f = m_finish[(size_t)i];
        PlacePath(i, f.fill, nullptr, f.stroke, f.area);
    }
    return S_OK;
}

void CPhysMeta::AddCircle(int path, int cx, int cy, int r, int start) {
    AddEllipsePath(path, cx, cy, abs(r), abs(r), start);
}

void CPhysMeta::AddHatchLine(int path, long long length, int step, int side, int angle) {
    std::vector<POINT> pts;
    pts.push_back(POINT{0, 0});
    long long last = 0;
    // A step of 0 or less never advances: no marks.
    for (int turn = 0; step > 0 && turn < PHYS_TURNS_MAX; ++turn) {
        const long long x = (long long)step * (turn + 1);
        if (x > length)
            break;
        pts.push_back(POINT{(LONG)x, 0});
        pts.push_back(POINT{(LONG)(x - step), (LONG)side});
        pts.push_back(POINT{(LONG)x, 0});
        last = x;
    }
    if (last != length)
        pts.push_back(POINT{(LONG)length, 0});
    for (POINT& p : pts) p = RotatePoint(p.x, p.y, 0, 0, angle);
    AddPoints(path, pts.data(), (int)pts.size());
}

namespace {

// The length of (x, y) along its own direction, as the larger coordinate
// divided by the cosine or sine of the angle.
long long LengthAlong(int x, int y) {
    const double a = atan2((double)y, (double)x);
    if (abs(x) >= abs(y))
        return x ? (long long)(fabs((double)x / cos(a))) : 0;
    return (long long)(fabs((double)y / sin(a)));
}

int AngleCent(int x, int y) {
    return (int)lround(atan2((double)y, (double)x) * 57.29577951289617 * 100);
}

}  // namespace

void CPhysMeta::BuildFirst(int kind) {
    switch (kind) {
        case 78:
            AddCircle(0, 0, 0, P(2), 1);
            AddCircle(1, P(4), 0, P(3), 1);
            Finish(0, 0, TRUE, TRUE);
            Finish(1, 1, FALSE, TRUE);
            return;
        case 79:
            AddHatchLine(0, P(2), P(4), P(3), 0);
            Finish(0, -1, TRUE, TRUE);
            return;
        case 80:
            AddHatchLine(0, LengthAlong(P(2), P(3)), P(7), P(6), AngleCent(P(2), P(3)));
            AddHatchLine(0, LengthAlong(P(4), P(5)), P(7), -P(6), AngleCent(P(4), P(5)));
            Finish(0, -1, TRUE, FALSE);
            return;
        case 81:
            AddPoint(0, 0, -(long long)P(3));
            AddPoint(0, 0, 0);
            AddPoint(0, P(2), 0);
            AddPoint(0, 0, -(long long)P(3));
            Finish(0, 0, TRUE, TRUE);
            return;
        case 82:
            AddPoint(0, 0, 0);
            AddPoint(0, 0, P(3));
            AddCircle(0, P(4), P(3) + P(5), P(5), 1);
            AddPoint(0, (long long)P(2) - P(4), P(3));
            AddCircle(0, P(2) - P(4), P(3) + P(5), P(5), 1);
            AddPoint(0, P(2), P(3));
            AddPoint(0, P(2), 0);
            AddPoint(0, 0, 0);
            Finish(0, 0, TRUE, TRUE);
            return;
        case 83:
            AddRectPath(0, 0, 0, P(2), P(3));
            Finish(0, 0, TRUE, TRUE);
            return;
        case 84:
            AddPoint(0, 0, 0);
            AddPoint(0, 0, P(3));
            AddPoint(0, P(2), P(3));
            AddPoint(0, P(2), 0);
            AddPoint(0, 0, 0);
            Finish(0, 0, TRUE, TRUE);
            return;
        case 85: {
            AddPoint(0, 0, 0);
            AddPoint(0, -(long long)P(2), P(3));
            AddPoint(0, P(2), P(3));
            AddPoint(0, 0, 0);
            const int w = (int)LengthAlong(P(6), P(7)), v = (int)LengthAlong(P(4), P(5));
            POINT bar[6] = {{0, 0}, {w, 0}, {w, -P(8)}, {-v, -P(8)}, {-v, 0}, {0, 0}};
            RotatePoints(6, bar, 0, 0, AngleCent(P(6), P(7)));
            AddPoints(1, bar, 6);
            Finish(0, -1, TRUE, TRUE);
            Finish(1, 0, TRUE, TRUE);
            return;
        }
        case 86:
            for (int k = 0; k < 3; ++k) {
                const int x = P(2 + 2 * k), y = P(3 + 2 * k);
                const int l = (int)LengthAlong(x, y);
                POINT a[7] = {{0, 0}, {l, 0}, {l - P(8), -P(8)}, {l + P(9), 0}, {l - P(8), P(8)},
                              {l, 0}, {0, 0}};
                RotatePoints(7, a, 0, 0, AngleCent(x, y));
                AddPoints(0, a, 7);
            }
            Finish(0, -1, TRUE, FALSE);
            return;
        case 105: {
            const int n = P(2) / 2048;
            for (int i = 0; i <= n && i <= PHYS_TURNS_MAX; ++i) {
                const long long x = 2048LL * i;
                const long long y = i % 10 == 0  ? -(long long)P(3)
                                    : i % 5 == 0 ? -3LL * P(3) / 4
                                                 : -(long long)P(3) / 2;
                AddPoint(0, x, 0);
                AddPoint(0, x, y);
                AddPoint(0, x, 0);
            }
            Finish(0, -1, TRUE, TRUE);
            return;
        }
        case 106: {
            for (int i = 0; i < 31; ++i) {
                const int a = (30 + 4 * i) * 100;
                const int outer = i % 5 == 0 ? 5632 : 5120;
                AddPoint(i, (long long)outer * CosCent(a) / 10000,
                         -(long long)outer * SinCent(a) / 10000);
                AddPoint(i, 4608LL * CosCent(a) / 10000, -4608LL * SinCent(a) / 10000);
            }
            const POINT from = {(LONG)(4608LL * CosCent(15000) / 10000),
                                (LONG)(-4608LL * SinCent(15000) / 10000)};
            const POINT to = {(LONG)(4608LL * CosCent(3000) / 10000),
                              (LONG)(-4608LL * SinCent(3000) / 10000)};
            AddArcPath(30, from.x, from.y, to.x, to.y, 0, 0, 4608, 4608, FALSE);
            for (int i = 0; i < 32; ++i) Finish(i, -1, TRUE, FALSE);
            return;
        }
        case 107:
            for (int i = 0; i < 10; ++i) {
                const int a = (90 + 36 * i) * 100;
                AddPoint(i, 5120LL * CosCent(a) / 10000, -5120LL * SinCent(a) / 10000);
                AddPoint(i, 3584LL * CosCent(a) / 10000, -3584LL * SinCent(a) / 10000);
                Finish(i, -1, TRUE, FALSE);
            }
            return;
        default:
            BuildPlain(kind);
            return;
    }
}

void CPhysMeta::BuildSecond(int kind) {
    const long long r = P(2), s = P(3);
    switch (kind) {
        case 123:
        case 124:
        case 125:
        case 126: {
            AddCircle(0, 0, 0, P(2), 0);
            Finish(0, 0, TRUE, TRUE);
            // The letter, 6 P3 high, its strokes P4 wide.
            const long long w = P(4) > 0 ? P(4) : 256;
            if (kind == 123) {
                const long long pts[][2] = {
                    {0, -3 * s},         {3 * s, 3 * s},  {3 * s - w, 3 * s}, {0, -3 * s + w},
                    {-3 * s + w, 3 * s}, {-3 * s, 3 * s}, {0, -3 * s}};
                for (const auto& p : pts) AddPoint(1, p[0] / 2, p[1] / 2);
                AddRectPath(2, (int)(-s), (int)(s / 2), (int)(2 * s), (int)w);
            } else if (kind == 124) {
                const long long pts[][2] = {
                    {0, 3 * s},     {-3 * s, -3 * s},    {-3 * s + w, -3 * s},
                    {0, 3 * s - w}, {3 * s - w, -3 * s}, {3 * s, -3 * s},
                    {0, 3 * s}};
                for (const auto& p : pts) AddPoint(1, p[0] / 2, p[1] / 2);
            } else if (kind == 125) {
                // Ω: two feet under an open ring.
                AddArcPath(1, (int)(-s), (int)(s), (int)(s), (int)(s), 0, 0, (int)(2 * s),
                           (int)(5 * s / 2), FALSE);
                AddRectPath(2, (int)(-2 * s), (int)(2 * s), (int)s, (int)w);
            } else {
                // G: an open ring with its bar.
                AddArcPath(1, (int)(2 * s), (int)(-s), (int)(2 * s), 0, 0, 0, (int)(2 * s),
                           (int)(5 * s / 2), FALSE);
                AddPoint(1, s, 0);
                AddRectPath(2, 0, 0, (int)(2 * s), (int)w);
            }
            Finish(1, -1, TRUE, kind == 123 || kind == 124);
            const int lead = GetPathCount() - 2;
            AddPoint(lead, r, 0);
            AddPoint(lead, r + P(5), 0);
            AddPoint(lead + 1, -r, 0);
            AddPoint(lead + 1, (long long)P(6) - r, 0);
            return;
        }
        case 127:
        case 128: {
            // Leads, then cells of a long and a short plate.
            const long long lead = P(2), tall = P(3), low = P(4), gap = P(5) > 0 ? P(5) : 1280;
            const int cells = kind == 127 ? 1 : 3;
            long long x = 0;
            AddPoint(0, -lead, 0);
            AddPoint(0, 0, 0);
            for (int c = 0; c < cells; ++c) {
                AddPoint(1 + 2 * c, x, -tall);
                AddPoint(1 + 2 * c, x, tall);
                AddPoint(2 + 2 * c, x + gap, -low);
                AddPoint(2 + 2 * c, x + gap, low);
                x += 2 * gap;
            }
            const int last = 1 + 2 * cells;
            AddPoint(last, x - gap, 0);
            AddPoint(last, x - gap + lead, 0);
            if (kind == 128) {
                // The cells' link, drawn above them.
                AddPoint(8, 0, -tall - 1280);
                AddPoint(8, x - gap, -tall - 1280);
            }
            return;
        }
        case 133: {
            AddCircle(0, 0, 0, P(2), 0);
            Finish(0, 0, TRUE, TRUE);
            const long long d = (long long)(r * 0.7071067811865476);
            AddPoint(1, -d, -d);
            AddPoint(1, d, d);
            AddPoint(2, -d, d);
            AddPoint(2, d, -d);
            AddPoint(3, r, 0);
            AddPoint(3, r + P(3), 0);
            AddPoint(4, -r, 0);
            AddPoint(4, -r - P(4), 0);
            return;
        }
        default:
            BuildPlain(kind);
            return;
    }
}

void CPhysMeta::BuildThird(int kind) {
    switch (kind) {
        case 138:
            AddArcPath(0, -P(2), 0, P(2), 0, 0, 0, abs(P(2)), abs(P(2)), FALSE);
            AddPoint(0, -(long long)P(2), 0);
            Finish(0, 0, TRUE, TRUE);
            AddPoint(1, P(2) / 2, 0);
            AddPoint(1, P(2) / 2, P(3));
            AddPoint(2, -P(2) / 2, 0);
            AddPoint(2, -P(2) / 2, P(3));
            Finish(1, -1, TRUE, TRUE);
            Finish(2, -1, TRUE, TRUE);
            return;
        case 140:
            for (int i = 0; i < 4; ++i) AddPoint(0, P(2 + 2 * i), P(3 + 2 * i));
            Finish(0, -1, TRUE, FALSE);
            return;
        case 153:
            AddCircle(0, 0, 0, P(2), 0);
            Finish(0, 0, TRUE, TRUE);
            return;
        default:
            BuildPlain(kind);
            return;
    }
}

void CPhysMeta::BuildFourth(int kind) {
    PointArray arc;
    switch (kind) {
        case 158: {
            const POINT at = {abs(P(2)), 0};
            ArcToPoints(at, at, POINT{0, 0}, abs(P(2)), abs(P(3)), &arc, 0, 100);
            AddPoints(0, arc.GetData(), arc.GetCount());
            Finish(0, 0, TRUE, TRUE);
            return;
        }
        case 159:
            ArcToPoints(POINT{0, -P(3)}, POINT{0, P(3)}, POINT{0, 0}, abs(P(2)), abs(P(3)), &arc, 0,
                        100);
            AddPoints(0, arc.GetData(), arc.GetCount());
            AddPoint(0, 0, -(long long)P(3));
            Finish(0, 0, TRUE, TRUE);
            return;
        case 160:
        case 164: {
            // The dial lies above its centre: angles from the upright.
            const double rx = P(2), ry = P(3);
            for (int i = 0; i < 14; ++i) {
                const double a = (90 - 52 + 8 * i) * 0.017453292519943295;
                const double x = cos(a) * rx, y = -sin(a) * ry;
                AddPoint(i, (long long)x, (long long)y);
                AddPoint(i, (long long)(x * 0.8), (long long)(y * 0.8));
                Finish(i, -1, TRUE, FALSE);
            }
            const double f = kind == 160 ? 1.0 : 0.8;
            const int ax = (int)(rx * f), ay = (int)(ry * f);
            const POINT from = {(LONG)(cos(150 * 0.017453292519943295) * ax),
                                (LONG)(-sin(150 * 0.017453292519943295) * ay)};
            const POINT to = {(LONG)(cos(30 * 0.017453292519943295) * ax),
                              (LONG)(-sin(30 * 0.017453292519943295) * ay)};
            AddArcPath(14, from.x, from.y, to.x, to.y, 0, 0, abs(ax), abs(ay), FALSE);
            Finish(14, -1, TRUE, FALSE);
            return;
        }
        case 161:
        case 165: {
            const long long a = P(2), b = P(3);
            AddPoint(0, 0, a);
            AddPoint(0, 0, -a);
            if (kind == 161) {
                AddPoint(1, b, a + b);
                AddPoint(1, 0, a);
                AddPoint(1, -b, a + b);
                AddPoint(2, b, -a - b);
                AddPoint(2, 0, -a);
                AddPoint(2, -b, -a - b);
            } else {
                AddPoint(1, b, b - a);
                AddPoint(1, 0, -a);
                AddPoint(1, -b, b - a);
                AddPoint(2, b, a - b);
                AddPoint(2, 0, a);
                AddPoint(2, -b, a - b);
            }
            for (int i = 0; i < 3; ++i) Finish(i, -1, TRUE, TRUE);
            return;
        }
        default:
            BuildPlain(kind);
            return;
    }
}
