#include "aCheMeta.h"

#include <stdlib.h>

#include "aVecFrm.h"

namespace {

// Sub-paths and adjustment points of kinds 178 to 209.
const int kPaths[] = {1, 1, 1, 1, 1, 3, 2, 1, 3, 3, 2, 1, 1, 3, 1, 1,
                      2, 2, 6, 9, 2, 2, 1, 1, 2, 1, 2, 1, 1, 3, 9, 7};
const int kPoints[] = {6, 6, 3, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 3, 3,
                       3, 3, 3, 3, 2, 2, 2, 4, 2, 2, 2, 2, 3, 2, 4, 5};

}  // namespace

CChemMeta::CChemMeta(IMetaEnv* env) : CGraphMetaEx(env) {
    SetBaseValue(METATYPE_CHEM);
}

int CChemMeta::PathCountOf(int kind) {
    return kind >= CHEM_KIND_FIRST && kind <= CHEM_KIND_LAST ? kPaths[kind - CHEM_KIND_FIRST] : 0;
}

int CChemMeta::GetCount() const {
    const int kind = GetKind();
    return kind >= CHEM_KIND_FIRST && kind <= CHEM_KIND_LAST ? kPoints[kind - CHEM_KIND_FIRST] : 0;
}

int CChemMeta::P(int i, int fallback) const {
    const int v = Params1().Get(i);
    return v > 0 ? v : fallback;
}

void CChemMeta::Place(int path, int fill, const POINT* anchor, BOOL area) {
    if (path < 0 || path >= (int)m_place.size())
        return;
    m_place[(size_t)path] =
        PlaceSpec{fill, anchor != nullptr, anchor ? *anchor : POINT{0, 0}, area};
}

HRESULT CChemMeta::Rebuild() {
    ClearPaths();
    const int kind = GetKind();
    const int n = PathCountOf(kind);
    if (n == 0)
        return S_OK;
    CreatePaths(n);
    m_place.assign((size_t)GetPathCount(), PlaceSpec{-1, false, POINT{0, 0}, FALSE});
    if (kind <= 186)
        BuildA(kind);
    else if ((kind >= 194 && kind <= 197) || kind == 203)
        BuildC(kind);
    else if (kind >= 204)
        BuildD(kind);
    else
        BuildB(kind);
    CalcPathBounds();
    for (int i = 0; i < GetPathCount(); ++i) {
        const PlaceSpec& s = m_place[(size_t)i];
        PlacePath(i, s.fill, s.anchored ? &s.anchor : nullptr, TRUE, s.area);
    }
    return S_OK;
}

HRESULT CChemMeta::SetPointAt(int index, POINT point) {
    POINT p;
    if (!BeginHandleMove(point, &p))
        return S_OK;
    if (!CanMovePoint(p.x, p.y, index))
        return S_OK;
    return Rebuild();
}

int CChemMeta::CanMovePoint(int x, int y, int index) {
    const int kind = GetKind();
    if (kind < CHEM_KIND_FIRST || kind > CHEM_KIND_LAST)
        return 1;
    if (index < 0 || index > 4 || index >= GetCount())
        return 0;
    IntList& L = Params1();
    const int ux = abs(Unscaled(x, L.Get(0))), uy = abs(Unscaled(y, L.Get(1)));
    // Handle 0 the width, 1 the height, 2 the level, 3 and 4 the parts'
    // sizes; a size must stay at least one unit.
    const int value = index == 0 ? 2 * ux : index == 3 ? ux : uy;
    if (value < 256)
        return 0;
    L.Set(2 + index, value);
    return 1;
}
