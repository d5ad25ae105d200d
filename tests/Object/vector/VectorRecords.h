// Stored vector records written by hand, field by field, for the readers'
// tests (never by the code's own Save).
#pragma once

#include <windows.h>

#include <stdint.h>

#include <initializer_list>
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
