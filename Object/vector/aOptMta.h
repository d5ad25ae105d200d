// COpticMeta: the optics figures (block and line arrows, a curved light ray,
// wedges and prisms, a callout, a light cone, a lamp housing, bracket,
// mirror and chevron outlines, a lens, a star), kinds 278 to 291. Several are
// outlines only; handle moves are held to limits.
#pragma once

#include "aMtaEx.h"

enum { OPTIC_KIND_FIRST = 278, OPTIC_KIND_LAST = 291 };

class COpticMeta : public CGraphMetaEx {
public:
    explicit COpticMeta(IMetaEnv* env);
    ~COpticMeta() override {}

    int GetCount() const override;
    HRESULT Rebuild() override;
    HRESULT SetPointAt(int index, POINT point) override;
    HRESULT GetPointAt(POINT* out, int selector, int index) override {
        return SubjectPointAt(out, selector, index);
    }
    // Sets the parameter the handle moves, held to the kind's limits; the
    // size handle sets the scale.
    int CanMovePoint(int x, int y, int index) override;
    HRESULT Clone(CMetaBase** out) override { return CloneFigure(*this, out); }

private:
    void BuildRay();
    void BuildCallout();
    void BuildCone();
    void BuildLamp();
    void BuildStar();
};
