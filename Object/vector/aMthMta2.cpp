// The mathematics figures' outlines.
#include <math.h>
#include <stdlib.h>

#include "aMthMta.h"

HRESULT CMathMeta::Rebuild() {
    ClearPaths();
    const int kind = GetKind();
    if (kind < MATH_KIND_FIRST || kind > MATH_KIND_LAST)
        return S_OK;
    CreatePaths(1);
    const IntList& L = Params1();
    auto P = [&](int i) { return L.Get(i); };
    const int option = Params3().Get(0);
    bool closeByFirst = true;
    switch (kind) {
        case 28:
            AddPoint(0, 0, P(3));
            AddPoint(0, -P(2), 0);
            AddPoint(0, P(2), 0);
            break;
        case 29:
            AddPoint(0, 0, P(3));
            AddPoint(0, 0, 0);
            AddPoint(0, P(2), 0);
            break;
        case 30:
        case 34:
        case 35:
            for (int i = 0, n = kind == 30 ? 3 : kind == 34 ? 4 : 5; i < n; ++i)
                AddPoint(0, P(2 + 2 * i), P(3 + 2 * i));
            break;
        case 31:
            AddPoint(0, P(3), P(4));
            AddPoint(0, (long long)P(2) + P(3), 0);
            AddPoint(0, P(2), 0);
            AddPoint(0, 0, P(4));
            break;
        case 32:
            AddPoint(0, P(2), P(3) / 2);
            AddPoint(0, P(2) / 2, 0);
            AddPoint(0, 0, P(3) / 2);
            AddPoint(0, P(2) / 2, P(3));
            break;
        case 33:
            AddPoint(0, P(3), P(2));
            AddPoint(0, P(4), 0);
            AddPoint(0, P(5), 0);
            AddPoint(0, P(6), P(2));
            break;
        case 36: {
            const int r = (int)sqrt((double)P(2) * P(2) + (double)P(3) * P(3));
            PointArray arc;
            const POINT at = {P(2), P(3)};
            ArcToPoints(at, at, POINT{0, 0}, r, r, &arc, option > 0 ? option : 0, 100);
            AddPoints(0, arc.GetData(), arc.GetCount());
            break;
        }
        case 37:
        case 38: {
            const int ry = abs(P(3)), rx = kind == 37 ? ry : abs(P(2));
            AddArcPath(0, P(4), P(5), P(6), P(7), 0, 0, rx, ry, FALSE);
            if (option == 1)
                AddPoint(0, 0, 0);
            if (option == 1 || option == 2)
                AddPoint(0, P(4), P(5));
            closeByFirst = false;
            break;
        }
        case 39:
        case 40: {
            const int rx = abs(P(2)), ry = kind == 39 ? rx : abs(P(3));
            AddArcPath(0, rx, 0, rx, 0, 0, 0, rx, ry, FALSE);
            break;
        }
        default:
            break;
    }
    MetaSubPath* path = GetPath(0);
    if (closeByFirst && path && path->points.GetCount() > 0) {
        // Closed by its first point, unless it already ends there.
        const POINT a = path->points[0], z = path->points[path->points.GetCount() - 1];
        if (a.x != z.x || a.y != z.y)
            AddPoint(0, a.x, a.y);
    }
    CalcPathBounds();
    PlacePath(0, 0, nullptr, TRUE, TRUE);
    return S_OK;
}
