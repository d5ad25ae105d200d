// The apparatus outlines. The origin is the middle of an apparatus' foot, y
// grows downward: P2 its width (30 units when not given), P3 its height (40
// units), P4 the liquid's level above the foot, P5 a neck's or part's width.
#include <math.h>
#include <stdlib.h>

#include "aCheMeta.h"

namespace {

const int kWidth = 7680;
const int kHeight = 10240;
const int kUnit = 256;

}  // namespace

void CChemMeta::BuildA(int kind) {
    const int w = P(2, kWidth), h = P(3, kHeight);
    const int level = P(4, h / 2) < h ? P(4, h / 2) : h;
    const int neck = P(5, w / 3) < w ? P(5, w / 3) : w / 3;
    const int half = w / 2, n2 = neck / 2;
    const POINT anchor = {0, -level};
    // The vessel body in path 0, filled below its level.
    switch (kind) {
        case 178:
        case 179:
        case 186: {
            // A round bulb: the neck's walls meet the circle at the height
            // sqrt(r^2 - n^2) above its centre.
            const int r = half;
            const int cy = kind == 179 ? -r + r / 5 : -r;
            const int yc = (int)sqrt((double)r * r - (double)n2 * n2);
            const int top = h > r - cy + yc ? -h : cy - yc - 2 * kUnit;
            AddPoint(0, -n2, top);
            AddPoint(0, -n2, cy - yc);
            AddArcPath(0, n2, cy - yc, -n2, cy - yc, 0, cy, r, r, TRUE);
            AddPoint(0, n2, top);
            AddPoint(0, -n2, top);
            if (kind == 179) {
                // Stands on a flat bottom.
                MetaSubPath* p = GetPath(0);
                for (int i = 0; p && i < p->points.GetCount(); ++i)
                    if (p->points[i].y > 0)
                        p->points[i].y = 0;
            }
            break;
        }
        case 180:
        case 183:
            AddPoint(0, -half, -h);
            AddPoint(0, -half, 0);
            AddPoint(0, half, 0);
            AddPoint(0, half, -h);
            AddPoint(0, -half, -h);
            break;
        case 181:
            AddPoint(0, -half, -h);
            AddPoint(0, -half, -half);
            // The round bottom, from the left wall under the middle.
            AddArcPath(0, half, -half, -half, -half, 0, -half, half, half, TRUE);
            AddPoint(0, half, -h);
            AddPoint(0, -half, -h);
            break;
        default:
            // Conical flasks and the measuring cylinder.
            if (kind == 185) {
                AddPoint(0, -half / 2, -h);
                AddPoint(0, -half / 2, -kUnit * 2);
                AddPoint(0, -half, -kUnit * 2);
                AddPoint(0, -half, 0);
                AddPoint(0, half, 0);
                AddPoint(0, half, -kUnit * 2);
                AddPoint(0, half / 2, -kUnit * 2);
                AddPoint(0, half / 2, -h);
            } else {
                AddPoint(0, -n2, -h);
                AddPoint(0, -n2, -h * 2 / 3);
                AddPoint(0, -half, 0);
                AddPoint(0, half, 0);
                AddPoint(0, n2, -h * 2 / 3);
                AddPoint(0, n2, -h);
            }
            AddPoint(0, GetPath(0)->points[0].x, GetPath(0)->points[0].y);
            break;
    }
    Place(0, 0, &anchor, TRUE);
    // A stopper and a tube through it.
    if (GetPathCount() > 1) {
        const int top = GetPath(0)->points[0].y;
        const int sw = kind == 183 ? w : neck;
        AddRectPath(1, -sw / 2 - kUnit, top - 3 * kUnit, sw + 2 * kUnit, 3 * kUnit);
        Place(1, -1, nullptr, TRUE);
    }
    if (GetPathCount() > 2) {
        const int top = GetPath(0)->points[0].y;
        AddPoint(2, 0, top + h / 3);
        AddPoint(2, 0, top - 8 * kUnit);
        AddPoint(2, w, top - 8 * kUnit);
    }
}

void CChemMeta::BuildB(int kind) {
    const int w = P(2, kWidth), h = P(3, kHeight);
    const int half = w / 2;
    switch (kind) {
        case 188:
        case 191: {
            // A funnel: its cone, then the stem.
            AddPoint(0, -half, -h);
            AddPoint(0, half, -h);
            AddPoint(0, kUnit * 2, -h / 3);
            AddPoint(0, -kUnit * 2, -h / 3);
            AddPoint(0, -half, -h);
            Place(0, 0, nullptr, TRUE);
            AddRectPath(1, -kUnit, -h / 3, 2 * kUnit, h / 3);
            if (kind == 191)
                AddRectPath(2, -3 * kUnit, -h / 5, 6 * kUnit, 2 * kUnit);
            return;
        }
        case 189:
        case 190:
            // A bent tube, open at both ends.
            AddPoint(0, -half, -h);
            AddPoint(0, -half, 0);
            AddPoint(0, half, 0);
            AddPoint(0, half, kind == 189 ? -h : -h / 2);
            return;
        default: {
            // A stand: its foot, the rod and what the rod holds.
            AddRectPath(0, -half, -2 * kUnit, w, 2 * kUnit);
            Place(0, 0, nullptr, TRUE);
            const int n = GetPathCount();
            for (int i = 1; i < n; ++i) {
                const int x = -half + 3 * kUnit * i;
                AddPoint(i, x, -2 * kUnit);
                AddPoint(i, x, -h);
                AddPoint(i, x + half, -h);
            }
            return;
        }
    }
}

void CChemMeta::BuildC(int kind) {
    // A burner: the body, the wick or tube, the flames.
    const int w = P(2, kWidth), h = P(3, kHeight);
    const int half = w / 2;
    AddEllipsePath(0, 0, -h / 4, half, h / 4, 0);
    Place(0, 0, nullptr, TRUE);
    const int n = GetPathCount();
    for (int i = 1; i < n; ++i) {
        const int x = (i - n / 2) * 2 * kUnit;
        AddPoint(i, x, -h / 2);
        AddPoint(i, x - kUnit, -h / 2 - (kind == 203 ? h / 4 : h / 3));
        AddPoint(i, x + kUnit, -h / 2);
    }
}

void CChemMeta::BuildD(int kind) {
    IntList& L = Params1();
    const int w = P(2, kWidth), h = P(3, kHeight);
    if (kind == 209 && L.GetCount() < 8) {
        // A further point: the delivery tube's end.
        L.Set(6, w + w / 2);
        L.Set(7, -h / 2);
    }
    const int half = w / 2;
    AddPoint(0, -half, -h);
    AddPoint(0, -half, 0);
    AddPoint(0, half, 0);
    AddPoint(0, half, -h);
    AddPoint(0, -half, -h);
    Place(0, 0, nullptr, TRUE);
    const int n = GetPathCount();
    for (int i = 1; i < n; ++i) {
        const int y = -h * i / n;
        AddPoint(i, half, y);
        AddPoint(i, half + 2 * kUnit, y);
    }
    if (kind == 209) {
        AddPoint(n - 1, L.Get(6), L.Get(7));
    }
}
