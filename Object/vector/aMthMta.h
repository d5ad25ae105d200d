// CMathMeta: the plane figures of the mathematics subject (triangles,
// quadrilaterals, a pentagon, circles, arcs, sectors, ellipses), kinds 28
// to 40, each one closed, filled and outlined sub-path.
#pragma once

#include "aMtaEx.h"

enum { MATH_KIND_FIRST = 28, MATH_KIND_LAST = 40 };

class CMathMeta : public CGraphMetaEx {
public:
    explicit CMathMeta(IMetaEnv* env);
    ~CMathMeta() override {}

    // The handles of the kind; 0 for a kind outside 28..40.
    int GetCount() const override;
    HRESULT Rebuild() override;
    HRESULT SetPointAt(int index, POINT point) override;
    HRESULT GetPointAt(POINT* out, int selector, int index) override {
        return SubjectPointAt(out, selector, index);
    }
    HRESULT Clone(CMetaBase** out) override { return CloneFigure(*this, out); }

private:
    // The kind's rule for handle index at p (1/256 units, turned back).
    void MoveHandle(int index, POINT p);
};
