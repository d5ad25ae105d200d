// The DXF reader and the polyline recorder (see bdxfpars.h).
#include "bdxfpars.h"

#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "bTraceLog.h"

namespace {

enum { RECORDER_START = 1024, RECORDER_SLACK = 800 };

// A device coordinate, or false when the value does not fit 32 bits.
bool ToDevice(double v, LONG* out) {
    if (!(v > (double)INT_MIN - 1 && v < (double)INT_MAX + 1))
        return false;
    *out = (LONG)v;  // truncation toward zero
    return true;
}

}  // namespace

PolylineRecorder::PolylineRecorder(HDC dc, double xOffset, double yOffset, double xScale,
                                   double yScale, const DxfReader* owner)
    : m_hBuffer(nullptr),
      m_pPoints(nullptr),
      m_count(0),
      m_capacity(RECORDER_START),
      m_hDC(dc),
      m_minX(0x7FFF),
      m_minY(0x7FFF),
      m_maxX((short)0x8000),
      m_maxY((short)0x8000),
      m_xOffset(xOffset),
      m_yOffset(yOffset),
      m_xScale(xScale),
      m_yScale(yScale),
      m_color(0),
      m_closed(0),
      m_owner(owner) {
    m_hBuffer = GlobalAlloc(GMEM_MOVEABLE, RECORDER_START * sizeof(POINT) + RECORDER_SLACK);
    if (m_hBuffer)
        m_pPoints = static_cast<POINT*>(GlobalLock(m_hBuffer));
    if (!m_pPoints)
        m_capacity = 0;
}

PolylineRecorder::~PolylineRecorder() {
    // A polyline that was never flushed is freed without drawing.
    m_hDC = nullptr;
    Flush();
}

bool PolylineRecorder::Grow() {
    // Doubling keeps long polylines linear in their size.
    int capacity = m_capacity * 2;
    if (capacity <= m_capacity || capacity > (INT_MAX - RECORDER_SLACK) / (int)sizeof(POINT))
        return false;
    GlobalUnlock(m_hBuffer);
    HGLOBAL grown =
        GlobalReAlloc(m_hBuffer, (SIZE_T)capacity * sizeof(POINT) + RECORDER_SLACK, GMEM_MOVEABLE);
    if (grown)
        m_hBuffer = grown;
    m_pPoints = static_cast<POINT*>(GlobalLock(m_hBuffer));
    if (!grown || !m_pPoints)
        return false;
    m_capacity = capacity;
    return true;
}

bool PolylineRecorder::AddPoint(double x, double y) {
    if (!m_pPoints)
        return false;
    POINT p;
    if (!ToDevice((x + m_xOffset) * m_xScale, &p.x) || !ToDevice((y + m_yOffset) * m_yScale, &p.y))
        return false;
    // A full buffer grows before the point goes in; the slack behind the
    // capacity is never written.
    if (m_count >= m_capacity && !Grow())
        return false;
    m_pPoints[m_count++] = p;
    short sx = (short)p.x, sy = (short)p.y;
    m_minX = std::min(m_minX, sx);
    m_maxX = std::max(m_maxX, sx);
    m_minY = std::min(m_minY, sy);
    m_maxY = std::max(m_maxY, sy);
    return true;
}

void PolylineRecorder::SetOption(int code, long value) {
    if (code == 70)
        m_closed = (int)(value & 1);
}

void PolylineRecorder::GetBounds(short* minX, short* maxX, short* minY, short* maxY) const {
    *minX = m_minX;
    *maxX = m_maxX;
    *minY = m_minY;
    *maxY = m_maxY;
}

void PolylineRecorder::Flush() {
    if (m_hDC && m_pPoints && m_count > 0) {
        double lw = m_owner ? m_owner->GetLineWidth() : 0;
        int width = (int)(lw * m_xScale);
        if (width <= 0)
            width = 1;
        HPEN pen = CreatePen(PS_SOLID, width, m_color);
        HGDIOBJ old = SelectObject(m_hDC, pen);
        if (m_closed) {
            MoveToEx(m_hDC, m_pPoints[m_count - 1].x, m_pPoints[m_count - 1].y, nullptr);
            LineTo(m_hDC, m_pPoints[0].x, m_pPoints[0].y);
        }
        Polyline(m_hDC, m_pPoints, m_count);
        SelectObject(m_hDC, old);
        DeleteObject(pen);
    }
    if (m_hBuffer) {
        GlobalUnlock(m_hBuffer);
        GlobalFree(m_hBuffer);
    }
    m_hBuffer = nullptr;
    m_pPoints = nullptr;
    m_count = 0;
}

