// The optics figures' outlines.
#include <math.h>

#include "aOptMta.h"

namespace {

const double kDegree = 0.017453292519943295;

POINT Along(POINT from, double angle, double length) {
    return POINT{(LONG)(from.x + cos(angle) * length), (LONG)(from.y + sin(angle) * length)};
}

// The angle of the slope from a to b, within -90..90 degrees.
double SlopeAngle(POINT a, POINT b) {
    if (b.x == a.x)
        return 90 * kDegree;
    return atan((double)(b.y - a.y) / (double)(b.x - a.x));
}

bool StrictlyBetween(int v, int a, int b) {
    return (v > a && v < b) || (v > b && v < a);
}

}  // namespace

HRESULT COpticMeta::Rebuild() {
    ClearPaths();
    const int kind = GetKind();
    if (kind < OPTIC_KIND_FIRST || kind > OPTIC_KIND_LAST)
        return S_OK;
    CreatePaths(kind == 282 ? 2 : 1);
    const IntList& L = Params1();
    auto P = [&](int i) { return (long long)L.Get(i); };
    const int option = Params3().Get(0);
    // Painter, area.
    int fill = -1;
    BOOL area = FALSE;
    bool mirror = false;
    switch (kind) {
        case 278:
        case 279:
            AddPoint(0, -P(2), -P(3));
            AddPoint(0, 0, -P(3));
            AddPoint(0, 0, -P(5));
            AddPoint(0, P(4), 0);
            AddPoint(0, 0, P(5));
            AddPoint(0, 0, P(3));
            AddPoint(0, -P(2), P(3));
            if (option) {
                AddPoint(0, -P(2), P(5));
                AddPoint(0, -P(2) - P(4), 0);
                AddPoint(0, -P(2), -P(5));
            }
            AddPoint(0, -P(2), -P(3));
            fill = 0;
            area = TRUE;
            break;
        case 280:
            if (option == 1) {
                AddPoint(0, -P(2), -P(5));
                AddPoint(0, -P(2) - P(4), 0);
                AddPoint(0, -P(2), P(5));
                AddPoint(0, -P(2) - P(4), 0);
            }
            AddPoint(0, -P(2), -P(3));
            AddPoint(0, P(4), 0);
            AddPoint(0, 0, -P(5));
            AddPoint(0, P(4), 0);
            AddPoint(0, 0, P(5));
            area = TRUE;
            break;
        case 281:
            BuildRay();
            CalcCurveBounds();
            PlacePath(0, -1, nullptr, TRUE, FALSE);
            return S_OK;
        case 282:
            AddPoint(0, -P(2), 0);
            AddPoint(0, P(4), 0);
            AddPoint(0, 0, -P(5));
            AddPoint(1, P(4), 1280);
            AddPoint(1, -P(2), 1280);
            AddPoint(1, P(4) - P(2), P(5) + 1280);
            CalcPathBounds();
            PlacePath(0, -1, nullptr, TRUE, FALSE);
            PlacePath(1, -1, nullptr, option != 0, FALSE);
            return S_OK;
        case 283:
            if (option == 1) {
                AddPoint(0, -P(2), 0);
                AddPoint(0, P(4), 0);
                AddPoint(0, 0, P(5));
            } else if (option == 2 || option == 3) {
                AddPoint(0, 0, 0);
                AddPoint(0, -P(2) - P(4), 0);
                AddPoint(0, -P(2), option == 2 ? -P(5) : P(5));
            } else {
                AddPoint(0, -P(2), 0);
                AddPoint(0, P(4), 0);
                AddPoint(0, 0, -P(5));
            }
            area = TRUE;
            break;
        case 284:
            BuildCallout();
            fill = 0;
            area = TRUE;
            break;
        case 285:
            BuildCone();
            fill = 0;
            area = TRUE;
            break;
        case 286:
            BuildLamp();
            mirror = option != 0;
            break;
        case 287:
            AddPoint(0, P(2), 0);
            AddPoint(0, 0, 0);
            AddPoint(0, 0, P(3));
            AddPoint(0, P(2), P(3));
            mirror = option != 0;
            break;
        case 288: {
            PointArray arc;
            ArcToPoints(POINT{0, (LONG)P(3)}, POINT{0, (LONG)-P(3)}, POINT{0, 0}, (int)P(2),
                        (int)P(3), &arc, 0, 100);
            AddPoints(0, arc.GetData(), arc.GetCount());
            mirror = option == 1;
            break;
        }
        case 289:
            AddPoint(0, 0, -P(3));
            AddPoint(0, -P(2), 0);
            AddPoint(0, 0, P(3));
            mirror = option != 0;
            break;
        case 290: {
            // Without a divisor the shoulders lie on the axis.
            const int l0 = Params2().Get(0);
            const long long s = l0 ? (long long)((double)P(4) * (double)P(3) / l0) : 0;
            const long long pts[9][2] = {{P(2), 0},   {P(4), -s}, {0, -P(3)},
                                         {-P(4), -s}, {-P(2), 0}, {-P(4), s},
                                         {0, P(3)},   {P(4), s},  {P(2), 0}};
            for (const auto& q : pts) AddPoint(0, q[0], q[1]);
            fill = 0;
            area = TRUE;
            break;
        }
        case 291:
            BuildStar();
            fill = 0;
            area = TRUE;
            break;
        default:
            break;
    }
    if (mirror) {
        MetaSubPath* p = GetPath(0);
        for (int i = 0; p && i < p->points.GetCount(); ++i) p->points[i].x = -p->points[i].x;
    }
    CalcPathBounds();
    PlacePath(0, fill, nullptr, TRUE, area);
    return S_OK;
}

