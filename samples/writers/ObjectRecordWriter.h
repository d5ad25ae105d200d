// Writes the shared prefix of object stream records, field by field, for
// object tests, modules and the sample works.
#pragma once

#include <windows.h>
#include <stdint.h>
#include <string.h>

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
    RecordBytes& F32(float v) {
        uint32_t bits = 0;
        memcpy(&bits, &v, 4);
        return U32(bits);
    }
    RecordBytes& U16(uint16_t v) {
        bytes.push_back((uint8_t)v);
        bytes.push_back((uint8_t)(v >> 8));
        return *this;
    }
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

// The RTF object's record after the shared prefix: flags, extra flags (work
// version 10 and later), reserved value, default font (60-byte LOGFONT),
// hot-word cursor record, source part, event-sink table, spare text.
struct RtfRecordRun {
    uint8_t setFlags = 0, colorFlags = 0, itemKind = 0;
    int16_t size = 24, font = 0, charClass = 1, style = 0, foreColor = 0, backColor = 0;
    int16_t spacing = 0;
    int32_t picture = -1, depth = 0, length = 0;
};
struct RtfRecordParagraph {
    std::string text;
    std::vector<RtfRecordRun> runs;
    int32_t align = 0, tabWidth = 640, firstIndent = 0, leftIndent = 0, rightIndent = 0;
    int16_t spaceAfter = 0, spaceBefore = 0, lineSpacing = 0;
};
struct RtfRecordFont {
    int16_t number = 0;
    uint8_t charset = 0, pitchFamily = 0;
    std::string face;  // written into 32 bytes as given (no NUL added past 32)
};
struct RtfRecordPicture {
    int32_t scaleX = 0, scaleY = 0, sourceWidth = 0, sourceHeight = 0, kind = 37, mapMode = -1;
    int32_t shownWidth = 0, shownHeight = 0, goalWidth = 0, goalHeight = 0;
    std::vector<uint8_t> data;
    int64_t storedLength = -1;  // -1: the data's size
};
struct RtfRecordHotWord {
    int32_t paragraph = 0, id = 0, length = 0, start = 0;
};
struct RtfRecord {
    uint32_t flags = 0x30;
    bool extraField = true;  // works of version 10 and later
    uint32_t extraFlags = 0;
    int32_t reserved = 0;
    int32_t fontHeight = -16, fontWeight = 400;
    uint8_t fontCharset = 1;
    std::string fontFace = "Arial";
    std::vector<uint8_t> cursor = {0, 0, 0, 0};  // kind 0: none
    // Source kind 0.
    std::vector<RtfRecordFont> fonts;
    std::vector<uint32_t> colors;
    std::vector<RtfRecordPicture> pictures;
    std::vector<RtfRecordParagraph> paragraphs;
    std::vector<RtfRecordHotWord> hotWords;
    // Source kind 1.
    std::wstring mediaName;
    std::wstring spareText;  // written when flags bit 3
};
inline void WriteRtfRun(RecordBytes& r, const RtfRecordRun& run) {
    r.bytes.push_back(run.setFlags);
    r.bytes.push_back(run.colorFlags);
    r.bytes.push_back(run.itemKind);
    r.bytes.push_back(0);
    auto i16 = [&r](int16_t v) {
        r.bytes.push_back((uint8_t)v);
        r.bytes.push_back((uint8_t)((uint16_t)v >> 8));
    };
    i16(run.size);
    i16(0);  // kerning
    i16(run.spacing);
    i16(run.font);
    i16(run.charClass);
    i16(run.font), i16(run.font), i16(run.font);  // class fonts
    i16(run.style);
    i16(run.foreColor);
    i16(run.backColor);
    i16(0);
    r.I32(run.picture).I32(0).I32(run.depth).I32(run.length);
}
inline std::vector<uint8_t> WriteRtfRecord(const RtfRecord& rec) {
    RecordBytes r;
    auto i16 = [&r](int16_t v) {
        r.bytes.push_back((uint8_t)v);
        r.bytes.push_back((uint8_t)((uint16_t)v >> 8));
    };
    auto face32 = [&r](const std::string& face) {
        std::string f = face.substr(0, 32);
        f.resize(32, '\0');
        r.bytes.insert(r.bytes.end(), f.begin(), f.end());
    };
    r.U32(rec.flags);
    if (rec.extraField)
        r.U32(rec.extraFlags);
    r.I32(rec.reserved);
    // LOGFONT: height, width, escapement, orientation, weight, 8 bytes, face
    r.I32(rec.fontHeight).I32(0).I32(0).I32(0).I32(rec.fontWeight);
    r.bytes.insert(r.bytes.end(), {0, 0, 0, rec.fontCharset, 0, 0, 0, 0});
    face32(rec.fontFace);
    r.Bytes(rec.cursor);
    switch (rec.flags & 7) {
        case 0: {
            r.U32((uint32_t)rec.fonts.size());
            for (const RtfRecordFont& f : rec.fonts) {
                i16(f.number);
                r.bytes.push_back(f.charset);
                r.bytes.push_back(f.pitchFamily);
                face32(f.face);
            }
            r.U32((uint32_t)rec.colors.size());
            for (uint32_t c : rec.colors) r.U32(c);
            if (rec.extraFlags & 1) {
                r.U32((uint32_t)rec.pictures.size());
                for (const RtfRecordPicture& p : rec.pictures) {
                    // 64 bytes: 0, ten values, handle 0, length, pointer 0, 8 zero bytes
                    r.U32(0).I32(p.scaleX).I32(p.scaleY).I32(p.sourceWidth).I32(p.sourceHeight);
                    r.I32(p.kind).I32(p.mapMode).I32(p.shownWidth).I32(p.shownHeight);
                    r.I32(p.goalWidth).I32(p.goalHeight).U32(0);
                    r.U32(p.storedLength < 0 ? (uint32_t)p.data.size() : (uint32_t)p.storedLength);
                    r.U32(0).Zeros(8).Bytes(p.data);
                }
            }
            r.U32((uint32_t)rec.paragraphs.size());
            for (const RtfRecordParagraph& p : rec.paragraphs) {
                r.U32((uint32_t)p.text.size());
                r.bytes.insert(r.bytes.end(), p.text.begin(), p.text.end());
                r.U32((uint32_t)p.runs.size());
                for (const RtfRecordRun& run : p.runs) WriteRtfRun(r, run);
                if (rec.flags & 0x20) {
                    r.I32(0).I32(p.align).I32(p.tabWidth).I32(p.firstIndent).I32(p.leftIndent);
                    r.I32(p.rightIndent);
                    i16(p.spaceAfter), i16(p.spaceBefore), i16(p.lineSpacing), i16(0);
                }
            }
            r.U32((uint32_t)rec.hotWords.size());
            for (const RtfRecordHotWord& h : rec.hotWords)
                r.I32(h.paragraph).I32(h.id).I32(h.length).I32(h.start);
            break;
        }
        case 1:
            if (rec.mediaName.empty())
                r.U32(0);
            else
                r.U32((uint32_t)rec.mediaName.size()).Wide(rec.mediaName);
            break;
        default:
            r.U32(0).I32(0).U32(0).U32(0);  // the database link's record
            break;
    }
    r.U32(0);  // event-sink table: no rows
    if (rec.flags & 8)
        r.U32((uint32_t)rec.spareText.size()).Wide(rec.spareText);
    return r.bytes;
}

