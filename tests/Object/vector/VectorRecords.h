// Stored vector records written by hand, field by field, for the readers'
// tests (never by the code's own Save).
#pragma once

#include <windows.h>

#include <stdint.h>

#include <initializer_list>
#include <string>
#include <vector>

class RecordWriter {
public:
    RecordWriter& I32(int32_t v) {
        for (int i = 0; i < 4; ++i) m_bytes.push_back((uint8_t)((uint32_t)v >> (8 * i)));
        return *this;
    }
    RecordWriter& Bytes(const std::vector<uint8_t>& b) {
        m_bytes.insert(m_bytes.end(), b.begin(), b.end());
        return *this;
    }
    const std::vector<uint8_t>& Get() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// A path record: kind, corner percent, edit value, count, points.
inline std::vector<uint8_t> PathRecord(int kind, int corner, int edit,
                                       std::initializer_list<POINT> points) {
    RecordWriter w;
    w.I32(kind).I32(corner).I32(edit).I32((int32_t)points.size());
    for (const POINT& p : points) w.I32(p.x).I32(p.y);
    return w.Get();
}

// The first n bytes of a record.
inline std::vector<uint8_t> Cut(const std::vector<uint8_t>& bytes, size_t n) {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + (ptrdiff_t)n);
}

// A graph meta's record: the path, the fill's and the line mode's records,
// ink mode, the attribute record (state, base value, bounds, two text flags,
// meta id, selection), then the motion block as a new shape has it.
struct GraphMetaFields {
    int kind = 4, corner = 0, edit = 0;
    std::vector<POINT> points;
    std::vector<uint8_t> fill, line;
    int ink = 0, state = 4, base = 1;
    RECT bounds = {0, 0, 0, 0};
    int metaId = 1;
    // The vector-file form: the media index after the fill, then `media`
    // (the embedded picture's part, when there is one).
    bool file = false;
    int mediaIndex = -2;
    std::vector<uint8_t> media;
};
// An embedded picture's part: name length, name, size, bytes.
inline std::vector<uint8_t> EmbeddedPicture(const std::string& name,
                                            const std::vector<uint8_t>& data) {
    RecordWriter w;
    w.I32((int32_t)name.size()).Bytes(std::vector<uint8_t>(name.begin(), name.end()));
    w.I32((int32_t)data.size()).Bytes(data);
    return w.Get();
}
inline std::vector<uint8_t> GraphMetaRecord(const GraphMetaFields& g) {
    RecordWriter w;
    w.I32(g.kind).I32(g.corner).I32(g.edit).I32((int32_t)g.points.size());
    for (const POINT& p : g.points) w.I32(p.x).I32(p.y);
    w.Bytes(g.fill);
    if (g.file)
        w.I32(g.mediaIndex).Bytes(g.media);
    w.Bytes(g.line).I32(g.ink).I32(g.state).I32(g.base);
    w.I32(g.bounds.left).I32(g.bounds.top).I32(g.bounds.right).I32(g.bounds.bottom);
    w.I32(0).I32(0).I32(g.metaId).I32(0);
    // roll mode, roll angle, delay, duration, direction, the speed curve
    w.I32(0).I32(0).I32(0).I32(3000).I32(1);
    for (int i = 0; i <= 10; ++i) w.I32(i * 1000);
    return w.Get();
}
