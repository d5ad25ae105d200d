// FLC and FLI animations for tests and benchmarks: a header, frames of
// chunks, and encoders of every chunk kind (palettes of 256 and 64 levels,
// byte run, copy, black, byte delta, word delta) from 8-bit pixels, top row
// first.
#pragma once

#include <stdint.h>

#include <vector>

namespace flicfix {

typedef std::vector<uint8_t> Bytes;
// width x height palette indexes, top row first.
typedef std::vector<uint8_t> Pixels;

struct Chunk {
    uint16_t type = 0;
    Bytes data;  // the payload after the 6-byte chunk header
    // The chunk header's size; 0: 6 + the payload.
    uint32_t sizeField = 0;
};

struct Frame {
    std::vector<Chunk> chunks;
    int chunkCount = -1;     // -1: the number of chunks
    uint32_t sizeField = 0;  // 0: the real size
};

struct FlicSpec {
    bool fli = false;  // FLI (magic 0xAF11, speed in 1/70 s, no frame offsets)
    int width = 0, height = 0;
    uint32_t speed = 0;
    int frameCount = -1;  // header count; -1: the number of frames
    int64_t frame2 = -1;  // header's frame-2 offset; -1: the real one (FLC)
    std::vector<Frame> frames;
};
Bytes WriteFlic(const FlicSpec& spec);

// A palette chunk of one packet per run of (skip, R G B triples); type 4
// (components 0..255) or 11 when sixBit (components as given, 0..63).
struct PalettePacket {
    uint8_t skip = 0;
    std::vector<uint8_t> rgb;  // 3 bytes per entry; 256 entries are written as count 0
};
Chunk PaletteChunk(const std::vector<PalettePacket>& packets, bool sixBit);
Chunk ByteRunChunk(const Pixels& pixels, int width, int height);
Chunk CopyChunk(const Pixels& pixels, int width, int height);
Chunk BlackChunk();
// The lines that differ between the two frames, FLI's way (type 12).
Chunk ByteDeltaChunk(const Pixels& before, const Pixels& after, int width, int height);
// The same, FLC's way in words (type 7); an odd width's last column goes as a
// last-pixel word.
Chunk WordDeltaChunk(const Pixels& before, const Pixels& after, int width, int height);
Chunk RawChunk(uint16_t type, const Bytes& data);

// Byte offsets of each frame and chunk in a written file, for cutting and
// damaging it at every block.
struct Layout {
    std::vector<size_t> frames;
    std::vector<size_t> chunks;
};
Layout LayoutOf(const FlicSpec& spec);

}  // namespace flicfix