// A line style's 48-byte record: type, width, tile code, main colour, second
// colour, background colour, 16 reserved bytes, flags, 4 reserved bytes.
struct LineModeFields {
    int32_t type = 5;  // solid
    uint32_t width = 1, code = 0;
    uint32_t color = 0, color2 = 0, backColor = 0xFFFFFF;
    uint32_t flags = 0;
};
inline std::vector<uint8_t> WriteLineModeRecord(const LineModeFields& l) {
    RecordBytes r;
    r.I32(l.type).U32(l.width).U32(l.code).U32(l.color).U32(l.color2).U32(l.backColor);
    r.Zeros(16).U32(l.flags).Zeros(4);
    return r.bytes;
}

// One shape of a vector frame: its type and its record.
struct VecFrameMeta {
    int32_t type;
    std::vector<uint8_t> body;
};
// A vector frame in the object stream: flags (16 bits), next meta id,
// count, and per meta its type, its body's length (8 bytes, when flag bit
// 2 is set) and the body.
inline void WriteVecFrameRecord(RecordBytes& r, uint16_t flags, int32_t nextId,
                                const std::vector<VecFrameMeta>& metas) {
    r.U16(flags).I32(nextId).U32((uint32_t)metas.size());
    for (const auto& m : metas) {
        r.I32(m.type);
        if (flags & 4)
            r.U32((uint32_t)m.body.size()).U32(0);
        r.Bytes(m.body);
    }
}