COLORREF DxfColor(int n) {
    double r = 0, g = 0, b = 0;
    switch (n) {
        case 1:
            r = 1;
            break;
        case 2:
            r = g = 1;
            break;
        case 3:
            g = 1;
            break;
        case 4:
            g = b = 1;
            break;
        case 5:
            b = 1;
            break;
        case 6:
            r = b = 1;
            break;
        case 8:
            r = g = b = 0.5;
            break;
        case 9:
            r = g = b = 0.749;
            break;
        default:
            if (n >= 250 && n <= 255) {
                r = g = b = 1;
            } else if (n >= 10 && n <= 249) {
                int band = (n - 10) / 10, k = band / 4;
                double s = (band % 4) / 4.0;
                double d = (n % 2) ? 0.5 : 1, e = 1 - d;
                switch (k) {
                    case 0:
                        r = 1, g = 1 - d * (1 - s), b = e;
                        break;
                    case 1:
                        r = 1 - d * s, g = 1, b = e;
                        break;
                    case 2:
                        r = e, g = 1, b = 1 - d * (1 - s);
                        break;
                    case 3:
                        r = e, g = 1 - d * s, b = 1;
                        break;
                    case 4:
                        r = 1 - d * (1 - s), g = e, b = 1;
                        break;
                    default:
                        r = 1, g = e, b = 1 - d * s;
                        break;
                }
            }
            // 0, 7 and numbers outside the table: black.
            break;
    }
    return RGB((int)(r * 255), (int)(g * 255), (int)(b * 255));
}

DxfReader::DxfReader(const BYTE* data, DWORD size)
    : m_data(data),
      m_size(data ? size : 0),
      m_pos(0),
      m_code(-1),
      m_thickness(0),
      m_color(7),
      m_bad(false),
      m_minX(HUGE_VAL),
      m_maxX(-HUGE_VAL),
      m_minY(HUGE_VAL),
      m_maxY(-HUGE_VAL),
      m_minZ(HUGE_VAL),
      m_maxZ(-HUGE_VAL),
      m_offX(0),
      m_offY(0),
      m_sX(1.0),
      m_sY(1.0),
      m_lineWidth(0),
      m_polyline(nullptr),
      m_hDC(nullptr),
      m_drawing(false) {
    m_line[0] = m_value[0] = m_type[0] = m_text[0] = 0;
    memset(m_x, 0, sizeof(m_x));
    memset(m_y, 0, sizeof(m_y));
    memset(m_z, 0, sizeof(m_z));
    memset(m_reals, 0, sizeof(m_reals));
    memset(m_angles, 0, sizeof(m_angles));
    memset(m_ints, 0, sizeof(m_ints));
}

DxfReader::~DxfReader() {
    delete m_polyline;
}

void DxfReader::Rewind() {
    m_pos = 0;
    m_type[0] = 0;
}

bool DxfReader::ReadLine(char* line) {
    if (m_pos >= m_size)
        return false;
    DWORD n = 0;
    while (m_pos < m_size) {
        char c = (char)m_data[m_pos++];
        if (c == '\n')
            break;
        // An overlong line keeps its first bytes; the rest is passed over.
        if (n < LINE_SIZE)
            line[n++] = c;
    }
    while (n > 0 && line[n - 1] == '\r') --n;
    line[n] = 0;
    return true;
}

bool DxfReader::ReadGroup() {
    if (!ReadLine(m_line))
        return false;
    int code;
    m_code = sscanf(m_line, "%3d", &code) == 1 ? code : -1;
    return ReadLine(m_value);
}

void DxfReader::StartEntity(const char* type) {
    lstrcpynA(m_type, type, sizeof(m_type));
    m_color = 7;
    m_bad = false;
    // No value of one entity leaks into the next (a polyline's flags, a
    // line's missing end point).
    m_text[0] = 0;
    memset(m_x, 0, sizeof(m_x));
    memset(m_y, 0, sizeof(m_y));
    memset(m_z, 0, sizeof(m_z));
    memset(m_reals, 0, sizeof(m_reals));
    memset(m_angles, 0, sizeof(m_angles));
    memset(m_ints, 0, sizeof(m_ints));
    m_thickness = 0;
}

