// Hit testing the object list: 4000 entered objects of random size and place
// on a 1920 x 1080 canvas, half of them rotated, probed at 2000 random
// points, against a plain loop of rectangle tests over the same bounds (from
// the top, first hit) in the same run. Ratio: list time / plain time, for
// the unrotated objects (goal within 3) and for the mixed list.
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>

#include <random>
#include <vector>

#include "ObjectDoubles.h"
#include "SolidObject.h"
#include "aObjWrap.h"

namespace {

const int kObjects = 4000, kProbes = 2000, kWidth = 1920, kHeight = 1080;

struct Run {
    double list, plain;
    int hits;
};

Run Measure(bool rotateHalf, const std::vector<POINT>& probes) {
    std::mt19937 rng(7);
    CObjWrapperList* list = new CObjWrapperList;
    std::vector<RECT> rects;
    std::vector<CComObject<SolidObject>*> objects;
    for (int i = 0; i < kObjects; ++i) {
        CComObject<SolidObject>* obj = nullptr;
        CComObject<SolidObject>::CreateInstance(&obj);
        obj->AddRef();
        LONG w = 8 + rng() % 60, h = 8 + rng() % 60;
        obj->SetWidth(w);
        obj->SetHeight(h);
        obj->MoveTo(rng() % kWidth, rng() % kHeight);
        obj->SetState(RS_HOLDING);
        if (rotateHalf && (i & 1))
            obj->SetAngle(3000 + (LONG)(rng() % 27000));
        RECT r;
        obj->GetBoundsRect(&r);
        rects.push_back(r);
        CObjWrapper* wrapper = new CObjWrapper(0x7F000001, "obj");
        wrapper->Attach(obj->GetUnknown());
        list->Append(wrapper);
        objects.push_back(obj);
    }
    int hits = 0, plainHits = 0;
    double listTime = BestOf(
        [&] {
            hits = 0;
            for (const POINT& p : probes) hits += list->HitTest(p, FALSE) != nullptr;
        },
        9);
    double plainTime = BestOf(
        [&] {
            plainHits = 0;
            for (const POINT& p : probes) {
                for (size_t i = rects.size(); i-- > 0;) {
                    const RECT& r = rects[i];
                    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) {
                        ++plainHits;
                        break;
                    }
                }
            }
        },
        9);
    if (!rotateHalf && hits != plainHits)
        printf("hit counts differ: list %d, plain %d\n", hits, plainHits);
    list->Release();
    for (auto* obj : objects) obj->Release();
    return {listTime, plainTime, hits};
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    std::mt19937 rng(11);
    std::vector<POINT> probes;
    for (int i = 0; i < kProbes; ++i)
        probes.push_back({(LONG)(rng() % kWidth), (LONG)(rng() % kHeight)});
    Run flat = Measure(false, probes);
    Run mixed = Measure(true, probes);
    printf(
        "hit test of 4000 unrotated objects, against a plain loop of rectangle tests: list %.3f "
        "ms, plain %.3f ms, %d hits: now %.2f x, goal 3 x\n",
        flat.list * 1000, flat.plain * 1000, flat.hits, flat.list / flat.plain);
    printf("half rotated: list %.3f ms, plain %.3f ms, ratio %.2f, %d hits\n", mixed.list * 1000,
           mixed.plain * 1000, mixed.list / mixed.plain, mixed.hits);
    CoUninitialize();
    return 0;
}