// The draw board's record after the shared prefix: its drawing settings
// (value, ink mode, line mode, a 60-byte LOGFONTA, the fill's record), the
// kept value, then its frame.
struct DrawBoardRecord {
    int32_t value = 0, ink = 0;
    LineModeFields line;
    int32_t fontHeight = 133, fontWeight = 0;
    std::string face = "Arial";
    std::vector<uint8_t> fill;  // a fill object's record
    int32_t kept = 50;
    uint16_t frameFlags = 6;
    int32_t nextId = 1;
    using Meta = VecFrameMeta;
    std::vector<Meta> metas;
};
inline std::vector<uint8_t> WriteDrawBoardRecord(const DrawBoardRecord& b) {
    RecordBytes r;
    r.I32(b.value).I32(b.ink).Bytes(WriteLineModeRecord(b.line));
    // LOGFONTA: height, width, escapement, orientation, weight, italic,
    // underline, strike-out, charset, 4 more bytes, 32 bytes of face.
    r.I32(b.fontHeight).Zeros(12).I32(b.fontWeight).Zeros(8);
    std::vector<uint8_t> face(32, 0);
    for (size_t i = 0; i < b.face.size() && i < 31; ++i) face[i] = (uint8_t)b.face[i];
    r.Bytes(face).Bytes(b.fill).I32(b.kept);
    WriteVecFrameRecord(r, b.frameFlags, b.nextId, b.metas);
    return r.bytes;
}

// The vector object's record after the shared prefix: start and pause
// codes, the play-state setting, the key-frame count, then per key frame
// its tween kind, split flag, pairing (0 by order, else by meta id), the
// mapping reference (0), the mapping's seven floats (tween kinds 1 and 3
// only), its time in ms and its frame.
struct VectorKeyFrameRecord {
    int32_t kind = 0, split = 1, pairing = 0, reference = 0;
    float mapping[7] = {1, 1, 1, 1, 0, 0, 0.5f};
    int32_t time = 0;
    uint16_t frameFlags = 4;
    int32_t nextId = 1;
    std::vector<VecFrameMeta> metas;
};
struct VectorObjectRecord {
    int32_t startCode = 1200, pauseCode = 0, setting = 50;
    std::vector<VectorKeyFrameRecord> keys;
};
inline std::vector<uint8_t> WriteVectorObjectRecord(const VectorObjectRecord& v) {
    RecordBytes r;
    r.I32(v.startCode).I32(v.pauseCode).I32(v.setting).U32((uint32_t)v.keys.size());
    for (const auto& k : v.keys) {
        r.I32(k.kind).I32(k.split).I32(k.pairing).I32(k.reference);
        if (k.kind == 1 || k.kind == 3)
            for (float f : k.mapping) r.F32(f);
        r.I32(k.time);
        WriteVecFrameRecord(r, k.frameFlags, k.nextId, k.metas);
    }
    return r.bytes;
}

