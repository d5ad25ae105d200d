// Geometry of the graphics library: angles in hundredths of a degree with a
// whole-degree sine table (sine and cosine scaled by 10000), rotation and
// mirroring of point lists, the growable point array, arcs as point lists,
// parallel offsetting of polylines, raster operations, and the curve half:
// hit tests, Bezier conversions, flattening, bounds and arc length.
#pragma once

#include <windows.h>

// A growable array of points; an index outside the points reads a spare
// zero point.
class PointArray {
public:
    PointArray();
    virtual ~PointArray();
    PointArray(const PointArray&) = delete;
    PointArray& operator=(const PointArray&) = delete;

    // Appends one point: 8 points at first, then 8 more at a time. 0 when
    // the memory cannot be had (nothing appended), else 1.
    int Push(int x, int y);
    // Appends a run of points, growing by exactly its count. 0 on failure.
    int Append(const POINT* points, int count);
    // Removes the point at the index; 0 for an index outside the points.
    int RemoveAt(int index);
    // Sets the count: 0 or less empties; beyond the capacity reallocates to
    // exactly that many (0 when that fails, the array kept); new points are
    // zero.
    int SetSize(int count);
    void RemoveAll() { m_nLength = 0; }

    int GetCount() const { return m_nLength; }
    int GetCapacity() const { return m_nCapacity; }
    const POINT& operator[](int index) const;
    POINT& operator[](int index);
    POINT* GetData() { return m_pData; }
    const POINT* GetData() const { return m_pData; }

private:
    bool Grow(int capacity);

    int m_nCapacity;
    int m_nLength;
    POINT* m_pData;
    POINT m_spare;
};

// Angles and points.
int IntSqrt64(unsigned long long value);
int SinCent(int angle);
int CosCent(int angle);
int AngleOfVector(int dx, int dy);
POINT RotatePoint(int x, int y, int cx, int cy, int angle);
void RotatePoints(int count, POINT* points, int cx, int cy, int angle);
void RectToPoints(const RECT* rect, int cx, int cy, int angle, POINT* four);
void MirrorPointsX(int count, POINT* points, int a);
void MirrorPointsY(int count, POINT* points, int a);
void ScalePointsUp(POINT* points, int count);
void ScalePointsDown(POINT* points, int count);
int PointDistance(int x1, int y1, int x2, int y2);
long long PointDistanceSquared(int x1, int y1, int x2, int y2);
int PointAtDistance(int x1, int y1, int x2, int y2, int distance, POINT* out);
// Appends the arc from the start to the end point around the centre; step
// count 0: radii in 1/256 units, -1: plain units, else 36000/steps (a count
// below 0 other than -1 counts as 0). Fails (E_OUTOFMEMORY) when the array
// cannot grow.
HRESULT ArcToPoints(POINT start, POINT end, POINT centre, int rx, int ry, PointArray* array,
                    int steps, int percent);
int ExtendBounds(POINT* minPt, POINT* maxPt, int x, int y);
// Replaces *array (C heap) by one point longer; E_OUTOFMEMORY keeps it.
HRESULT AppendPointToArray(POINT** array, int* count, int x, int y);
int Factorial(int n);
bool FloatNearlyEqual(float a, float b);

// Polyline offsetting.
void OffsetSegment(POINT* first, POINT* second, int distance);
int LineIntersection(POINT a, POINT b, POINT c, POINT d, POINT* out);
HRESULT OffsetPolyline(POINT* points, int distance, int count);
HRESULT OffsetClosedPolyline(POINT* points, int distance, int count);

// The ternary raster operation of a ROP2 code with the pen read as source.
DWORD RasterOpFromROP2(int rop2);
bool HasMMX();
bool HasIntelSSE();

// Angles between vectors, in degrees.
void VectorAngle(POINT a, POINT v, POINT b, float* degrees);
void VectorAngleF(float ax, float ay, float vx, float vy, float bx, float by, float* degrees);
bool PointInTriangle(float px, float py, float ax, float ay, float bx, float by, float cx,
                     float cy);

// Hit tests: 1 for a hit, else 0.
int IsPointNearLine(int px, int py, int x1, int y1, int x2, int y2, float tolerance);
int HitTestLine(int x1, int y1, int px, int py, int x2, int y2);
int HitTestPolyline(int px, int py, const POINT* points, int count, BOOL closed, int width);
int HitTestOvalBound(int px, int py, const RECT* rect, int width);
int HitTestRoundRectBound(int px, int py, const RECT* rect, int percent, int width);
int HitTestPolyBezier(int px, int py, const POINT* points, int count, int width);
int HitTestBezierBound(int px, int py, const POINT* points, int count, BOOL closed, int width);
int HitTestBezierSegment(int px, int py, const POINT* four, int width);
long double PointLineDistance(int px, int py, int x1, int y1, int x2, int y2);

// Bezier curves. A chain is 3n + 1 control points.
// Control points of the curve through `count` points; `out` holds
// BezierControlCount(count). E_INVALIDARG below 2 points.
HRESULT BezierBoundPtToCtrlPt(const POINT* points, int count, POINT* out);
int BezierControlCount(int count);
int BezierSegmentThroughPoints(POINT p0, POINT p1, POINT p2, POINT p3, POINT* c1, POINT* c2);
// Straight-line Bezier form in a new C-heap array that the caller frees.
HRESULT PointsToBezier(const POINT* points, int n, POINT** out, int* countOut, BOOL closed);
// 51 points per segment, (count - 1) / 3 segments, in a new C-heap array.
HRESULT FlattenBezier(const POINT* points, int count, POINT** out, int* countOut);
int BezierSegmentBounds(const POINT* four, POINT* minPt, POINT* maxPt);
HRESULT DrawBezier(HDC dc, const POINT* points, int count, BOOL closed);
HRGN BezierRegion(HDC dc, const POINT* points, int count);
void BezierSpeedCoefficients(POINT p0, POINT p1, POINT p2, POINT p3, double* five);
bool IntergraFunc(const double* coefficients, int kind, double t, double* value);
bool SimponIntergral(const double* coefficients, int kind, double a, double b, double* value);
int RoundRectEllipseSize(const RECT* rect, int percent, int* width, int* height);
