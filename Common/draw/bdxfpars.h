// The DXF reader: a two-dimensional drawing in the DXF text format, held in
// memory, turned into an enhanced metafile; and the polyline recorder that
// collects one DXF polyline and draws it.
#pragma once

#include <windows.h>

class DxfReader;

// Collects the vertices of one polyline in device units and draws them as
// one GDI polyline.
class PolylineRecorder {
public:
    // dc may be null (nothing is drawn); owner gives the line width.
    PolylineRecorder(HDC dc, double xOffset, double yOffset, double xScale, double yScale,
                     const DxfReader* owner);
    ~PolylineRecorder();
    PolylineRecorder(const PolylineRecorder&) = delete;
    PolylineRecorder& operator=(const PolylineRecorder&) = delete;

    // Appends the transformed point; false (nothing appended) when it lies
    // outside 32 bits or the buffer cannot grow.
    bool AddPoint(double x, double y);
    // Group 70: bit 0 closes the polyline; other codes are ignored.
    void SetOption(int code, long value);
    void SetColor(COLORREF color) { m_color = color; }
    void GetBounds(short* minX, short* maxX, short* minY, short* maxY) const;
    // Draws (when there is a context) and frees the points.
    void Flush();

    int GetCount() const { return m_count; }
    int GetCapacity() const { return m_capacity; }
    bool IsClosed() const { return m_closed != 0; }

private:
    bool Grow();

    HGLOBAL m_hBuffer;
    POINT* m_pPoints;
    int m_count;
    int m_capacity;
    HDC m_hDC;
    short m_minX, m_minY, m_maxX, m_maxY;
    double m_xOffset, m_yOffset, m_xScale, m_yScale;
    COLORREF m_color;
    int m_closed;
    const DxfReader* m_owner;
};

// The colour of a DXF colour number; numbers outside the table are black.
COLORREF DxfColor(int number);

// The drawing as an enhanced metafile (the caller deletes it), or null.
HENHMETAFILE DXFParse(const BYTE* data, DWORD size);

// Reader state of one conversion (see DXFParse).
class DxfReader {
public:
    DxfReader(const BYTE* data, DWORD size);
    ~DxfReader();
    DxfReader(const DxfReader&) = delete;
    DxfReader& operator=(const DxfReader&) = delete;

    HENHMETAFILE Convert();
    double GetLineWidth() const { return m_lineWidth; }
    // The scale chosen by the measuring pass.
    double GetScaleX() const { return m_sX; }
    double GetScaleY() const { return m_sY; }

private:
    enum { LINE_SIZE = 2048 };

    void Rewind();
    bool ReadLine(char* line);
    bool ReadGroup();
    void Run(bool drawing);
    void StartEntity(const char* type);
    void ProcessEntity();
    bool Transform(double x, double y, POINT* out) const;
    void DrawLineEntity();
    void DrawArc(bool full);
    void DrawSolid();
    void DrawText();
    void FlushPolyline(bool draw);

    const BYTE* m_data;
    DWORD m_size;
    DWORD m_pos;
    char m_line[LINE_SIZE + 1];
    int m_code;
    char m_value[LINE_SIZE + 1];

    char m_type[LINE_SIZE + 1];
    char m_text[LINE_SIZE + 1];
    double m_x[9], m_y[9], m_z[8];
    double m_thickness;
    double m_reals[9], m_angles[9];
    int m_color;
    long m_ints[9];
    bool m_bad;  // a value of this entity is not a finite number

    double m_minX, m_maxX, m_minY, m_maxY, m_minZ, m_maxZ;
    double m_offX, m_offY, m_sX, m_sY;
    double m_lineWidth;
    PolylineRecorder* m_polyline;
    HDC m_hDC;
    bool m_drawing;
};
