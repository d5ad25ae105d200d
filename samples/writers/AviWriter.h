// Uncompressed AVI files for the tests and the benchmarks: 32-bit (or
// 24-bit) frames of one colour each, the top row marked, with an optional
// 8 kHz 8-bit mono PCM stream of silence.
#pragma once

#include <stdint.h>

#include <string>

struct AviSpec {
    int width = 32;
    int height = 24;
    int frames = 10;
    int fps = 10;
    bool sound = false;
    int bits = 32;  // 32 or 24
};

// The colour (0x00RRGGBB) of frame k, every frame its own.
uint32_t AviFrameColour(int frame);
// The top row of every frame.
const uint32_t kAviMarkColour = 0x00FFFFFF;

std::string AviFile(const AviSpec& spec);
