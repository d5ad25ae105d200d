#include "aOptMta.h"

#include <stdlib.h>

#include "aVecFrm.h"

namespace {

const int kHandles[] = {5, 4, 4, 5, 4, 4, 4, 4, 5, 3, 3, 3, 4, 1};

int Held(long long v, long long lo, long long hi) {
    return (int)(v < lo ? lo : v > hi ? hi : v);
}

}  // namespace

COpticMeta::COpticMeta(IMetaEnv* env) : CGraphMetaEx(env) {
    SetBaseValue(METATYPE_OPTIC);
}

int COpticMeta::GetCount() const {
    const int kind = GetKind();
    return kind >= OPTIC_KIND_FIRST && kind <= OPTIC_KIND_LAST ? kHandles[kind - OPTIC_KIND_FIRST]
                                                               : 0;
}

HRESULT COpticMeta::SetPointAt(int index, POINT point) {
    POINT p;
    if (!BeginHandleMove(point, &p))
        return S_OK;
    if (!CanMovePoint(p.x, p.y, index))
        return S_OK;
    return Rebuild();
}

int COpticMeta::CanMovePoint(int x, int y, int index) {
    IntList& P = Params1();
    const int kind = GetKind();
    if (kind < OPTIC_KIND_FIRST || kind > OPTIC_KIND_LAST || index < 0 || index >= GetCount())
        return 0;
    const int ux = Unscaled(x, P.Get(0)), uy = Unscaled(y, P.Get(1));
    const long long ax = llabs(ux), ay = llabs(uy);
    // The last handle of most kinds sets the scale from a reference size.
    if (index == GetCount() - 1 && kind != 278 && kind != 281) {
        int w = P.Get(2) + 2560, h = P.Get(3) + 2560;
        if (kind == 283) {
            w = P.Get(4);
            h = P.Get(5);
        } else if (kind == 284 || kind == 285) {
            w = P.Get(2);
            h = P.Get(3);
        } else if (kind == 286) {
            w = P.Get(2);
            h = P.Get(4) + 2560;
        } else if (kind == 291) {
            w = h = P.Get(2);
        }
        return SetScaleFromSize(x, y, P.Get(0), P.Get(1), w, h) == 0 ? 1 : 0;
    }
    switch (kind) {
        case 278:
        case 279:
            if (index == 0)
                P.Set(2, Held(-ux, 0, 256000));
            else if (index == 1)
                P.Set(3, Held(ay, 256, P.Get(5)));
            else if (index == 2)
                P.Set(5, Held(ay, P.Get(3), 512000));
            else if (index == 3)
                P.Set(4, Held(ux, 0, 256000));
            else
                return SetScaleFromSize(x, y, P.Get(0), P.Get(1), P.Get(2) + P.Get(4),
                                        2 * P.Get(5)) == 0;
            return 1;
        case 281:
            if (index < 4) {
                P.Set(2 + 2 * index, ux);
                P.Set(3 + 2 * index, uy);
                return 1;
            }
            return SetScaleFromSize(x, y, P.Get(0), P.Get(1), P.Get(8), 2 * P.Get(5)) == 0;
        case 284:
        case 285:
            if (index == 0)
                P.Set(2, Held(ax, 5120, 512000));
            else if (index == 1)
                P.Set(3, Held(ay, 2560, 256000));
            else {
                P.Set(4, ux);
                P.Set(5, uy);
            }
            return 1;
        case 286:
            if (index == 0)
                P.Set(2, Held(ax, 512, 256000));
            else if (index == 1)
                P.Set(3, Held(ay, 256, P.Get(4)));
            else if (index == 2)
                P.Set(4, Held(ay, P.Get(3), 512000));
            else
                P.Set(5, Held(ax, 0, 512000));
            return 1;
        default:
            // The other kinds' handles set their parameters in order, the
            // even ones from the x distance, the odd ones from the y one.
            P.Set(2 + index, Held(index % 2 ? ay : ax, 0, 256000));
            return 1;
    }
}
