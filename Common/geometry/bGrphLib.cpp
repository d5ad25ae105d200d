#include "bGrphLib.h"

#include <intrin.h>
#include <stdlib.h>
#include <string.h>

#include <cmath>

#include "bTraceLog.h"

namespace {

// round(sin(i degrees) * 10000), i = 0..90.
const int kSinTable[91] = {
    0,    175,  349,  523,  698,  872,  1045, 1219, 1392, 1564, 1736, 1908, 2079, 2250, 2419, 2588,
    2756, 2924, 3090, 3256, 3420, 3584, 3746, 3907, 4067, 4226, 4384, 4540, 4695, 4848, 5000, 5150,
    5299, 5446, 5592, 5736, 5878, 6018, 6157, 6293, 6428, 6561, 6691, 6820, 6947, 7071, 7193, 7314,
    7431, 7547, 7660, 7771, 7880, 7986, 8090, 8192, 8290, 8387, 8480, 8572, 8660, 8746, 8829, 8910,
    8988, 9063, 9135, 9205, 9272, 9336, 9397, 9455, 9511, 9563, 9613, 9659, 9703, 9744, 9781, 9816,
    9848, 9877, 9903, 9925, 9945, 9962, 9976, 9986, 9994, 9998, 10000};

int ReduceAngle(int angle) {
    int a = angle % 36000;
    return a < 0 ? a + 36000 : a;
}

}  // namespace

// PointArray

PointArray::PointArray() : m_nCapacity(0), m_nLength(0), m_pData(nullptr), m_spare{0, 0} {}

PointArray::~PointArray() {
    if (m_nCapacity > 0)
        free(m_pData);
}

bool PointArray::Grow(int capacity) {
    if (capacity <= 0 || (size_t)capacity > ((size_t)-1) / sizeof(POINT))
        return false;
    POINT* p = (POINT*)realloc(m_pData, (size_t)capacity * sizeof(POINT));
    if (!p)
        return false;
    m_pData = p;
    m_nCapacity = capacity;
    return true;
}

int PointArray::Push(int x, int y) {
    if (m_nLength >= m_nCapacity) {
        if (m_nCapacity > 0x7FFFFFFF - 8 || !Grow(m_nCapacity == 0 ? 8 : m_nCapacity + 8))
            return 0;
    }
    m_pData[m_nLength].x = x;
    m_pData[m_nLength].y = y;
    ++m_nLength;
    return 1;
}

int PointArray::Append(const POINT* points, int count) {
    if (count <= 0 || !points)
        return 1;
    if (count > 0x7FFFFFFF - m_nLength)
        return 0;
    if (m_nLength + count > m_nCapacity && !Grow(m_nCapacity + count))
        return 0;
    memcpy(m_pData + m_nLength, points, (size_t)count * sizeof(POINT));
    m_nLength += count;
    return 1;
}

int PointArray::RemoveAt(int index) {
    if (index < 0 || index >= m_nLength)
        return 0;
    memmove(m_pData + index, m_pData + index + 1, (size_t)(m_nLength - index - 1) * sizeof(POINT));
    --m_nLength;
    return 1;
}

int PointArray::SetSize(int count) {
    if (count <= 0) {
        m_nLength = 0;
        return 1;
    }
    if (count > m_nCapacity && !Grow(count))
        return 0;
    for (int i = m_nLength; i < count; ++i) m_pData[i] = POINT{0, 0};
    m_nLength = count;
    return 1;
}

const POINT& PointArray::operator[](int index) const {
    if (index < 0 || index >= m_nLength)
        return m_spare;
    return m_pData[index];
}

POINT& PointArray::operator[](int index) {
    if (index < 0 || index >= m_nLength) {
        m_spare = POINT{0, 0};
        return m_spare;
    }
    return m_pData[index];
}

// Angles and points

int IntSqrt64(unsigned long long value) {
    if ((long long)value <= 0)
        return 0;
    unsigned long long x = value;
    unsigned long long prev = x;
    // Newton from above settles on the floor root within 64 steps; the bound
    // only guards the loop.
    for (int i = 0; i < 200; ++i) {
        unsigned long long next = (x + value / x) / 2;
        prev = x;
        x = next;
        if (next == prev || next == prev + 1)
            break;
    }
    // The nearer of the last two iterates, ties to the previous one.
    unsigned long long p2 = prev * prev, c2 = x * x;
    if (p2 <= value && c2 >= value)
        return (int)((value - p2 <= c2 - value) ? prev : x);
    return (int)prev;
}

int SinCent(int angle) {
    int a = ReduceAngle(angle);
    int sign = 1;
    if (a > 18000) {
        sign = -1;
        a = 36000 - a;
    }
    if (a > 9000)
        a = 18000 - a;
    return sign * kSinTable[a / 100];
}