void COpticMeta::BuildRay() {
    const IntList& L = Params1();
    POINT q[4];
    for (int i = 0; i < 4; ++i) q[i] = POINT{L.Get(2 + 2 * i), L.Get(3 + 2 * i)};
    POINT c1, c2;
    BezierSegmentThroughPoints(q[0], q[1], q[2], q[3], &c1, &c2);
    const POINT s0 = q[0], s1 = c1, s2 = c2, s3 = q[3];
    auto three = [&](POINT p) {
        for (int i = 0; i < 3; ++i) AddPoint(0, p.x, p.y);
    };
    AddPoint(0, s0.x, s0.y);
    if (Params3().Get(0)) {
        const double r = atan2((double)(s0.y - s1.y), (double)(s0.x - s1.x));
        const double s = r + 90 * kDegree;
        POINT tip = Along(s0, r, 5120);
        if (StrictlyBetween(tip.x, s0.x, s1.x))
            tip = Along(s0, r, -5120);
        three(Along(s0, s, 1280));
        three(tip);
        three(Along(s0, s, -1280));
        three(s0);
    }
    AddPoint(0, s1.x, s1.y);
    AddPoint(0, s2.x, s2.y);
    AddPoint(0, s3.x, s3.y);
    const double s = SlopeAngle(s2, s3);
    const double r = s + 90 * kDegree;
    POINT tip = Along(s3, s, 5120);
    if (StrictlyBetween(tip.x, s2.x, s3.x))
        tip = Along(s3, s, -5120);
    three(Along(s3, r, 1280));
    three(tip);
    three(Along(s3, r, -1280));
    three(s3);
}