// The text object's record (read by the container extension's load, after
// the event procedure's record): the LOGFONT (height, width, escapement,
// orientation, weight: 4 bytes each; italic, underline, strike-out,
// character set, output precision, clip precision, quality, pitch and
// family: 1 byte each; the face: 32 bytes), text colour, flags, text angle,
// text length n and the n bytes of text (lines joined with CR LF); with flag
// bit 15 the phonetic length m, the m bytes of phonetic text (every line's
// followed by a LF) and the phonetic switch; then the database link's record
// (flags, position, two empty names).
struct TextRecord {
    int32_t height = -16, weight = 400;
    uint8_t italic = 0, underline = 0, charSet = 0;
    std::string face = "Arial";  // written as given, cut or padded with zeros to 32 bytes
    uint32_t color = 0, flags = 0xE300;
    int32_t angle = 0;
    std::string text;
    std::string phonetic;  // with flag bit 15
    uint32_t phoneticOn = 0;
    int32_t textLength = -1;      // -1: the text's own
    int32_t phoneticLength = -1;  // -1: the phonetic text's own
};
inline std::vector<uint8_t> WriteTextRecord(const TextRecord& t) {
    RecordBytes r;
    r.I32(t.height).I32(0).I32(0).I32(0).I32(t.weight);
    r.bytes.push_back(t.italic);
    r.bytes.push_back(t.underline);
    r.bytes.push_back(0);
    r.bytes.push_back(t.charSet);
    r.Zeros(4);
    std::vector<uint8_t> face(32, 0);
    for (size_t i = 0; i < t.face.size() && i < 32; ++i) face[i] = (uint8_t)t.face[i];
    r.Bytes(face);
    r.U32(t.color).U32(t.flags).I32(t.angle);
    r.I32(t.textLength >= 0 ? t.textLength : (int32_t)t.text.size());
    r.Bytes(std::vector<uint8_t>(t.text.begin(), t.text.end()));
    if (t.flags & 0x8000) {
        r.I32(t.phoneticLength >= 0 ? t.phoneticLength : (int32_t)t.phonetic.size());
        r.Bytes(std::vector<uint8_t>(t.phonetic.begin(), t.phonetic.end()));
        r.U32(t.phoneticOn);
    }
    r.U32(0).I32(0).U32(0).U32(0);
    return r.bytes;
}

// The graphic object's record after the shared prefix: flags (low word) and
// state word (high word), media name as a stream string (count with the NUL,
// 0 for none), then the database link's record (flags, position, two empty
// names).
struct GraphRecord {
    uint32_t flags = 0;
    std::wstring name;
};
inline std::vector<uint8_t> WriteGraphRecord(const GraphRecord& g) {
    RecordBytes r;
    r.U32(g.flags);
    if (g.name.empty())
        r.U32(0);
    else
        r.U32((uint32_t)g.name.size() + 1).Wide(g.name).Zeros(2);
    r.U32(0).I32(0).U32(0).U32(0);
    return r.bytes;
}

// The movie object's record after the shared prefix: flags, media name as a
// stream string (count with the NUL, 0 for none), repeat times, media width
// and height, a reserved 0, length, start, end and current frame, the
// database link's record (flags, position, two empty names), then the
// clock-driven ability's start and pause codes.
struct MovieRecord {
    uint32_t flags = 0x73;
    std::wstring name;
    int32_t repeatTimes = 1, mediaWidth = 0, mediaHeight = 0;
    int32_t length = 0, start = 0, end = 0, current = 0;
    int32_t startCode = 1200, pauseCode = 0;
};
inline std::vector<uint8_t> WriteMovieRecord(const MovieRecord& m) {
    RecordBytes r;
    r.U32(m.flags);
    if (m.name.empty())
        r.U32(0);
    else
        r.U32((uint32_t)m.name.size() + 1).Wide(m.name).Zeros(2);
    r.I32(m.repeatTimes).I32(m.mediaWidth).I32(m.mediaHeight).U32(0);
    r.I32(m.length).I32(m.start).I32(m.end).I32(m.current);
    r.U32(0).I32(0).U32(0).U32(0);
    r.I32(m.startCode).I32(m.pauseCode);
    return r.bytes;
}

