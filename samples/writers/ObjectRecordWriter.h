// Writes the shared prefix of object stream records, field by field, for
// object tests, modules and the sample works.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

struct ObjectPrefix {
    int32_t x = 100, y = 50, width = 200, height = 100, angle = 0;
    uint32_t flags = 0x10;  // visible bit left out: loading sets it
    uint32_t alpha = 255;
    bool transitions = true;              // two 48-byte zero effect records and a decoration record
    std::vector<uint8_t> showTransition;  // replaces the show part's 48 zero bytes
    std::vector<uint8_t> decoration;      // a plug-in's class id and record: replaces "no plug-in"
    uint32_t parts = 0;                   // bit 0 attached part, bit 1 cursor, bit 2 tooltip
    std::vector<uint8_t> attached, cursor, tooltip;  // their records, when announced
    std::vector<uint8_t> eventProc = {0, 0, 0, 0};   // the test procedure's: length 0
    uint32_t abilityCount = 1;                       // counts "_EventProc", which has no record
    std::vector<uint8_t> abilities;                  // the records after the count
};

class RecordBytes {
public:
    RecordBytes& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back((uint8_t)(v >> (8 * i)));
        return *this;
    }
    RecordBytes& I32(int32_t v) { return U32((uint32_t)v); }
    RecordBytes& Zeros(size_t n) {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
    RecordBytes& Bytes(const std::vector<uint8_t>& b) {
        bytes.insert(bytes.end(), b.begin(), b.end());
        return *this;
    }
    // A UTF-16 text of n characters (no terminator).
    RecordBytes& Wide(const std::wstring& text) {
        for (wchar_t c : text) {
            bytes.push_back((uint8_t)(c & 0xFF));
            bytes.push_back((uint8_t)(c >> 8));
        }
        return *this;
    }
    std::vector<uint8_t> bytes;
};

// render record (28), [show 48, hide 48, decoration 28], parts word, cursor,
// tooltip, event procedure, reserved word, ability count, ability records.
inline std::vector<uint8_t> WriteObjectPrefix(const ObjectPrefix& p) {
    RecordBytes r;
    r.I32(p.x).I32(p.y).I32(p.width).I32(p.height).I32(p.angle).U32(p.flags).U32(p.alpha);
    if (p.transitions) {
        if (p.showTransition.empty())
            r.Zeros(48);
        else
            r.Bytes(p.showTransition);
        r.Zeros(48);
        // decoration: time limit -1, start code 1201, pause code 1202, no plug-in
        r.I32(-1).I32(1201).I32(1202);
        if (p.decoration.empty())
            r.Zeros(16);
        else
            r.Bytes(p.decoration);
    }
    r.U32(p.parts);
    if (p.parts & 1)
        r.Bytes(p.attached);
    if (p.parts & 2)
        r.Bytes(p.cursor);
    if (p.parts & 4)
        r.Bytes(p.tooltip);
    r.Bytes(p.eventProc);
    r.U32(0).U32(p.abilityCount).Bytes(p.abilities);
    return r.bytes;
}

// One static ability record: id, name, data length L (counting itself), data.
inline std::vector<uint8_t> StaticAbilityRecord(int32_t id, const std::wstring& name,
                                                const std::vector<uint8_t>& data) {
    RecordBytes r;
    r.I32(id).U32((uint32_t)name.size()).Wide(name).U32((uint32_t)data.size() + 4).Bytes(data);
    return r.bytes;
}

// The picture object's record after the shared prefix: flags, media name as a
// stream string (count with the NUL), media size, ratio, 8 reserved, clip
// left and top, 8 reserved, start and end colour, tolerance, then the
// database link's record (flags, position, two empty names).
struct PictureRecord {
    uint32_t flags = 4;
    std::wstring name;
    int32_t mediaWidth = 0, mediaHeight = 0, ratio = 100;
    int32_t clipLeft = 0, clipTop = 0;
    uint32_t startColor = 0, endColor = 0;
    int32_t tolerance = 0;
};
inline std::vector<uint8_t> WritePictureRecord(const PictureRecord& p) {
    RecordBytes r;
    r.U32(p.flags);
    if (p.name.empty())
        r.U32(0);
    else
        r.U32((uint32_t)p.name.size() + 1).Wide(p.name).Zeros(2);
    r.I32(p.mediaWidth).I32(p.mediaHeight).I32(p.ratio).Zeros(8);
    r.I32(p.clipLeft).I32(p.clipTop).Zeros(8);
    r.U32(p.startColor).U32(p.endColor).I32(p.tolerance);
    r.U32(0).I32(0).U32(0).U32(0);
    return r.bytes;
}

