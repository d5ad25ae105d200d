#include "FlicWriter.h"

#include "ByteWriter.h"

namespace flicfix {

namespace {

class Writer : public CByteWriterBase<Writer> {};

size_t ChunkSize(const Chunk& c) {
    return 6 + c.data.size();
}

size_t FrameSize(const Frame& f) {
    size_t n = 16;
    for (const Chunk& c : f.chunks) n += ChunkSize(c);
    return n;
}

// Packets of one row: repeats for runs of three or more, literals between.
void EncodeRunRow(Writer& w, const uint8_t* row, int width) {
    Writer packets;
    int count = 0;
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 127 && row[x + run] == row[x]) ++run;
        if (run >= 3) {
            packets.U8((uint8_t)run).U8(row[x]);
            x += run;
        } else {
            int n = 0;
            while (x + n < width && n < 127) {
                if (x + n + 2 < width && row[x + n] == row[x + n + 1] &&
                    row[x + n] == row[x + n + 2])
                    break;
                ++n;
            }
            if (n == 0)
                n = 1;
            packets.U8((uint8_t)(int8_t)-n).Bytes(row + x, n);
            x += n;
        }
        ++count;
    }
    w.U8((uint8_t)(count > 255 ? 0 : count)).Bytes(packets.Str());
}

}  // namespace

Chunk RawChunk(uint16_t type, const Bytes& data) {
    Chunk c;
    c.type = type;
    c.data = data;
    return c;
}

Chunk PaletteChunk(const std::vector<PalettePacket>& packets, bool sixBit) {
    Writer w;
    w.U16((uint16_t)packets.size());
    for (const PalettePacket& p : packets) {
        const size_t entries = p.rgb.size() / 3;
        w.U8(p.skip).U8((uint8_t)(entries >= 256 ? 0 : entries)).Bytes(p.rgb);
    }
    return RawChunk(sixBit ? 11 : 4, w.Vector());
}

Chunk ByteRunChunk(const Pixels& pixels, int width, int height) {
    Writer w;
    for (int y = 0; y < height; ++y) EncodeRunRow(w, pixels.data() + (size_t)y * width, width);
    if (w.Str().size() & 1)
        w.U8(0);
    return RawChunk(15, w.Vector());
}

Chunk CopyChunk(const Pixels& pixels, int width, int height) {
    return RawChunk(16, Bytes(pixels.begin(), pixels.begin() + (size_t)width * height));
}

Chunk BlackChunk() {
    return RawChunk(13, Bytes());
}

Chunk ByteDeltaChunk(const Pixels& before, const Pixels& after, int width, int height) {
    auto same = [&](int x, int y) {
        return before[(size_t)y * width + x] == after[(size_t)y * width + x];
    };
    auto lineSame = [&](int y) {
        for (int x = 0; x < width; ++x)
            if (!same(x, y))
                return false;
        return true;
    };
    int first = 0;
    while (first < height && lineSame(first)) ++first;
    int last = height - 1;
    while (last >= first && lineSame(last)) --last;
    Writer w;
    if (first >= height) {
        w.U16(0).U16(0);
        return RawChunk(12, w.Vector());
    }
    w.U16((uint16_t)first).U16((uint16_t)(last - first + 1));
    for (int y = first; y <= last; ++y) {
        Writer packets;
        int count = 0;
        int x = 0;
        const uint8_t* row = after.data() + (size_t)y * width;
        for (;;) {
            int skip = 0;
            while (x + skip < width && same(x + skip, y)) ++skip;
            if (x + skip >= width)
                break;
            while (skip > 255) {
                packets.U8(255).U8(0);  // a skip without pixels
                ++count;
                skip -= 255;
                x += 255;
            }
            x += skip;
            int n = 0;
            while (x + n < width && n < 127 && !same(x + n, y)) ++n;
            bool repeat = n >= 2;
            for (int i = 1; i < n && repeat; ++i) repeat = row[x + i] == row[x];
            if (repeat)
                packets.U8((uint8_t)skip).U8((uint8_t)(int8_t)-n).U8(row[x]);
            else
                packets.U8((uint8_t)skip).U8((uint8_t)n).Bytes(row + x, n);
            ++count;
            x += n;
        }
        w.U8((uint8_t)count).Bytes(packets.Str());
    }
    if (w.Str().size() & 1)
        w.U8(0);
    return RawChunk(12, w.Vector());
}