int CosCent(int angle) {
    int a = ReduceAngle(angle);
    if (a >= 18000)
        a = 36000 - a;
    if (a <= 9000)
        return kSinTable[90 - a / 100];
    return -kSinTable[90 - (18000 - a) / 100];
}

int AngleOfVector(int dx, int dy) {
    if (dx == 0) {
        if (dy == 0)
            return 0;
        return dy > 0 ? 9000 : 27000;
    }
    if (dy == 0)
        return dx > 0 ? 0 : 18000;
    long long sx = dx, sy = dy;
    int r = IntSqrt64((unsigned long long)(sx * sx + sy * sy));
    if (r <= 0)
        return 0;
    long long s = llabs(sy) * 10000 / r;
    int i = 90;
    for (int k = 0; k < 90; ++k) {
        if (s <= kSinTable[k]) {
            i = k;
            break;
        }
    }
    if (i > 0 && llabs(s - kSinTable[i - 1]) < llabs(s - kSinTable[i]))
        --i;
    int deg;
    if (dx > 0 && dy < 0)
        deg = 360 - i;
    else if (dx < 0 && dy > 0)
        deg = 180 - i;
    else if (dx < 0 && dy < 0)
        deg = 180 + i;
    else
        deg = i;
    return deg * 100;
}

POINT RotatePoint(int x, int y, int cx, int cy, int angle) {
    long long c = CosCent(angle), s = SinCent(angle);
    long long ox = (long long)x - cx, oy = (long long)y - cy;
    POINT p;
    p.x = (LONG)(cx + (c * ox - s * oy) / 10000);
    p.y = (LONG)(cy + (s * ox + c * oy) / 10000);
    return p;
}

void RotatePoints(int count, POINT* points, int cx, int cy, int angle) {
    if (!points)
        return;
    for (int i = 0; i < count; ++i)
        points[i] = RotatePoint(points[i].x, points[i].y, cx, cy, angle);
}

void RectToPoints(const RECT* rect, int cx, int cy, int angle, POINT* four) {
    four[0] = POINT{rect->left, rect->top};
    four[1] = POINT{rect->left, rect->bottom};
    four[2] = POINT{rect->right, rect->bottom};
    four[3] = POINT{rect->right, rect->top};
    RotatePoints(4, four, cx, cy, angle);
}

void MirrorPointsX(int count, POINT* points, int a) {
    for (int i = 0; i < count; ++i) points[i].x = 2 * a - points[i].x;
}

void MirrorPointsY(int count, POINT* points, int a) {
    for (int i = 0; i < count; ++i) points[i].y = 2 * a - points[i].y;
}

void ScalePointsUp(POINT* points, int count) {
    for (int i = 0; i < count; ++i) {
        points[i].x = (LONG)((unsigned long)points[i].x << 8);
        points[i].y = (LONG)((unsigned long)points[i].y << 8);
    }
}

void ScalePointsDown(POINT* points, int count) {
    for (int i = 0; i < count; ++i) {
        points[i].x /= 256;
        points[i].y /= 256;
    }
}

long long PointDistanceSquared(int x1, int y1, int x2, int y2) {
    long long dx = (long long)x1 - x2, dy = (long long)y1 - y2;
    return dx * dx + dy * dy;
}

int PointDistance(int x1, int y1, int x2, int y2) {
    return IntSqrt64((unsigned long long)PointDistanceSquared(x1, y1, x2, y2));
}

int PointAtDistance(int x1, int y1, int x2, int y2, int distance, POINT* out) {
    int length = PointDistance(x1, y1, x2, y2);
    if (length == 0) {
        *out = POINT{x1, y1};
        return 0;
    }
    long long dx = (long long)x2 - x1, dy = (long long)y2 - y1;
    if (llabs(dy) >= llabs(dx)) {
        long long y = y1 + distance * dy / length;
        out->y = (LONG)y;
        out->x = (LONG)(x1 + dx * (y - y1) / dy);
    } else {
        long long x = x1 + distance * dx / length;
        out->x = (LONG)x;
        out->y = (LONG)(y1 + dy * (x - x1) / dx);
    }
    return 0;
}