// The sound object's record after the shared prefix: flags, the media name's
// byte count n (with its NUL, at most 33; 0 for none) and its n ANSI bytes,
// repeat times, a reserved 0, length, start, end and current position (ms),
// volume, balance, a kept value, the selected CD track, the database link's
// record (flags, position, two empty names), then the clock-driven ability's
// start and pause codes.
struct SoundRecord {
    uint32_t flags = 0;
    std::string name;
    int32_t nameCount = -1;  // -1: the name's own, with its NUL
    int32_t repeatTimes = 1;
    int32_t length = 0, start = 0, end = 0, current = 0;
    int32_t volume = 1000, balance = 0, kept = 0, track = 0;
    int32_t startCode = 1200, pauseCode = 0;
};
inline std::vector<uint8_t> WriteSoundRecord(const SoundRecord& s) {
    RecordBytes r;
    r.U32(s.flags);
    const uint32_t n = s.nameCount >= 0 ? (uint32_t)s.nameCount
                                        : (s.name.empty() ? 0u : (uint32_t)s.name.size() + 1);
    r.U32(n);
    std::vector<uint8_t> name(s.name.begin(), s.name.end());
    name.resize(n, 0);
    r.Bytes(name);
    r.I32(s.repeatTimes).U32(0).I32(s.length).I32(s.start).I32(s.end).I32(s.current);
    r.I32(s.volume).I32(s.balance).I32(s.kept).I32(s.track);
    r.U32(0).I32(0).U32(0).U32(0);
    r.I32(s.startCode).I32(s.pauseCode);
    return r.bytes;
}

// The video object's record after the shared prefix: flags, the media
// name's byte count n (with its NUL, at most 33; 0 for none) and its n ANSI
// bytes, a reserved 0, repeat times, media width and height, a reserved 0,
// length, start, end and current position (ms), volume, balance, the
// database link's record (flags, position, two empty names), then the
// clock-driven ability's start and pause codes.
struct VideoRecord {
    uint32_t flags = 1;
    std::string name;
    int32_t nameCount = -1;  // -1: the name's own, with its NUL
    int32_t repeatTimes = 1, mediaWidth = 0, mediaHeight = 0;
    int32_t length = 0, start = 0, end = 0, current = 0;
    int32_t volume = 1000, balance = 0;
    int32_t startCode = 1200, pauseCode = 0;
};
inline std::vector<uint8_t> WriteVideoRecord(const VideoRecord& v) {
    RecordBytes r;
    r.U32(v.flags);
    const uint32_t n = v.nameCount >= 0 ? (uint32_t)v.nameCount
                                        : (v.name.empty() ? 0u : (uint32_t)v.name.size() + 1);
    r.U32(n);
    std::vector<uint8_t> name(v.name.begin(), v.name.end());
    name.resize(n, 0);
    r.Bytes(name);
    r.U32(0).I32(v.repeatTimes).I32(v.mediaWidth).I32(v.mediaHeight).U32(0);
    r.I32(v.length).I32(v.start).I32(v.end).I32(v.current).I32(v.volume).I32(v.balance);
    r.U32(0).I32(0).U32(0).U32(0);
    r.I32(v.startCode).I32(v.pauseCode);
    return r.bytes;
}

// A stream string of the object records: the character count with the NUL
// and the UTF-16 characters with it; an empty text is the count 0 alone.
inline void WriteStreamString(RecordBytes& r, const std::wstring& text) {
    if (text.empty()) {
        r.U32(0);
        return;
    }
    r.U32((uint32_t)text.size() + 1).Wide(text).Zeros(2);
}

