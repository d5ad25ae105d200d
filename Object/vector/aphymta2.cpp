// The physics kinds whose outline is the builders' own: a body of P2 x P3
// (30 x 20 units when not given; round for the wheel, ball and dial kinds)
// filled by painter 0, and every further sub-path a lead of 10 units below
// it, spread along its width.
#include <stdlib.h>

#include "aPhyMeta.h"

namespace {

const int kDefaultWidth = 7680;
const int kDefaultHeight = 5120;
const int kLead = 2560;

bool IsRound(int kind) {
    switch (kind) {
        case 87:
        case 88:
        case 89:
        case 90:
        case 91:
        case 95:
        case 96:
        case 141:
        case 144:
        case 145:
        case 148:
        case 162:
        case 163:
        case 167:
        case 168:
            return true;
        default:
            return false;
    }
}

}  // namespace

void CPhysMeta::BuildPlain(int kind) {
    const int w = P(2) ? abs(P(2)) : kDefaultWidth;
    const int h = P(3) ? abs(P(3)) : kDefaultHeight;
    if (IsRound(kind)) {
        const int r = (w < h ? w : h) / 2;
        AddCircle(0, w / 2, h / 2, r, 0);
    } else {
        AddRectPath(0, 0, 0, w, h);
    }
    Finish(0, 0, TRUE, TRUE);
    const int n = GetPathCount();
    for (int i = 1; i < n; ++i) {
        const long long x = (long long)w * i / n;
        AddPoint(i, x, h);
        AddPoint(i, x, (long long)h + kLead);
    }
}
