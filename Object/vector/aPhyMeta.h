// CPhysMeta: the apparatus and symbols of the physics subject (blocks,
// balls, a cart, an inclined plane, a lever, force arrows, hatched surfaces,
// wheel-and-rope figures, circuit symbols, a ruler, meter dials): 77 kinds
// in four ranges, each range built by its own builder. It has no handle
// rule of its own: an editor sets its parameters directly.
#pragma once

#include <vector>

#include "aMtaEx.h"

enum {
    // A loop counted by a parameter stops after this many turns.
    PHYS_TURNS_MAX = 10000,
    // Kind 88 draws at most this many items.
    PHYS_ITEMS_MAX = 64
};

class CPhysMeta : public CGraphMetaEx {
public:
    explicit CPhysMeta(IMetaEnv* env);
    ~CPhysMeta() override {}

    // The handles of the kind; 0 for a kind that is not physics.
    int GetCount() const override;
    // Sub-paths of the kind (kind 88: its item count + 6); 0 for none.
    static int PathCountOf(int kind, int items);
    static bool IsPhysicsKind(int kind);
    HRESULT Rebuild() override;
    HRESULT GetPointAt(POINT* out, int selector, int index) override {
        return SubjectPointAt(out, selector, index);
    }
    HRESULT Clone(CMetaBase** out) override { return CloneFigure(*this, out); }

private:
    // Kinds 78-107, 118-134, 135-153 and 158-168.
    void BuildFirst(int kind);
    void BuildSecond(int kind);
    void BuildThird(int kind);
    void BuildFourth(int kind);
    // The kinds whose outline is the builders' own choice.
    void BuildPlain(int kind);
    int P(int i) const { return Params1().Get(i); }
    int Option(int i) const { return Params3().Get(i); }
    // Marks every step along a line of the length from (0, 0), each stroke
    // going back by step and sideways by side, turned by angle (1/100
    // degree).
    void AddHatchLine(int path, long long length, int step, int side, int angle);
    void AddCircle(int path, int cx, int cy, int r, int start);
    // How a sub-path is placed once the figure's bounds are known; a
    // sub-path not named has no painter, an outline and no area.
    void Finish(int path, int fill, BOOL stroke, BOOL area);

    struct FinishSpec {
        int fill;
        BOOL stroke, area;
    };
    std::vector<FinishSpec> m_finish;
};