// The scroll bar's record (read by the container extension's load, after
// the event procedure's record): value, maximum, minimum, page, kind, bevel,
// vertical, linked, the link object and row names as stream strings, then
// the parts arrow 1, arrow 2, track, thumb. A part: its rectangle, visible,
// bevel, light, shadow, face and dark colours, its fill's record; an arrow
// then its direction and pressed fill's record; the thumb its two alpha
// values.
struct ScrollBarPartRecord {
    int32_t left = -1, top = -1, right = -1, bottom = -1, visible = 0, bevel = 1;
    uint32_t light = 0xFFFFFF, shadow = 0x808080, face = 0xC0C0C0, dark = 0;
    std::vector<uint8_t> fill, pressedFill;  // fill object records
    int32_t direction = 0, alphaStart = 0, alphaEnd = 0;
};
struct ScrollBarRecord {
    int32_t value = 0, maximum = 100, minimum = 0, page = 10, kind = 1, bevel = 1, vertical = 1;
    int32_t linked = 0;
    std::wstring linkObject, linkRow;
    ScrollBarPartRecord parts[4];  // arrow 1, arrow 2, track, thumb
};
inline std::vector<uint8_t> WriteScrollBarRecord(const ScrollBarRecord& s) {
    RecordBytes r;
    r.I32(s.value).I32(s.maximum).I32(s.minimum).I32(s.page).I32(s.kind).I32(s.bevel);
    r.I32(s.vertical).I32(s.linked);
    WriteStreamString(r, s.linkObject);
    WriteStreamString(r, s.linkRow);
    for (int i = 0; i < 4; ++i) {
        const ScrollBarPartRecord& p = s.parts[i];
        r.I32(p.left).I32(p.top).I32(p.right).I32(p.bottom).I32(p.visible).I32(p.bevel);
        r.U32(p.light).U32(p.shadow).U32(p.face).U32(p.dark).Bytes(p.fill);
        if (i < 2)
            r.I32(p.direction).Bytes(p.pressedFill);
        else if (i == 3)
            r.I32(p.alphaStart).I32(p.alphaEnd);
    }
    return r.bytes;
}

