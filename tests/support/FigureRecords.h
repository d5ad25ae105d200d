// Subject figure records written field by field, independently of the
// figures' own Save, for the readers' and the round-trip tests.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "ProjectWriter.h"

class FigureBytes {
public:
    FigureBytes& I32(int32_t v) {
        for (int i = 0; i < 4; ++i) m_bytes.push_back((uint8_t)((uint32_t)v >> (8 * i)));
        return *this;
    }
    FigureBytes& Bytes(const std::vector<uint8_t>& b) {
        m_bytes.insert(m_bytes.end(), b.begin(), b.end());
        return *this;
    }
    FigureBytes& List(const std::vector<int32_t>& values) {
        I32((int32_t)values.size());
        for (int32_t v : values) I32(v);
        return *this;
    }
    const std::vector<uint8_t>& Get() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// A fill holder's record: the fill object's own (the writers' solid fill).
inline std::vector<uint8_t> FigureFill(COLORREF color) {
    const std::string s = SolidFillRecord(color, 1, 0, 0xFFFFFF);
    return std::vector<uint8_t>(s.begin(), s.end());
}

// What a figure's record holds.
struct FigureFields {
    int kind = 83, corner = 0, edit = 0;
    // The path part's own points (figures usually have none).
    std::vector<POINT> points;
    // One fill record per holder.
    std::vector<std::vector<uint8_t>> holders;
    // The 48-byte line mode record.
    std::vector<uint8_t> line;
    int ink = 0, state = 0, base = 4;
    RECT bounds = {0, 0, 0, 0};
    int metaId = 1;
    // The vector-file form: the media index after the holder list.
    bool file = false;
    int mediaIndex = -2;
    // Parameter lists 1 (origin, then the shape), 2 and 3 (options).
    std::vector<int32_t> list1, list2, list3;
    int scale = 100;
};

// path (kind, corner percent, edit value, count, points), holder count and
// fill records, [media index], line mode, ink mode, the attribute record
// (state, base value, bounds, two text flags, meta id, selection), the
// motion block of a new shape, then list 2, list 1, list 3 and the scale.
inline std::vector<uint8_t> FigureRecord(const FigureFields& f) {
    FigureBytes w;
    w.I32(f.kind).I32(f.corner).I32(f.edit).I32((int32_t)f.points.size());
    for (const POINT& p : f.points) w.I32(p.x).I32(p.y);
    w.I32((int32_t)f.holders.size());
    for (const auto& h : f.holders) w.Bytes(h);
    if (f.file)
        w.I32(f.mediaIndex);
    w.Bytes(f.line).I32(f.ink).I32(f.state).I32(f.base);
    w.I32(f.bounds.left).I32(f.bounds.top).I32(f.bounds.right).I32(f.bounds.bottom);
    w.I32(0).I32(0).I32(f.metaId).I32(0);
    // roll mode, roll angle, delay, duration, direction, the speed curve
    w.I32(0).I32(0).I32(0).I32(3000).I32(1);
    for (int i = 0; i <= 10; ++i) w.I32(i * 1000);
    w.List(f.list2).List(f.list1).List(f.list3).I32(f.scale);
    return w.Get();
}
