// Subject figures against plain GDI, in the same run: 500 figures of the
// four classes (mathematics, chemistry, physics, optics), each filled
// through its holder, drawn into a 1920 x 1080 GDI buffer once built,
// against GDI Polygon (filled parts) and Polyline (the others) of the same
// sub-path points with the same colours (goal 3 x). The first draw, which
// builds every figure, and the figures with smoothed outlines (the line
// style's default) are reported beside it.
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "VectorOwner.h"
#include "aCheMeta.h"
#include "aGDIBuf.h"
#include "aMthMta.h"
#include "aOptMta.h"
#include "aPhyMeta.h"
#include "aVecFrm.h"
#include "bLinStyl.h"

namespace {

const int kFigures = 500, kWidth = 1920, kHeight = 1080, U = 256;

// A frame of 500 figures, a quarter of each class, spread over the buffer.
void Fill(CVecFrame* frame, CentredOwner* owner, bool smooth) {
    unsigned seed = 2026;
    auto next = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return (int)((seed >> 8) % (unsigned)n);
    };
    for (int i = 0; i < kFigures; ++i) {
        CGraphMetaEx* m = nullptr;
        int type = 0;
        const int x = (next(kWidth - 200) - kWidth / 2 + 100) * U;
        const int y = (next(kHeight - 200) - kHeight / 2 + 100) * U;
        std::vector<int> p = {x, y};
        switch (i % 4) {
            case 0:
                m = new CMathMeta(owner);
                type = METATYPE_MATH;
                m->SetKind(i % 8 == 0 ? 28 : 39);
                p.insert(p.end(), {(20 + next(40)) * U, (20 + next(40)) * U});
                break;
            case 1:
                m = new CChemMeta(owner);
                type = METATYPE_CHEM;
                m->SetKind(178 + next(5));
                p.insert(p.end(), {(30 + next(40)) * U, (60 + next(40)) * U, 20 * U, 12 * U});
                break;
            case 2:
                m = new CPhysMeta(owner);
                type = METATYPE_PHYS;
                m->SetKind(i % 8 == 2 ? 83 : 78);
                p.insert(p.end(), {(20 + next(60)) * U, (20 + next(40)) * U, 40 * U});
                break;
            default:
                m = new COpticMeta(owner);
                type = METATYPE_OPTIC;
                m->SetKind(i % 8 == 3 ? 291 : 278);
                p.insert(p.end(), {(30 + next(40)) * U, 8 * U, 20 * U, 18 * U});
                break;
        }
        for (int v : p) m->Params1().Append(v);
        m->SetFillType(0);
        m->SetFillMode(1);
        m->SetColor(RGB(next(256), next(256), next(256)));
        m->AddHolder();
        m->SetColor(RGB(next(256), next(256), next(256)));
        m->AddHolder();
        m->SetMainColor(RGB(next(256), next(256), next(256)));
        if (m->LineStyle::Get())
            m->LineStyle::Get()->SetSmooth(smooth ? 1 : 0);
        frame->AddMeta(m, type);
    }
}

struct Part {
    std::vector<POINT> points;
    bool filled;
    COLORREF fill, line;
};

// What the figures hold, as whole points in the buffer.
std::vector<Part> PartsOf(const CVecFrame& frame) {
    std::vector<Part> parts;
    for (int i = 0; i < frame.GetCount(); ++i) {
        CGraphMetaEx* m = dynamic_cast<CGraphMetaEx*>(frame.GetMeta(i));
        COLORREF line = 0;
        if (m->LineStyle::Get())
            m->LineStyle::Get()->GetColor(&line);
        for (int k = 0; k < m->GetPathCount(); ++k) {
            const MetaSubPath* s = m->GetPath(k);
            Part part;
            for (int j = 0; j < s->points.GetCount(); ++j)
                part.points.push_back(
                    POINT{s->points[j].x / 256 + kWidth / 2, s->points[j].y / 256 + kHeight / 2});
            part.filled = s->holder >= 0;
            part.fill = RGB(40 + 50 * (k % 4), 120, 200);
            part.line = line;
            parts.push_back(part);
        }
    }
    return parts;
}

void PlainGdi(HDC dc, const std::vector<Part>& parts) {
    for (const Part& p : parts) {
        HPEN pen = CreatePen(PS_SOLID, 1, p.line);
        HBRUSH brush = p.filled ? CreateSolidBrush(p.fill) : nullptr;
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, brush ? brush : GetStockObject(NULL_BRUSH));
        if (p.filled)
            Polygon(dc, p.points.data(), (int)p.points.size());
        else
            Polyline(dc, p.points.data(), (int)p.points.size());
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        if (brush)
            DeleteObject(brush);
    }
}

}  // namespace

int main() {
    // Figures about the middle of the screen.
    CentredOwner owner;
    owner.centre = POINT{kWidth / 2, kHeight / 2};
    owner.rect = RECT{0, 0, kWidth, kHeight};
    IPixelBuffer* target = CreateGDIBuffer(kWidth, kHeight);
    if (!target) {
        printf("buffer not made\n");
        return 1;
    }
    // The first draw builds every figure: fresh frames each round.
    double first = 1e30;
    for (int round = 0; round < 3; ++round) {
        CVecFrame fresh(&owner, VECFRAME_LENGTHS);
        Fill(&fresh, &owner, false);
        first = std::min(first, FastestRun(
                                    [&] {
                                        HDC dc = nullptr;
                                        target->GetDC(&dc);
                                        fresh.DrawAll(dc);
                                        target->ReleaseDC(dc);
                                    },
                                    1));
    }
    CVecFrame frame(&owner, VECFRAME_LENGTHS), smooth(&owner, VECFRAME_LENGTHS);
    Fill(&frame, &owner, false);
    Fill(&smooth, &owner, true);
    HDC dc = nullptr;
    target->GetDC(&dc);
    frame.DrawAll(dc);
    target->ReleaseDC(dc);
    const std::vector<Part> parts = PartsOf(frame);
    // Alternating, the fastest of each.
    double plain = 1e30, built = 1e30, smoothed = 1e30;
    for (int round = 0; round < 5; ++round) {
        plain = std::min(plain, FastestRun(
                                    [&] {
                                        target->GetDC(&dc);
                                        PlainGdi(dc, parts);
                                        target->ReleaseDC(dc);
                                    },
                                    1));
        built = std::min(built, FastestRun(
                                    [&] {
                                        target->GetDC(&dc);
                                        frame.DrawAll(dc);
                                        target->ReleaseDC(dc);
                                    },
                                    1));
        smoothed = std::min(smoothed, FastestRun(
                                          [&] {
                                              target->GetDC(&dc);
                                              smooth.DrawAll(dc);
                                              target->ReleaseDC(dc);
                                          },
                                          1));
    }
    printf("%d figures of four classes with fills (%d sub-paths) into %d x %d:\n", kFigures,
           (int)parts.size(), kWidth, kHeight);
    printf("  built %.2f ms, plain GDI %.2f ms: ratio %.2f, goal 3\n", built * 1000, plain * 1000,
           built / plain);
    printf("  first draw, building them, %.2f ms: ratio %.2f to plain GDI (reported)\n",
           first * 1000, first / plain);
    printf("  smoothed outlines %.2f ms: ratio %.2f to plain GDI (reported)\n", smoothed * 1000,
           smoothed / plain);
    target->Release();
    return 0;
}