void DxfReader::Run(bool drawing) {
    m_drawing = drawing;
    Rewind();
    bool inSection = false, expectName = false;
    while (ReadGroup()) {
        if (!inSection) {
            if (m_code == 0 && strstr(m_value, "EOF"))
                break;
            if (m_code == 0) {
                expectName = strstr(m_value, "SECTION") != nullptr;
                continue;
            }
            if (expectName && m_code == 2) {
                inSection = strstr(m_value, "ENTITIES") || strstr(m_value, "BLOCKS");
                expectName = false;
                m_type[0] = 0;
            }
            continue;
        }
        int c = m_code;
        if (c == 0) {
            if (strstr(m_value, "ENDSEC")) {
                ProcessEntity();
                m_type[0] = 0;
                inSection = false;
                continue;
            }
            if (strstr(m_value, "EOF")) {
                ProcessEntity();
                break;
            }
            ProcessEntity();
            StartEntity(m_value);
            continue;
        }
        if (c == 1) {
            lstrcpynA(m_text, m_value, sizeof(m_text));
            continue;
        }
        double v;
        if ((c >= 10 && c <= 18) || (c >= 20 && c <= 28) || (c >= 30 && c <= 37) || c == 39 ||
            (c >= 40 && c <= 48) || (c >= 50 && c <= 58)) {
            if (sscanf(m_value, "%lf", &v) != 1)
                continue;
            if (!isfinite(v)) {
                m_bad = true;
                continue;
            }
            auto extend = [&](double& lo, double& hi) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            };
            if (c <= 18) {
                m_x[c - 10] = v;
                extend(m_minX, m_maxX);
            } else if (c <= 28) {
                m_y[c - 20] = v;
                extend(m_minY, m_maxY);
            } else if (c <= 37) {
                m_z[c - 30] = v;
                extend(m_minZ, m_maxZ);
            } else if (c == 39) {
                m_thickness = v;
            } else if (c <= 48) {
                m_reals[c - 40] = v;
            } else {
                m_angles[c - 50] = v;
            }
        } else if (c == 62) {
            int n;
            if (sscanf(m_value, "%6d", &n) == 1)
                m_color = n;
        } else if (c >= 70 && c <= 78) {
            long n;
            if (sscanf(m_value, "%ld", &n) == 1)
                m_ints[c - 70] = n;
        }
    }
}

bool DxfReader::Transform(double x, double y, POINT* out) const {
    return ToDevice((x + m_offX) * m_sX, &out->x) && ToDevice((y + m_offY) * m_sY, &out->y);
}

void DxfReader::FlushPolyline(bool draw) {
    if (!m_polyline)
        return;
    if (draw)
        m_polyline->Flush();
    delete m_polyline;
    m_polyline = nullptr;
}

void DxfReader::DrawLineEntity() {
    if (m_x[0] == m_x[1] && m_y[0] == m_y[1])
        return;
    POINT a, b;
    if (!Transform(m_x[0], m_y[0], &a) || !Transform(m_x[1], m_y[1], &b))
        return;
    HPEN pen = CreatePen(PS_SOLID, 1, DxfColor(m_color));
    HGDIOBJ old = SelectObject(m_hDC, pen);
    MoveToEx(m_hDC, a.x, a.y, nullptr);
    LineTo(m_hDC, b.x, b.y);
    SelectObject(m_hDC, old);
    DeleteObject(pen);
}

void DxfReader::DrawArc(bool full) {
    POINT c;
    LONG r;
    if (!Transform(m_x[0], m_y[0], &c) || !ToDevice(fabs(m_reals[0] * m_sX), &r))
        return;
    long long l = (long long)c.x - r, t = (long long)c.y - r, rt = (long long)c.x + r,
              b = (long long)c.y + r;
    if (l < INT_MIN || t < INT_MIN || rt > INT_MAX || b > INT_MAX)
        return;
    POINT s = {(LONG)rt, c.y}, e = s;
    if (!full) {
        const double rad = 3.14159265358979323846 / 180;
        s = {c.x + (LONG)(r * cos(m_angles[0] * rad)), c.y + (LONG)(r * sin(m_angles[0] * rad))};
        e = {c.x + (LONG)(r * cos(m_angles[1] * rad)), c.y + (LONG)(r * sin(m_angles[1] * rad))};
    }
    HPEN pen = CreatePen(PS_SOLID, 1, DxfColor(m_color));
    HGDIOBJ old = SelectObject(m_hDC, pen);
    Arc(m_hDC, (int)l, (int)t, (int)rt, (int)b, s.x, s.y, e.x, e.y);
    SelectObject(m_hDC, old);
    DeleteObject(pen);
}

void DxfReader::DrawSolid() {
    POINT p[4];
    for (int i = 0; i < 4; ++i)
        if (!Transform(m_x[i], m_y[i], &p[i]))
            return;
    auto same = [](POINT a, POINT b) { return a.x == b.x && a.y == b.y; };
    if (same(p[0], p[1]) || same(p[1], p[2]) || same(p[0], p[2]))
        return;
    POINT order[4] = {p[0], p[1], p[3], p[2]};
    HBRUSH brush = CreateSolidBrush(DxfColor(m_color));
    HGDIOBJ oldBrush = SelectObject(m_hDC, brush);
    HGDIOBJ oldPen = SelectObject(m_hDC, GetStockObject(NULL_PEN));
    Polygon(m_hDC, order, 4);
    SelectObject(m_hDC, oldPen);
    SelectObject(m_hDC, oldBrush);
    DeleteObject(brush);
}

