// A vector object's tick between two key frames against plain GDI, in the
// same run: key frames of filled closed polylines of 200 points each
// (unsmoothed outlines), a tick (ShowTime: the tween made, then the draw)
// into a 1920 x 1080 GDI buffer against GDI Polygon of the same tween
// points with a solid brush and pen (goal 3 x at 10,000 points; 1,000 and
// 100,000 reported), with the milliseconds of a tick against the 20 ms of
// the clock. A mapping tween of 2 shapes of 500 points is reported in ms:
// its first tick, which matches the points, and the later ones.
#include "BenchClock.h"
#include <windows.h>

#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <vector>

#include "ObjectDoubles.h"
#include "aGDIBuf.h"
#include "aStorage.h"
#include "aVctObj.h"
#include "bFillShd.h"
#include "bLinStyl.h"
#include "bStorage.h"

namespace {

const int kWidth = 1920, kHeight = 1080, kPointsPerShape = 200;

unsigned g_seed = 2026;
int Next(int n) {
    g_seed = g_seed * 1103515245u + 12345u;
    return (int)((g_seed >> 8) % (unsigned)n);
}

// A closed wavy ring of n points around (cx, cy), relative to the centre
// of the object.
CGraphMeta* Ring(VectorObject* v, int cx, int cy, int r, int n, COLORREF color) {
    CGraphMeta* m = new CGraphMeta(v->FrameOwner()->GetMetaEnv());
    m->SetKind(GRAPH_POLYLINE);
    for (int i = 0; i < n; ++i) {
        const double a = 6.283185307 * i / n;
        const double rr = r * (1.0 + 0.15 * sin(a * 7));
        m->AddPoint(cx + (int)(rr * cos(a)), cy + (int)(rr * sin(a)));
    }
    m->SetClosed(true);
    m->SetFillType(FILL_SOLID);
    m->SetFillMode(FILLMODE_FILL);
    m->SetColor(color);
    m->SetMainColor(RGB(0, 0, 0));
    if (m->LineStyle::Get())
        m->LineStyle::Get()->SetSmooth(0);
    m->CalcBoundRect();
    return m;
}

VectorObject* MakeObject(TestPlayerSite& site, int shapes, int points, int kind) {
    IUnknown* unknown = nullptr;
    if (FAILED(CreateVectorObject(&unknown)) || !unknown)
        return nullptr;
    IObjectBase* base = nullptr;
    unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
    unknown->Release();
    base->SetEventSite(&site);
    VectorObject* v = static_cast<VectorObject*>(base);
    v->SetWidth(kWidth);
    v->SetHeight(kHeight);
    v->MoveTo(kWidth / 2, kHeight / 2);
    // No key frames, then these two.
    ITeskStream* empty = nullptr;
    CreateMemStream(&empty, 64);
    for (int32_t value : {1200, 0, 50, 0}) StreamWriteValue(empty, value);
    empty->Seek(0, TESK_SEEK_SET);
    v->LoadKind(empty);
    empty->Release();
    CKeyFrame* a = v->NewKeyFrame(0);
    CKeyFrame* b = v->NewKeyFrame(1000);
    for (int s = 0; s < shapes; ++s) {
        const int x = Next(kWidth - 200) - kWidth / 2 + 100,
                  y = Next(kHeight - 200) - kHeight / 2 + 100;
        const COLORREF c = RGB(Next(256), Next(256), Next(256));
        a->frame->AddMeta(Ring(v, x, y, 30 + Next(60), points, c), METATYPE_GRAPH);
        b->frame->AddMeta(Ring(v, x + Next(80) - 40, y + Next(80) - 40, 30 + Next(60), points,
                               RGB(Next(256), Next(256), Next(256))),
                          METATYPE_GRAPH);
    }
    if (kind) {
        a->kind = kind;
        a->mapping = new MorphMapping{{1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.5f}};
    }
    v->AddKeyFrame(a);
    v->AddKeyFrame(b);
    return v;
}

// The tween's shapes drawn with GDI directly, a pen and a brush each.
void PlainGdi(HDC dc, CVecFrame* frame, COLORREF fill) {
    std::vector<POINT> pts;
    for (int i = 0; i < frame->GetCount(); ++i) {
        CGraphMeta* g = frame->GetGraphMeta(i);
        if (!g)
            continue;
        pts.assign(g->GetData(), g->GetData() + g->GetCount());
        for (POINT& p : pts) {
            p.x += kWidth / 2;
            p.y += kHeight / 2;
        }
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
        HBRUSH brush = CreateSolidBrush(fill);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        Polygon(dc, pts.data(), (int)pts.size());
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    TestPlayerSite site;
    IPixelBuffer* target = CreateGDIBuffer(kWidth, kHeight);
    if (!target) {
        printf("buffer not made\n");
        return 1;
    }
    printf("a tick between two key frames of filled closed polylines of %d points, into %d x %d:\n",
           kPointsPerShape, kWidth, kHeight);
    for (int points : {1000, 10000, 100000}) {
        VectorObject* v = MakeObject(site, points / kPointsPerShape, kPointsPerShape, 0);
        if (!v) {
            printf("object not made\n");
            return 1;
        }
        DWORD t = 500;
        auto tick = [&] {
            v->ShowTime(t);
            t = t == 500 ? 501 : 500;
            v->Draw(target);
        };
        v->ShowTime(500);
        CVecFrame* tween = v->CurrentFrame();
        // Alternating, the fastest of each.
        double plain = 1e30, ticked = 1e30;
        for (int round = 0; round < 5; ++round) {
            ticked = std::min(ticked, FastestRun(tick, 1));
            v->ShowTime(500);
            tween = v->CurrentFrame();
            plain = std::min(plain, FastestRun(
                                        [&] {
                                            HDC dc = nullptr;
                                            target->GetDC(&dc);
                                            PlainGdi(dc, tween, RGB(200, 120, 40));
                                            target->ReleaseDC(dc);
                                        },
                                        1));
        }
        printf(
            "  N = %d: tick %.2f ms (%.0f%% of a 20 ms tick), GDI Polygon %.2f ms: ratio %.2f%s\n",
            points, ticked * 1000, ticked * 1000 / 20 * 100, plain * 1000, ticked / plain,
            points == 10000 ? ", goal 3" : " (reported)");
        static_cast<IObjectBase*>(v)->Release();
    }
    // The first tick between the key frames matches the points; later ones
    // reuse the matching.
    double first = 1e30, ms = 1e30;
    for (int round = 0; round < 3; ++round) {
        VectorObject* mapped = MakeObject(site, 2, 500, 1);
        DWORD t = 500;
        auto tick = [&] {
            mapped->ShowTime(t);
            t = t == 500 ? 501 : 500;
        };
        first = std::min(first, FastestRun(tick, 1));
        ms = std::min(ms, FastestRun(tick, 3));
        static_cast<IObjectBase*>(mapped)->Release();
    }
    printf(
        "  mapping tween (kind 1) of 2 shapes of 500 points: first tick %.2f ms, later ticks %.2f "
        "ms (reported)\n",
        first * 1000, ms * 1000);
    target->Release();
    CoUninitialize();
    return 0;
}