void COpticMeta::BuildCallout() {
    const IntList& L = Params1();
    const long long a = L.Get(2), b = L.Get(3), x = L.Get(4), y = L.Get(5);
    int zone = 0;
    if (x < a / 2 && y < 1)
        zone = 1;
    if (x >= a / 2 && y < 1)
        zone = 2;
    if (x >= a && y <= b / 2)
        zone = 3;
    if (x > a && y >= b / 2)
        zone = 4;
    if (x >= a / 2 && x < a && y >= b)
        zone = 5;
    if (x < a / 2 && y >= b)
        zone = 6;
    if (x < 1 && y >= b / 2 && y < b)
        zone = 7;
    if (x < 0 && y <= b / 2)
        zone = 8;
    auto pt = [&](long long px, long long py) { AddPoint(0, px, py); };
    auto tip = [&]() { pt(x, y); };
    pt(0, 0);
    if (zone == 1 || zone == 2) {
        const long long n = zone == 1 ? 3 : 9;
        pt(n * a / 16, 0);
        tip();
        pt((n + 4) * a / 16, 0);
    }
    pt(a, 0);
    if (zone == 3 || zone == 4) {
        const long long n = zone == 3 ? 3 : 9;
        pt(a, n * b / 16);
        tip();
        pt(a, (n + 4) * b / 16);
    }
    pt(a, b);
    if (zone == 5 || zone == 6) {
        const long long n = zone == 5 ? 13 : 7;
        pt(n * a / 16, b);
        tip();
        pt((n - 4) * a / 16, b);
    }
    pt(0, b);
    if (zone == 7 || zone == 8) {
        const long long n = zone == 7 ? 13 : 7;
        pt(0, n * b / 16);
        tip();
        pt(0, (n - 4) * b / 16);
    }
    pt(0, 0);
}

void COpticMeta::BuildCone() {
    const IntList& L = Params1();
    const int rx = L.Get(2), ry = L.Get(3);
    const double t = atan2((double)ry * L.Get(5), (double)ry * L.Get(4));
    const double h = (L.Get(6) / 256.0) * 0.00872664626;
    const POINT a = {(LONG)(cos(t + h) * rx), (LONG)(sin(t + h) * ry)};
    const POINT b = {(LONG)(cos(t - h) * rx), (LONG)(sin(t - h) * ry)};
    PointArray arc;
    ArcToPoints(a, b, POINT{0, 0}, rx, ry, &arc, 0, 100);
    AddPoints(0, arc.GetData(), arc.GetCount());
    AddPoint(0, L.Get(4), L.Get(5));
    AddPoint(0, a.x, a.y);
}

void COpticMeta::BuildLamp() {
    const IntList& L = Params1();
    const long long p2 = L.Get(2), p3 = L.Get(3), p4 = L.Get(4), p5 = L.Get(5);
    AddPoint(0, p5 + 2560, p4 + 2560);
    PointArray arc;
    ArcToPoints(POINT{2560, (LONG)(p4 + 2560)}, POINT{0, (LONG)p4}, POINT{2560, (LONG)p4}, 2560,
                2560, &arc, 0, 100);
    AddPoints(0, arc.GetData(), arc.GetCount());
    AddPoint(0, 0, p3);
    AddPoint(0, -p2, 0);
    MetaSubPath* p = GetPath(0);
    if (!p)
        return;
    // The other half: every point but the last, back, mirrored on the axis.
    for (int i = p->points.GetCount() - 2; i >= 0; --i)
        AddPoint(0, p->points[i].x, -(long long)p->points[i].y);
}

void COpticMeta::BuildStar() {
    const double r = Params1().Get(2);
    const double angles[5] = {4.7123889804, 3.45575191896, 2.1991148575199997, 0.94247779608,
                              -0.31415926536};
    double ox[5], oy[5];
    for (int i = 0; i < 5; ++i) {
        ox[i] = cos(angles[i]) * r;
        oy[i] = sin(angles[i]) * r;
    }
    for (int i = 0; i < 5; ++i) {
        AddPoint(0, (long long)ox[i], (long long)oy[i]);
        // Where the edges i..i+2 and i+1..i-1 cross.
        const int a = i, b = (i + 2) % 5, c = (i + 1) % 5, d = (i + 4) % 5;
        const double x1 = ox[a], y1 = oy[a], x2 = ox[b], y2 = oy[b];
        const double x3 = ox[c], y3 = oy[c], x4 = ox[d], y4 = oy[d];
        const double den = (x1 - x2) * (y3 - y4) - (y1 - y2) * (x3 - x4);
        if (den == 0) {
            AddPoint(0, 0, 0);
            continue;
        }
        const double u = ((x1 - x3) * (y3 - y4) - (y1 - y3) * (x3 - x4)) / den;
        AddPoint(0, (long long)(x1 + u * (x2 - x1)), (long long)(y1 + u * (y2 - y1)));
    }
    AddPoint(0, (long long)ox[0], (long long)oy[0]);
}
