// CVecPath: the point list of a vector shape with its graph kind and two
// attributes kept with it (the corner percent and an edit value), and its
// stored record.
#pragma once

#include <windows.h>

#include "bGrphLib.h"

#include <stdint.h>

#include <vector>

struct ITeskStream;

// Reads the next n bytes of a stored record for the checked reader; false,
// with nothing read, when the stream holds fewer.
bool ReadStreamBytes(ITeskStream* stream, ULONGLONG n, std::vector<uint8_t>* out);

// Graph kinds of a path.
enum GraphKind {
    GRAPH_LINE = 0,
    GRAPH_POLYLINE = 1,
    GRAPH_BEZIER = 2,
    GRAPH_ELLIPSE = 3,
    GRAPH_RECT = 4,
    GRAPH_ROUNDRECT = 5,
    GRAPH_NONE = 292
};

class CVecPath {
public:
    CVecPath();
    virtual ~CVecPath();
    CVecPath(const CVecPath&) = delete;
    CVecPath& operator=(const CVecPath&) = delete;

    virtual int GetCount() const;
    // E_INVALIDARG for an index outside the points.
    virtual HRESULT SetPoint(int index, POINT point);
    // Turns every point about the centre by -angle (1/100 degree).
    virtual HRESULT Rotate(int angle, POINT centre);

    // (0, 0), logged, for an index outside the points.
    POINT GetPoint(int index) const;
    // Copies the first min(n, count) points; their number.
    int GetPoints(POINT* out, int n) const;
    HRESULT RemovePoint(int index);
    // E_OUTOFMEMORY when the point cannot be appended.
    HRESULT AddPoint(int x, int y);
    void Clear() { m_points.RemoveAll(); }

    int GetKind() const { return m_kind; }
    void SetKind(int kind) { m_kind = kind; }
    bool IsKind1() const { return m_kind == GRAPH_POLYLINE; }
    bool IsKind2() const { return m_kind == GRAPH_BEZIER; }
    int GetCornerPercent() const { return m_cornerPercent; }
    void SetCornerPercent(int value) { m_cornerPercent = value; }
    int GetEditValue() const { return m_editValue; }
    void SetEditValue(int value) { m_editValue = value; }
    const POINT* GetData() const { return m_points.GetData(); }
    POINT* GetData() { return m_points.GetData(); }

    HRESULT CopyFrom(const CVecPath& source);
    // Kind, corner percent, edit value, count, points. A record that is
    // short or whose count does not fit the stream is refused whole: E_FAIL,
    // the path unchanged.
    HRESULT Load(ITeskStream* stream);
    HRESULT Save(ITeskStream* stream) const;

    // out becomes the path between a and b at factor x (0 a, 1 b), in steps
    // of 1/256, taking a's kind and attributes and a's point count.
    static HRESULT Interpolate(const CVecPath& a, const CVecPath& b, CVecPath* out, float x);

private:
    int m_cornerPercent;
    PointArray m_points;
    int m_editValue;
    int m_kind;
};