// The menu's record (read by the container extension's load, after the
// event procedure's record): reserved word, flags, highlight background,
// highlight text, separator and item text colours, icon style, text
// alignment, item height, icon width, text width, saved text width, the
// records of the background fill, border and separator line styles and the
// font, the item count, then the items. An item: flags, id, six rectangles
// (16 bytes each), its icon fill's record, then its text and icon path, each
// a byte count with the NUL followed, when above 1, by the bytes.
struct MenuItemRecord {
    uint32_t flags = 0;
    int32_t id = 0;
    std::vector<uint8_t> iconFill;
    std::string text, iconPath;
    bool terminate = true;  // false: the text's bytes end without the NUL
};
struct MenuRecord {
    uint32_t flags = 8, hotBack = 0x5A0000, hotText = 0xFFFFFF, separatorColor = 0, textColor = 0;
    int32_t picStyle = 1, textAlign = 0, itemHeight = 30, iconWidth = 30, textWidth = 100,
            savedTextWidth = 100;
    std::vector<uint8_t> background, border, separator, font;
    int32_t count = -1;  // -1: the number of items
    std::vector<MenuItemRecord> items;
};
inline void WriteMenuText(RecordBytes& r, const std::string& text, bool terminate) {
    r.U32((uint32_t)text.size() + 1);
    if (text.empty())
        return;
    for (char c : text) r.bytes.push_back((uint8_t)c);
    r.bytes.push_back(terminate ? 0 : (uint8_t)'!');
}
inline std::vector<uint8_t> WriteMenuRecord(const MenuRecord& m) {
    RecordBytes r;
    r.U32(0).U32(m.flags).U32(m.hotBack).U32(m.hotText).U32(m.separatorColor).U32(m.textColor);
    r.I32(m.picStyle).I32(m.textAlign).I32(m.itemHeight).I32(m.iconWidth).I32(m.textWidth);
    r.I32(m.savedTextWidth).Bytes(m.background).Bytes(m.border).Bytes(m.separator).Bytes(m.font);
    r.I32(m.count < 0 ? (int32_t)m.items.size() : m.count);
    for (const MenuItemRecord& item : m.items) {
        r.U32(item.flags).I32(item.id).Zeros(6 * 16).Bytes(item.iconFill);
        WriteMenuText(r, item.text, item.terminate);
        WriteMenuText(r, item.iconPath, true);
    }
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

// The ActiveX object's own record: the 256-byte control header (class
// identifier, no-control flag, 236 zero bytes); without a control nothing
// follows. Otherwise the state length n, the state (the class identifier as
// WriteClassStm writes it, then what the control saved) and the object flags.
struct AxObjectRecord {
    GUID clsid = {};
    bool noControl = false;
    std::vector<uint8_t> saved;  // the control's own state, after the class identifier
    uint32_t objectFlags = 1;    // bit 0: stock events also reach the object's procedure
};
inline void WriteGuid(RecordBytes& r, const GUID& g) {
    r.U32(g.Data1);
    r.bytes.push_back((uint8_t)g.Data2);
    r.bytes.push_back((uint8_t)(g.Data2 >> 8));
    r.bytes.push_back((uint8_t)g.Data3);
    r.bytes.push_back((uint8_t)(g.Data3 >> 8));
    r.bytes.insert(r.bytes.end(), g.Data4, g.Data4 + 8);
}
inline std::vector<uint8_t> WriteAxObjectRecord(const AxObjectRecord& a) {
    RecordBytes r;
    WriteGuid(r, a.clsid);
    r.U32(a.noControl ? 1 : 0).Zeros(236);
    if (a.noControl)
        return r.bytes;
    r.U32((uint32_t)(16 + a.saved.size()));
    WriteGuid(r, a.clsid);
    r.Bytes(a.saved).U32(a.objectFlags);
    return r.bytes;
}

// The test control's saved state: colour, windowed flag, the note's length in
// characters and its UTF-16 text.
inline std::vector<uint8_t> TestAxControlState(uint32_t color, bool windowed,
                                               const std::wstring& note = std::wstring()) {
    RecordBytes r;
    r.U32(color).U32(windowed ? 1 : 0).U32((uint32_t)note.size()).Wide(note);
    return r.bytes;
}

// The grid's record (read by the container extension's load, after the event
// procedure's record): the row entries with their presence bitmap, per row
// its cell entries with theirs, per cell the text as a stream string and the
// font marker (0x80000000 none, 0xC0000000 a font record follows; the older
// form: the font record right after the text); then rows, columns, row-head
// width, cell width, the column widths, column-head height, cell height, the
// row heights, three fonts, three fills, six line styles, flags, the 64-byte
// source name and two empty stream strings. Every entry is present.
struct GridCellRecord {
    std::wstring text;
    int font = 0;  // 0 none, 1 marked, 2 the older form
};
struct GridRecord {
    std::vector<std::vector<GridCellRecord>> cells;  // rows + 1 of columns + 1
    int32_t rows = 4, columns = 4, rowHeadWidth = 50, cellWidth = 50;
    std::vector<int32_t> columnWidths, rowHeights;  // empty: the defaults for every entry
    int32_t columnHeadHeight = 20, cellHeight = 20;
    std::vector<uint8_t> font, fill, line;  // one record each, used for every slot
    uint32_t flags = 3;
    std::string source;
};
inline void WriteGridBitmap(RecordBytes& r, size_t n) {
    for (size_t word = 0; word < (n + 31) / 32; ++word) {
        size_t bits = n - 32 * word;
        r.U32(bits >= 32 ? 0xFFFFFFFF : (1u << bits) - 1);
    }
}
inline std::vector<uint8_t> WriteGridRecord(const GridRecord& g) {
    RecordBytes r;
    r.U32((uint32_t)g.cells.size());
    WriteGridBitmap(r, g.cells.size());
    for (const auto& row : g.cells) {
        r.U32((uint32_t)row.size());
        WriteGridBitmap(r, row.size());
        for (const auto& cell : row) {
            WriteStreamString(r, cell.text);
            if (cell.font == 2)
                r.Bytes(g.font);
            else if (cell.font == 1)
                r.U32(0xC0000000).Bytes(g.font);
            else
                r.U32(0x80000000);
        }
    }
    r.I32(g.rows).I32(g.columns).I32(g.rowHeadWidth).I32(g.cellWidth);
    std::vector<int32_t> widths = g.columnWidths, heights = g.rowHeights;
    if (widths.empty()) {
        widths.assign(g.columns + 1, g.cellWidth);
        widths[0] = g.rowHeadWidth;
    }
    if (heights.empty()) {
        heights.assign(g.rows + 1, g.cellHeight);
        heights[0] = g.columnHeadHeight;
    }
    r.U32((uint32_t)widths.size());
    for (int32_t w : widths) r.I32(w);
    r.I32(g.columnHeadHeight).I32(g.cellHeight);
    r.U32((uint32_t)heights.size());
    for (int32_t h : heights) r.I32(h);
    for (int i = 0; i < 3; ++i) r.Bytes(g.font);
    for (int i = 0; i < 3; ++i) r.Bytes(g.fill);
    for (int i = 0; i < 6; ++i) r.Bytes(g.line);
    r.U32(g.flags);
    std::vector<uint8_t> name(64, 0);
    for (size_t i = 0; i < g.source.size() && i < 64; ++i) name[i] = (uint8_t)g.source[i];
    r.Bytes(name).U32(0).U32(0);
    return r.bytes;
}

// A subject figure's record (a frame's meta of type 2 to 5): the path part
// (kind, corner percent, edit value (its rotation), count, points), the
// holder count and each fill holder's fill record, [the media index, in the
// vector-file form], the line mode, ink mode, the attribute record (state,
// base value, bounds, two text flags, meta id, selection), the motion block
// of a new shape, then parameter lists 2, 1 (origin, then the shape) and 3
// (options), each a count and its values, and the scale percent.
struct FigureFields {
    int32_t kind = 83, corner = 0, edit = 0;
    std::vector<POINT> points;
    std::vector<std::vector<uint8_t>> holders;
    std::vector<uint8_t> line = WriteLineModeRecord(LineModeFields());
    int32_t ink = 0, state = 0, base = 4;
    RECT bounds = {0, 0, 0, 0};
    int32_t metaId = 1;
    bool file = false;
    int32_t mediaIndex = -2;
    std::vector<int32_t> list1, list2, list3;
    int32_t scale = 100;
};
inline std::vector<uint8_t> FigureRecord(const FigureFields& f) {
    RecordBytes r;
    r.I32(f.kind).I32(f.corner).I32(f.edit).U32((uint32_t)f.points.size());
    for (const POINT& p : f.points) r.I32(p.x).I32(p.y);
    r.U32((uint32_t)f.holders.size());
    for (const auto& h : f.holders) r.Bytes(h);
    if (f.file)
        r.I32(f.mediaIndex);
    r.Bytes(f.line).I32(f.ink).I32(f.state).I32(f.base);
    r.I32(f.bounds.left).I32(f.bounds.top).I32(f.bounds.right).I32(f.bounds.bottom);
    r.I32(0).I32(0).I32(f.metaId).I32(0);
    // roll mode, roll angle, delay, duration, direction, the speed curve
    r.I32(0).I32(0).I32(0).I32(3000).I32(1);
    for (int i = 0; i <= 10; ++i) r.I32(i * 1000);
    for (const std::vector<int32_t>* l : {&f.list2, &f.list1, &f.list3}) {
        r.U32((uint32_t)l->size());
        for (int32_t v : *l) r.I32(v);
    }
    r.I32(f.scale);
    return r.bytes;
}