void DxfReader::DrawText() {
    double h = m_reals[0], angle = m_angles[0];
    m_angles[0] = 0;
    POINT at;
    LONG height;
    if (!Transform(m_x[0], m_y[0] + h, &at) || !ToDevice(fabs(1.2 * h * m_sX), &height))
        return;
    char text[LINE_SIZE + 1];
    lstrcpynA(text, m_text, sizeof(text));
    for (char* p = text; *p; ++p)
        if (*p == '\r' || *p == '\n')
            *p = ' ';
    LONG turn;
    if (!ToDevice(3600 - trunc(10 * angle), &turn))
        return;
    HFONT font =
        CreateFontA(-height, 0, turn, turn, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    HGDIOBJ old = SelectObject(m_hDC, font);
    int mode = SetBkMode(m_hDC, TRANSPARENT);
    COLORREF color = SetTextColor(m_hDC, DxfColor(m_color));
    TextOutA(m_hDC, at.x, at.y, text, (int)strlen(text));
    SetTextColor(m_hDC, color);
    SetBkMode(m_hDC, mode);
    SelectObject(m_hDC, old);
    DeleteObject(font);
}

void DxfReader::ProcessEntity() {
    if (!m_drawing || !m_type[0])
        return;
    // An entity with a value that is no finite number is skipped whole.
    if (m_bad)
        return;
    const char* t = m_type;
    bool polyline = strstr(t, "POLYLINE") != nullptr;
    if (strstr(t, "LINE") && !polyline && !strstr(t, "3DLINE"))
        DrawLineEntity();
    else if (strstr(t, "POINT"))
        return;
    else if (strstr(t, "CIRCLE"))
        DrawArc(true);
    else if (strstr(t, "ARC"))
        DrawArc(false);
    else if (strstr(t, "TRACE"))
        return;
    else if (strstr(t, "SOLID"))
        DrawSolid();
    else if (strstr(t, "TEXT"))
        DrawText();
    else if (strstr(t, "SHAPE") || strstr(t, "BLOCK") || strstr(t, "ENDBLK") ||
             strstr(t, "INSERT") || strstr(t, "ATTDEF") || strstr(t, "ATTRIB"))
        return;
    else if (polyline) {
        FlushPolyline(true);
        m_polyline = new (std::nothrow) PolylineRecorder(m_hDC, m_offX, m_offY, m_sX, m_sY, this);
        if (m_polyline) {
            m_polyline->SetColor(DxfColor(m_color));
            m_polyline->SetOption(70, m_ints[0]);
        }
    } else if (strstr(t, "VERTEX")) {
        if (m_polyline)
            m_polyline->AddPoint(m_x[0], m_y[0]);
    } else if (strstr(t, "SEQEND")) {
        FlushPolyline(true);
    }
}

HENHMETAFILE DxfReader::Convert() {
    Run(false);
    // An axis without values counts as 0..0.
    if (m_minX > m_maxX)
        m_minX = m_maxX = 0;
    if (m_minY > m_maxY)
        m_minY = m_maxY = 0;
    double dx = m_maxX - m_minX, dy = m_maxY - m_minY;
    double scale = (dx < 20 && dy < 20) ? 1000 : (dx < 100 && dy < 100) ? 100 : 1;
    m_sX = m_sY = scale;
    m_offX = -m_minX;
    m_offY = -m_maxY;
    double w = dx * m_sX, h = dy * m_sY;
    auto clamp = [](double v) {
        return (LONG)std::max((double)INT_MIN / 2, std::min((double)INT_MAX / 2, v));
    };
    RECT frame = {clamp(-w / 50), clamp(-h / 50), clamp(w + w / 50), clamp(h + h / 50)};
    m_hDC = CreateEnhMetaFileA(nullptr, nullptr, &frame, nullptr);
    if (!m_hDC) {
        LOG_WIN32_ERROR(0, "DXFParse: Cannot create memory MetaFile file: %s", "memory");
        return nullptr;
    }
    int mode = SetMapMode(m_hDC, MM_HIMETRIC);
    HGDIOBJ pen = SelectObject(m_hDC, GetStockObject(WHITE_PEN));
    Run(true);
    // A polyline still open at the end is not drawn.
    FlushPolyline(false);
    SelectObject(m_hDC, pen);
    SetMapMode(m_hDC, mode);
    HENHMETAFILE result = CloseEnhMetaFile(m_hDC);
    m_hDC = nullptr;
    return result;
}

HENHMETAFILE DXFParse(const BYTE* data, DWORD size) {
    TRACE_POINT();
    DxfReader reader(data, size);
    return reader.Convert();
}