Chunk WordDeltaChunk(const Pixels& before, const Pixels& after, int width, int height) {
    const int pairs = width / 2;
    auto pairSame = [&](int p, int y) {
        const size_t i = (size_t)y * width + 2 * p;
        return before[i] == after[i] && before[i + 1] == after[i + 1];
    };
    auto lastSame = [&](int y) {
        const size_t i = (size_t)y * width + width - 1;
        return !(width & 1) || before[i] == after[i];
    };
    Writer body;
    int lines = 0;
    int skipped = 0;
    for (int y = 0; y < height; ++y) {
        bool changed = !lastSame(y);
        for (int p = 0; p < pairs && !changed; ++p) changed = !pairSame(p, y);
        if (!changed) {
            ++skipped;
            continue;
        }
        if (skipped)
            body.U16((uint16_t)(int16_t)-skipped);
        skipped = 0;
        const uint8_t* row = after.data() + (size_t)y * width;
        if (!lastSame(y))
            body.U16((uint16_t)(0x8000 | row[width - 1]));
        Writer packets;
        int count = 0;
        int p = 0;
        for (;;) {
            int skip = 0;
            while (p + skip < pairs && pairSame(p + skip, y)) ++skip;
            if (p + skip >= pairs)
                break;
            while (skip > 127) {
                packets.U8(254).U8(0);  // a skip without words
                ++count;
                skip -= 127;
                p += 127;
            }
            p += skip;
            int n = 0;
            while (p + n < pairs && n < 127 && !pairSame(p + n, y)) ++n;
            bool repeat = n >= 2;
            for (int i = 1; i < n && repeat; ++i)
                repeat = row[2 * (p + i)] == row[2 * p] && row[2 * (p + i) + 1] == row[2 * p + 1];
            if (repeat)
                packets.U8((uint8_t)(2 * skip)).U8((uint8_t)(int8_t)-n).Bytes(row + 2 * p, 2);
            else
                packets.U8((uint8_t)(2 * skip)).U8((uint8_t)n).Bytes(row + 2 * p, 2 * n);
            ++count;
            p += n;
        }
        body.U16((uint16_t)count).Bytes(packets.Str());
        ++lines;
    }
    Writer w;
    w.U16((uint16_t)lines).Bytes(body.Str());
    return RawChunk(7, w.Vector());
}

Layout LayoutOf(const FlicSpec& spec) {
    Layout l;
    size_t at = 128;
    for (const Frame& f : spec.frames) {
        l.frames.push_back(at);
        size_t c = at + 16;
        for (const Chunk& chunk : f.chunks) {
            l.chunks.push_back(c);
            c += ChunkSize(chunk);
        }
        at += FrameSize(f);
    }
    return l;
}

Bytes WriteFlic(const FlicSpec& spec) {
    Writer frames;
    for (const Frame& f : spec.frames) {
        frames.U32(f.sizeField ? f.sizeField : (uint32_t)FrameSize(f))
            .U16(0xF1FA)
            .U16((uint16_t)(f.chunkCount >= 0 ? f.chunkCount : (int)f.chunks.size()))
            .Zeros(8);
        for (const Chunk& c : f.chunks)
            frames.U32(c.sizeField ? c.sizeField : (uint32_t)ChunkSize(c))
                .U16(c.type)
                .Bytes(c.data);
    }
    const size_t frame2 = spec.frames.empty() ? 128 : 128 + FrameSize(spec.frames[0]);
    Writer w;
    w.U32((uint32_t)(128 + frames.Str().size()))
        .U16(spec.fli ? 0xAF11 : 0xAF12)
        .U16((uint16_t)(spec.frameCount >= 0 ? spec.frameCount : (int)spec.frames.size()))
        .U16((uint16_t)spec.width)
        .U16((uint16_t)spec.height)
        .U16(8)  // depth
        .U16(3)  // flags
        .U32(spec.speed)
        .Zeros(80 - 20);
    if (spec.fli)
        w.U32(0).U32(0);
    else
        w.U32(128).U32(spec.frame2 >= 0 ? (uint32_t)spec.frame2 : (uint32_t)frame2);
    w.Zeros(128 - 88);
    w.Bytes(frames.Str());
    return w.Vector();
}

}  // namespace flicfix