// The group object's record (read by the container extension's load, after
// the event procedure's record): not used, flags, entry child, exit child,
// initial child, current child, third value, delay in milliseconds.
struct GroupRecord {
    uint32_t flags = 0;
    int32_t entryChild = 0, exitChild = 0, initialChild = 0, currentChild = 0;
    int32_t thirdValue = 0, delay = 100;
};
inline std::vector<uint8_t> WriteGroupRecord(const GroupRecord& g) {
    RecordBytes r;
    r.U32(0).U32(g.flags).I32(g.entryChild).I32(g.exitChild).I32(g.initialChild);
    r.I32(g.currentChild).I32(g.thirdValue).I32(g.delay);
    return r.bytes;
}

// The button object's record (read by the container extension's load, after
// the event procedure's record): value, max value, flags, type, style, frame
// colour, the caption's font record, face count n, n alias indexes, then n
// faces (the fill's record, effect count m, m times class identifier and the
// effect's record).
struct ButtonRecord {
    int32_t value = 0, maxValue = 0, flags = 1, type = 0, style = 0;
    uint32_t frameColor = 0;
    std::vector<uint8_t> caption;  // the font object's record
    std::vector<int32_t> alias;
    std::vector<std::vector<uint8_t>> faces;  // each: fill record, count, effects
};
inline std::vector<uint8_t> WriteButtonRecord(const ButtonRecord& b) {
    RecordBytes r;
    r.I32(b.value).I32(b.maxValue).I32(b.flags).I32(b.type).I32(b.style).U32(b.frameColor);
    r.Bytes(b.caption).U32((uint32_t)b.alias.size());
    for (int32_t a : b.alias) r.I32(a);
    for (const auto& f : b.faces) r.Bytes(f);
    return r.bytes;
}

// One path of the path-motion ability's record: kind, corner rounding, value
// B, bounds, shape flags (bit 4 set: the extended attributes follow), value
// C, roll mode, roll angle, delay, duration, direction, eleven speed-curve
// values, point count and points, then line mode, width, second value,
// three colours, 16 reserved bytes and the last value.
struct MotionPathRecord {
    int32_t kind = 0, corner = 50, valueB = 0;
    int32_t bounds[4] = {0, 0, 0, 0};
    uint32_t flags = 0x10;
    int32_t valueC = 1;
    int32_t rollMode = 0, rollAngle = 0, delay = 0, duration = 1000, direction = 1;
    int32_t curve[11] = {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000};
    std::vector<POINT> points;
    int32_t lineWidth = 1;
};

// The path-motion ability's own record: 8 reserved bytes, motion flags, start
// and pause codes, pass count with the marker 0xF0F0 above it, start angle,
// time limit, path count and paths, then (with the marker) drag flags and
// drag path index.
struct PathMotionRecord {
    uint32_t motionFlags = 1;
    int32_t startCode = 1200, pauseCode = 0;
    uint16_t passCount = 1;
    bool marker = true;
    int32_t startAngle = 0, timeLimit = 0;
    std::vector<MotionPathRecord> paths;
    uint32_t dragFlags = 0;
    int32_t dragPath = -1;
};
inline std::vector<uint8_t> WritePathMotionRecord(const PathMotionRecord& p) {
    RecordBytes r;
    r.Zeros(8).U32(p.motionFlags).I32(p.startCode).I32(p.pauseCode);
    r.U32(p.passCount | (p.marker ? 0xF0F00000u : 0u)).I32(p.startAngle).I32(p.timeLimit);
    r.U32((uint32_t)p.paths.size());
    for (const MotionPathRecord& m : p.paths) {
        r.I32(m.kind).I32(m.corner).I32(m.valueB);
        for (int32_t b : m.bounds) r.I32(b);
        r.U32(m.flags).I32(m.valueC);
        r.I32(m.rollMode).I32(m.rollAngle).I32(m.delay).I32(m.duration).I32(m.direction);
        for (int32_t c : m.curve) r.I32(c);
        r.U32((uint32_t)m.points.size());
        for (const POINT& pt : m.points) r.I32(pt.x).I32(pt.y);
        if (m.flags & 0x10) {
            r.I32(5).U32((uint16_t)m.lineWidth).U32(0);
            r.U32(0x808080).U32(0x808080).U32(0xFFFFFF).Zeros(16).I32(0);
        }
    }
    if (p.marker)
        r.U32(p.dragFlags).I32(p.dragPath);
    return r.bytes;
}
