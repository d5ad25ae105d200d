#include "aMthMta.h"

#include <math.h>
#include <stdlib.h>

#include "aVecFrm.h"

namespace {

const int kHandles[] = {3, 3, 4, 4, 3, 6, 5, 6, 2, 4, 4, 2, 4};
// Added to a figure's extent on each axis for a size handle's reference.
const int kMargin = 2560;

}  // namespace

CMathMeta::CMathMeta(IMetaEnv* env) : CGraphMetaEx(env) {
    SetBaseValue(METATYPE_MATH);
}

int CMathMeta::GetCount() const {
    const int kind = GetKind();
    return kind >= MATH_KIND_FIRST && kind <= MATH_KIND_LAST ? kHandles[kind - MATH_KIND_FIRST] : 0;
}

HRESULT CMathMeta::SetPointAt(int index, POINT point) {
    POINT p;
    if (!BeginHandleMove(point, &p))
        return S_OK;
    MoveHandle(index, p);
    return Rebuild();
}

void CMathMeta::MoveHandle(int index, POINT p) {
    IntList& P = Params1();
    const int x = Unscaled(p.x, P.Get(0)), y = Unscaled(p.y, P.Get(1));
    const int last = GetCount() - 1;
    auto sizeHandle = [&](int w, int h) {
        SetScaleFromSize(p.x, p.y, P.Get(0), P.Get(1), w + kMargin, h + kMargin);
    };
    switch (GetKind()) {
        case 28:
        case 29:
            if (index == 0)
                P.Set(3, y);
            else if (index == 1)
                P.Set(2, x ? x : 1);
            else if (index == 2)
                sizeHandle(abs(P.Get(2)), P.Get(3) < 0 ? 0 : P.Get(3));
            break;
        case 30:
        case 34:
        case 35:
            if (index < last) {
                P.Set(2 + 2 * index, x);
                P.Set(3 + 2 * index, y);
            } else if (index == last) {
                int w = 0, h = 0;
                for (int i = 0; i < last; ++i) {
                    w = P.Get(2 + 2 * i) > w ? P.Get(2 + 2 * i) : w;
                    h = P.Get(3 + 2 * i) > h ? P.Get(3 + 2 * i) : h;
                }
                sizeHandle(w, h);
            }
            break;
        case 31:
            if (index == 0)
                P.Set(2, x);
            else if (index == 1)
                P.Set(3, x - P.Get(2));
            else if (index == 2)
                P.Set(4, y);
            else if (index == 3)
                sizeHandle(abs(P.Get(2)) + abs(P.Get(3)), abs(P.Get(4)));
            break;
        case 32:
            if (index == 0)
                P.Set(2, x);
            else if (index == 1)
                P.Set(3, y);
            else if (index == 2)
                sizeHandle(abs(P.Get(2)), abs(P.Get(3)));
            break;
        case 33:
            if (index == 0)
                P.Set(2, y);
            else if (index >= 1 && index <= 4)
                P.Set(2 + index, x);
            else if (index == 5)
                sizeHandle(abs(P.Get(5)) > abs(P.Get(6)) ? abs(P.Get(5)) : abs(P.Get(6)),
                           abs(P.Get(2)));
            break;
        case 36:
            if (index == 0) {
                P.Set(2, x);
                P.Set(3, y);
            } else if (index == 1) {
                const int r = (int)sqrt((double)P.Get(2) * P.Get(2) + (double)P.Get(3) * P.Get(3));
                sizeHandle(r, r);
            }
            break;
        case 37:
        case 38: {
            const int rx = abs(GetKind() == 37 ? P.Get(3) : P.Get(2));
            const int ry = abs(P.Get(3));
            if (index == 0 || index == 1) {
                // The end stays on the curve, at the handle's angle.
                const double a = atan2((double)y, (double)x);
                P.Set(4 + 2 * index, (int)(cos(a) * rx));
                P.Set(5 + 2 * index, (int)(sin(a) * ry));
            } else if (index == 2) {
                if (GetKind() == 37) {
                    P.Set(3, (int)sqrt((double)x * x + (double)y * y));
                } else {
                    P.Set(2, x);
                    P.Set(3, y);
                }
            } else if (index == 3) {
                sizeHandle(rx, ry);
            }
            break;
        }
        case 39:
        case 40: {
            // A radius of one unit or less is ignored.
            const bool wx = abs(x) > 256, wy = abs(y) > 256;
            if (index == 0 && wx) {
                P.Set(2, x);
            } else if (GetKind() == 40 && index == 1 && wy) {
                P.Set(3, y);
            } else if (GetKind() == 40 && index == 2) {
                if (wx)
                    P.Set(2, x);
                if (wy)
                    P.Set(3, y);
            } else if (index == last) {
                sizeHandle(abs(P.Get(2)), abs(GetKind() == 40 ? P.Get(3) : P.Get(2)));
            }
            break;
        }
        default:
            break;
    }
}
