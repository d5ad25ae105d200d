// Path motion: one tick's position (GetDrawSite) on a path of four Bezier
// segments against one Simpson integral of a segment's length, measured in
// the same run; the goal is 25 times the integral or less.
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>

#include "ObjectRecordWriter.h"
#include "aPamAbl.h"
#include "aStorage.h"
#include "bGrphLib.h"

int main() {
    CoInitialize(nullptr);
    MotionPathRecord path;
    path.kind = 2;
    path.duration = 4000;
    path.points = {{0, 0},     {80, -60},  {160, 60},  {240, 0},   {320, -60}, {400, 90}, {480, 0},
                   {420, 120}, {300, 200}, {240, 160}, {120, 260}, {40, 140},  {0, 0}};
    PathMotionRecord record;
    record.paths = {path};
    const std::vector<uint8_t> bytes = WritePathMotionRecord(record);
    CComPtr<ITeskStream> stream;
    CreateMemStream(&stream, 4096);
    stream->SetMode(1);
    stream->Write(bytes.data(), (ULONG)bytes.size());
    stream->SetMode(0);
    stream->Seek(0, TESK_SEEK_SET);
    CComPtr<IUnknown> unknown;
    CreatePathMotion(&unknown);
    CComPtr<IAbilityCreate> create;
    unknown->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&create));
    CPathMotion* motion = static_cast<CPathMotion*>(static_cast<IAbilityCreate*>(create));
    if (FAILED(create->LoadOwn(stream)) || FAILED(motion->RebuildPaths())) {
        printf("the path did not load\n");
        return 1;
    }
    const int n = 2000;
    double sink = 0;
    const double tick = BestOf(
        [&] {
            for (int i = 0; i < n; ++i) {
                DrawSite site;
                motion->GetDrawSite((i * 7919) % 4000, &site);
                sink += site.pos.x;
            }
        },
        5);
    double c[5];
    const std::vector<POINT>& p = path.points;
    BezierSpeedCoefficients(p[0], p[1], p[2], p[3], c);
    const double integral = BestOf(
        [&] {
            for (int i = 0; i < n; ++i) {
                double v = 0;
                SimponIntergral(c, 5, 0.0, 1.0, &v);
                sink += v;
            }
        },
        5);
    printf("GetDrawSite, four segments: %.2f us per tick\n", tick / n * 1e6);
    printf("SimponIntergral, one segment: %.2f us\n", integral / n * 1e6);
    printf("ratio %.1f (goal 25 or less)%s\n", tick / integral, sink == 0.5 ? " " : "");
    return 0;
}
