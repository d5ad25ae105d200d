// The frame owner of the figure tests, with the edit states an editing host
// gives (the player never creates or reshapes figures), and helpers that
// read a figure's sub-paths.
#pragma once

#include <windows.h>

#include <ostream>
#include <vector>

#include "VectorFixtures.h"
#include "aMtaEx.h"

class EditingOwner : public FakeOwner {
public:
    MetaEditState edit = {FALSE, 0, 0};
    void GetEditState(MetaEditState* s) override { *s = edit; }
};

inline std::vector<POINT> PathPoints(const CGraphMetaEx& m, int path) {
    std::vector<POINT> out;
    if (MetaSubPath* p = m.GetPath(path))
        out.assign(p->points.GetData(), p->points.GetData() + p->points.GetCount());
    return out;
}

inline bool operator==(const POINT& a, const POINT& b) {
    return a.x == b.x && a.y == b.y;
}

inline bool operator!=(const POINT& a, const POINT& b) {
    return !(a == b);
}

inline void PrintTo(const POINT& p, std::ostream* os) {
    *os << "(" << p.x << ", " << p.y << ")";
}

inline std::vector<POINT> Pts(std::initializer_list<POINT> p) {
    return std::vector<POINT>(p);
}
