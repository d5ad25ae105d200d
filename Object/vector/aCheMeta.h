// CChemMeta: laboratory apparatus drawings, kinds 178 to 209, each drawn
// from a few parameters as one to nine sub-paths by one of four builders;
// vessels are filled up to their level.
#pragma once

#include "aMtaEx.h"

enum { CHEM_KIND_FIRST = 178, CHEM_KIND_LAST = 209 };

class CChemMeta : public CGraphMetaEx {
public:
    explicit CChemMeta(IMetaEnv* env);
    ~CChemMeta() override {}

    // The kind's adjustment points.
    int GetCount() const override;
    // Sub-paths the kind is drawn with; 0 for a kind that is not chemistry.
    static int PathCountOf(int kind);
    HRESULT Rebuild() override;
    HRESULT SetPointAt(int index, POINT point) override;
    HRESULT GetPointAt(POINT* out, int selector, int index) override {
        return SubjectPointAt(out, selector, index);
    }
    // Handles 0 to 4 may move when the size they give stays positive.
    int CanMovePoint(int x, int y, int index) override;
    HRESULT Clone(CMetaBase** out) override { return CloneFigure(*this, out); }

private:
    // 178-186 vessels, 187-202 stands and tubes, 194-197 and 203 burners,
    // 204-209 the rest.
    void BuildA(int kind);
    void BuildB(int kind);
    void BuildC(int kind);
    void BuildD(int kind);
    int P(int i, int fallback) const;
    void Place(int path, int fill, const POINT* anchor, BOOL area);

    struct PlaceSpec {
        int fill;
        bool anchored;
        POINT anchor;
        BOOL area;
    };
    std::vector<PlaceSpec> m_place;
};