HRESULT ArcToPoints(POINT start, POINT end, POINT centre, int rx, int ry, PointArray* array,
                    int steps, int percent) {
    if (!array)
        return E_POINTER;
    const int rmin = rx < ry ? rx : ry, rmax = rx < ry ? ry : rx;
    if (rmin < 0 || rmax <= 0)
        return array->Push(centre.x, centre.y) ? S_OK : E_OUTOFMEMORY;
    // Scaling the axes by the other radius makes the ellipse a circle.
    long long sx = ((long long)start.x - centre.x) * ry / rmax;
    long long sy = ((long long)start.y - centre.y) * rx / rmax;
    long long ex = ((long long)end.x - centre.x) * ry / rmax;
    long long ey = ((long long)end.y - centre.y) * rx / rmax;
    int a0 = AngleOfVector((int)sx, (int)sy);
    int a1 = AngleOfVector((int)ex, (int)ey);
    if (a1 <= a0)
        a1 += 36000;
    long long r = (long long)rmin * (percent / 100);
    int step;
    if (steps == 0 || (steps < -1)) {
        step = r < 14592 ? 1000 : (int)(14667719.55530142 / (double)r);
    } else if (steps == -1) {
        step = r * 256 <= 14591 ? 1000 : (int)(14667719.55530142 / ((double)r * 256.0));
    } else {
        step = 36000 / steps;
    }
    // A step of 0 (huge radius or count) would never reach the end angle.
    if (step <= 0)
        step = 1;
    auto at = [&](int angle) {
        return POINT{(LONG)(centre.x + (long long)rx * CosCent(angle) / 10000),
                     (LONG)(centre.y + (long long)ry * SinCent(angle) / 10000)};
    };
    POINT first = at(a0);
    if (first.x != start.x || first.y != start.y) {
        if (!array->Push(start.x, start.y))
            return E_OUTOFMEMORY;
    }
    POINT last = start;
    for (long long angle = a0; angle < a1; angle += step) {
        last = at((int)angle);
        if (!array->Push(last.x, last.y))
            return E_OUTOFMEMORY;
    }
    if (last.x != end.x || last.y != end.y) {
        if (!array->Push(end.x, end.y))
            return E_OUTOFMEMORY;
    }
    return S_OK;
}

int ExtendBounds(POINT* minPt, POINT* maxPt, int x, int y) {
    if (x < minPt->x)
        minPt->x = x;
    if (y < minPt->y)
        minPt->y = y;
    if (x > maxPt->x)
        maxPt->x = x;
    if (y > maxPt->y)
        maxPt->y = y;
    return 0;
}

HRESULT AppendPointToArray(POINT** array, int* count, int x, int y) {
    if (!array || !count || *count < 0 || *count == 0x7FFFFFFF)
        return E_INVALIDARG;
    POINT* p = (POINT*)malloc(((size_t)*count + 1) * sizeof(POINT));
    if (!p)
        return E_OUTOFMEMORY;
    if (*count > 0 && *array)
        memcpy(p, *array, (size_t)*count * sizeof(POINT));
    p[*count] = POINT{x, y};
    free(*array);
    *array = p;
    ++*count;
    return S_OK;
}

int Factorial(int n) {
    unsigned int f = 1;
    for (int i = 2; i <= n; ++i) f *= (unsigned int)i;
    return (int)f;
}

bool FloatNearlyEqual(float a, float b) {
    return std::fabs(a - b) < 1e-6f;
}

// Polyline offsetting

void OffsetSegment(POINT* first, POINT* second, int distance) {
    long long x1 = first->x, y1 = first->y, x2 = second->x, y2 = second->y;
    if (x1 == x2 && y1 == y2)
        return;
    long long sx, sy;
    if (x1 == x2) {
        sx = y2 > y1 ? distance : -distance;
        sy = 0;
    } else if (y1 == y2) {
        sx = 0;
        sy = x2 > x1 ? -distance : distance;
    } else {
        long long len =
            IntSqrt64((unsigned long long)((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1)));
        if (len == 0)
            return;
        sx = distance * (y2 - y1) / len;
        sy = distance * (x1 - x2) / len;
    }
    first->x = (LONG)(x1 + sx);
    first->y = (LONG)(y1 + sy);
    second->x = (LONG)(x2 + sx);
    second->y = (LONG)(y2 + sy);
}

int LineIntersection(POINT a, POINT b, POINT c, POINT d, POINT* out) {
    auto midpoint = [&] {
        out->x = (LONG)(((long long)b.x + c.x) / 2);
        out->y = (LONG)(((long long)b.y + c.y) / 2);
        return 1;
    };
    if (b.x == c.x && b.y == c.y) {
        *out = b;
        return 1;
    }
    const bool firstVertical = a.x == b.x, secondVertical = c.x == d.x;
    const bool firstHorizontal = a.y == b.y, secondHorizontal = c.y == d.y;
    // Two lines along the same axis (a polyline doubling back) never meet.
    if ((firstVertical && secondVertical) || (firstHorizontal && secondHorizontal))
        return midpoint();
    if (firstVertical) {
        out->x = b.x;
        out->y = c.y == d.y ? c.y
                            : (LONG)(d.y + ((long long)c.y - d.y) * ((long long)b.x - d.x) /
                                               ((long long)c.x - d.x));
        return 1;
    }
    if (secondVertical) {
        out->x = c.x;
        out->y = a.y == b.y ? b.y
                            : (LONG)(a.y + ((long long)b.y - a.y) * ((long long)c.x - a.x) /
                                               ((long long)b.x - a.x));
        return 1;
    }
    if (firstHorizontal) {
        out->y = b.y;
        out->x =
            (LONG)(d.x + ((long long)c.x - d.x) * ((long long)b.y - d.y) / ((long long)c.y - d.y));
        return 1;
    }
    if (secondHorizontal) {
        out->y = c.y;
        out->x =
            (LONG)(a.x + ((long long)c.y - a.y) * ((long long)b.x - a.x) / ((long long)b.y - a.y));
        return 1;
    }
    long double k1 = (long double)(b.y - a.y) / (long double)(b.x - a.x);
    long double k2 = (long double)(d.y - c.y) / (long double)(d.x - c.x);
    if (fabsl(k1 - k2) < 0.05L)
        return midpoint();
    long double x = (k2 * c.x - k1 * a.x + a.y - c.y) / (k2 - k1);
    out->x = (LONG)(long long)x;
    out->y = (LONG)(a.y + (long long)(k1 * ((long double)out->x - a.x)));
    return 1;
}

namespace {

// The n - 1 offset segments of a polyline, two points each.
POINT* OffsetSegments(const POINT* points, int distance, int count) {
    size_t bytes = (size_t)(count - 1) * 2 * sizeof(POINT);
    POINT* seg = (POINT*)malloc(bytes);
    if (!seg) {
        LOG_MSG("can not allocate momery of size : %d.", (int)bytes);
        return nullptr;
    }
    for (int i = 0; i + 1 < count; ++i) {
        seg[2 * i] = points[i];
        seg[2 * i + 1] = points[i + 1];
        OffsetSegment(&seg[2 * i], &seg[2 * i + 1], distance);
    }
    return seg;
}

// Each inner point moves to where the offset segments on its two sides meet.
void JoinInnerPoints(const POINT* seg, POINT* points, int count) {
    for (int i = 1; i + 1 < count; ++i)
        LineIntersection(seg[2 * (i - 1)], seg[2 * (i - 1) + 1], seg[2 * i], seg[2 * i + 1],
                         &points[i]);
}

}  // namespace

HRESULT OffsetPolyline(POINT* points, int distance, int count) {
    // Under two points there is no segment to offset.
    if (!points || count < 2)
        return S_OK;
    POINT* seg = OffsetSegments(points, distance, count);
    if (!seg)
        return E_OUTOFMEMORY;
    JoinInnerPoints(seg, points, count);
    points[0] = seg[0];
    points[count - 1] = seg[2 * (count - 2) + 1];
    free(seg);
    return S_OK;
}

HRESULT OffsetClosedPolyline(POINT* points, int distance, int count) {
    if (!points || count < 2)
        return S_OK;
    POINT* seg = OffsetSegments(points, distance, count);
    if (!seg)
        return E_OUTOFMEMORY;
    JoinInnerPoints(seg, points, count);
    LineIntersection(seg[2 * (count - 2)], seg[2 * (count - 2) + 1], seg[0], seg[1],
                     &points[count - 1]);
    points[0] = points[count - 1];
    free(seg);
    return S_OK;
}

// Raster operations and processor tests

DWORD RasterOpFromROP2(int rop2) {
    static const DWORD kOps[17] = {0x00CC0020, 0x00000042, 0x001100A6, 0x00220326, 0x00330008,
                                   0x00440328, 0x00550009, 0x00660046, 0x007700E6, 0x008800C6,
                                   0x00990066, 0x00AA0029, 0x00BB0226, 0x00CC0020, 0x00DD0228,
                                   0x00EE0086, 0x00FF0062};
    if (rop2 < 1 || rop2 > 16)
        return 0x00CC0020;
    return kOps[rop2];
}

bool HasMMX() {
    int info[4];
    __cpuid(info, 1);
    return (info[3] & (1 << 23)) != 0;
}

namespace {

// One SSE instruction: a system that has not enabled SSE faults here, and
// the structured-exception translator hands that to the caller.
__attribute__((target("sse"), noinline)) void ProbeSse() {
    __asm__ __volatile__("xorps %%xmm0, %%xmm0" ::: "xmm0");
}

}  // namespace

bool HasIntelSSE() {
    int info[4];
    __cpuid(info, 0);
    char vendor[13];
    memcpy(vendor, &info[1], 4);
    memcpy(vendor + 4, &info[3], 4);
    memcpy(vendor + 8, &info[2], 4);
    vendor[12] = 0;
    __cpuid(info, 1);
    if (!(info[3] & (1 << 25)) || strcmp(vendor, "GenuineIntel") != 0)
        return false;
    ProbeSse();
    return true;
}
